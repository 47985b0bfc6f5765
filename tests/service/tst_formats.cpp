#include "formats/CellDate.h"
#include "formats/CellNumber.h"
#include "formats/SheetLayout.h"
#include "formats/XlsxWriter.h"
#include "formats/ZipWriter.h"
#include "support/TestMain.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <optional>
#include <tuple>

namespace {

struct ZipEntry {
    QString name;
    int method = -1; // 0 stored, 8 deflated
    QByteArray data;
};

// Reads an archive with Python's zipfile, an implementation of its own; every
// CRC is checked. Nothing when the archive does not read.
std::optional<QList<ZipEntry>> readZip(const QString &path)
{
    static const QString script = QStringLiteral(
        "import sys, zipfile, json, base64\n"
        "with zipfile.ZipFile(sys.argv[1]) as z:\n"
        "    assert z.testzip() is None\n"
        "    print(json.dumps([{'name': i.filename, 'method': i.compress_type,\n"
        "                       'data': base64.b64encode(z.read(i)).decode()} for i in z.infolist()]))\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning("zipfile: %s", python.readAllStandardError().constData());
        return std::nullopt;
    }
    QList<ZipEntry> entries;
    const QJsonArray list = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue &value : list) {
        const QJsonObject entry = value.toObject();
        entries.append({entry.value(QStringLiteral("name")).toString(), entry.value(QStringLiteral("method")).toInt(),
                        QByteArray::fromBase64(entry.value(QStringLiteral("data")).toString().toLatin1())});
    }
    return entries;
}

QByteArray entryData(const QList<ZipEntry> &entries, const QString &name)
{
    for (const ZipEntry &entry : entries) {
        if (entry.name == name)
            return entry.data;
    }
    return {};
}

QStringList entryNames(const QList<ZipEntry> &entries)
{
    QStringList names;
    for (const ZipEntry &entry : entries)
        names << entry.name;
    return names;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList sharedStrings(const QByteArray &xml)
{
    QStringList strings;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            strings << QString();
        else if (reader.isStartElement() && reader.name() == QLatin1String("t") && !strings.isEmpty())
            strings.last() += reader.readElementText();
    }
    return strings;
}

// The cells of a sheet as a reader sees them, by reference; a number is
// marked with a leading '#', so that "3" the text and 3 the number differ.
QMap<QString, QString> cells(const QByteArray &sheetXml, const QStringList &shared)
{
    QMap<QString, QString> out;
    QXmlStreamReader reader(sheetXml);
    QString reference;
    QString type;
    QString value;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("c")) {
            reference = reader.attributes().value(QLatin1String("r")).toString();
            type = reader.attributes().value(QLatin1String("t")).toString();
            value.clear();
        } else if (reader.isStartElement() &&
                   (reader.name() == QLatin1String("v") || reader.name() == QLatin1String("t"))) {
            value += reader.readElementText();
        } else if (reader.isEndElement() && reader.name() == QLatin1String("c")) {
            if (type == QLatin1String("s"))
                out.insert(reference, shared.value(value.toInt()));
            else if (type.isEmpty() || type == QLatin1String("n"))
                out.insert(reference, QLatin1Char('#') + value);
            else
                out.insert(reference, value);
        }
    }
    return out;
}

QStringList workbookSheetNames(const QByteArray &workbookXml)
{
    QStringList names;
    QXmlStreamReader reader(workbookXml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("sheet"))
            names << reader.attributes().value(QLatin1String("name")).toString();
    }
    return names;
}

} // namespace

// The zip and workbook writers, checked by reading what they write with
// Python's zipfile and an XML reader.
class TestFormats : public QObject {
    Q_OBJECT

private slots:
    void zipRoundTripsDeflatedEntries();
    void zipBeyondClassicLimitsUsesZip64();
    void zipWriteFailureIsReported();
    void zipRefusesBadEntries();
    void zipGivenUpLeavesNoFile();
    void workbookHoldsTextAndNumbers();
    void workbookCutsOverlongText();
    void cellNumbers_data();
    void cellNumbers();
    void cellDates_data();
    void cellDates();
    void workbookColumnsShowTheirCells();
    void sheetLayoutWrapsWhatNoColumnHolds();
    void workbookLinksLeadOnlyWhereTheyMay();
    void workbookWriteFailureIsReported();
    void sheetNames_data();
    void sheetNames();

private:
    QTemporaryDir mDir;
};

void TestFormats::zipRoundTripsDeflatedEntries()
{
    // Periodic bytes deflate well; 3 MiB spans many of libzip's read chunks.
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char((i * 7919) % 251);
    const QString source = mDir.filePath(QStringLiteral("big.bin"));
    QVERIFY(writeFile(source, big));
    const QByteArray text = QByteArray("Page 1 of the converted document.\n").repeated(500);
    const QString archive = mDir.filePath(QStringLiteral("roundtrip.zip"));
    {
        ZipWriter zip(archive);
        QVERIFY2(zip.open(), qPrintable(zip.errorString()));
        QVERIFY2(zip.addData(QStringLiteral("page-1.txt"), text), qPrintable(zip.errorString()));
        QVERIFY2(zip.addFile(QStringLiteral("images/big.bin"), source), qPrintable(zip.errorString()));
        QVERIFY2(zip.addData(QStringLiteral("résumé.txt"), QByteArray()), qPrintable(zip.errorString()));
        QVERIFY2(zip.close(), qPrintable(zip.errorString()));
    }
    const std::optional<QList<ZipEntry>> entries = readZip(archive);
    QVERIFY(entries);
    QCOMPARE(entryNames(*entries), (QStringList{QStringLiteral("page-1.txt"), QStringLiteral("images/big.bin"),
                                                QStringLiteral("résumé.txt")}));
    QCOMPARE(entries->at(0).method, 8);
    QCOMPARE(entries->at(1).method, 8);
    QCOMPARE(entries->at(0).data, text);
    QCOMPARE(entries->at(1).data, big);
    QVERIFY(entries->at(2).data.isEmpty());
    QVERIFY(QFileInfo(archive).size() < big.size() / 4);
}

void TestFormats::zipBeyondClassicLimitsUsesZip64()
{
    // A classic end record counts at most 65535 entries.
    constexpr int count = 65537;
    const QString archive = mDir.filePath(QStringLiteral("many.zip"));
    {
        ZipWriter zip(archive);
        QVERIFY(zip.open());
        for (int i = 0; i < count; ++i)
            QVERIFY2(zip.addData(QStringLiteral("e%1").arg(i), QByteArray::number(i)), qPrintable(zip.errorString()));
        QVERIFY2(zip.close(), qPrintable(zip.errorString()));
    }
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.seek(file.size() - 200));
    QVERIFY2(file.readAll().contains(QByteArray("PK\x06\x06")), "no zip64 end of central directory record");
    const std::optional<QList<ZipEntry>> entries = readZip(archive);
    QVERIFY(entries);
    QCOMPARE(entries->size(), count);
    QCOMPARE(entries->last().name, QStringLiteral("e%1").arg(count - 1));
    QCOMPARE(entries->last().data, QByteArray::number(count - 1));
}

void TestFormats::zipWriteFailureIsReported()
{
    // A path below a regular file cannot be created, whoever runs the test.
    const QString file = mDir.filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(file, "x"));
    ZipWriter zip(file + QStringLiteral("/a.zip"));
    const bool written = zip.open() && zip.addData(QStringLiteral("a.txt"), "a") && zip.close();
    QVERIFY(!written);
    QVERIFY(!zip.errorString().isEmpty());
}

void TestFormats::zipRefusesBadEntries()
{
    ZipWriter closed(mDir.filePath(QStringLiteral("never.zip")));
    QVERIFY(!closed.addData(QStringLiteral("a"), "a"));
    QVERIFY(!closed.close());

    ZipWriter zip(mDir.filePath(QStringLiteral("bad.zip")));
    QVERIFY(zip.open());
    QVERIFY(!zip.addFile(QStringLiteral("lost.png"), mDir.filePath(QStringLiteral("no-such-file"))));
    QVERIFY2(zip.errorString().contains(QStringLiteral("lost.png")), qPrintable(zip.errorString()));
    QVERIFY(!zip.addData(QString(), "x"));
    QVERIFY(zip.addData(QStringLiteral("twice"), "1"));
    QVERIFY(!zip.addData(QStringLiteral("twice"), "2"));
    QVERIFY(!zip.errorString().isEmpty());

    // libzip would silently write no file at all for an empty archive.
    ZipWriter empty(mDir.filePath(QStringLiteral("empty.zip")));
    QVERIFY(empty.open());
    QVERIFY(!empty.close());
    QVERIFY(!empty.errorString().isEmpty());
}

void TestFormats::zipGivenUpLeavesNoFile()
{
    // A converter that fails half-way drops its writer without close().
    const QString archive = mDir.filePath(QStringLiteral("abandoned.zip"));
    {
        ZipWriter zip(archive);
        QVERIFY(zip.open());
        QVERIFY(zip.addData(QStringLiteral("a.txt"), "a"));
    }
    QVERIFY(!QFileInfo::exists(archive));
}

void TestFormats::workbookHoldsTextAndNumbers()
{
    const QString path = mDir.filePath(QStringLiteral("book.xlsx"));
    QString error;
    QList<XlsxWriter::Sheet> sheets = {
        {QStringLiteral("Page 1"),
         {{QStringLiteral("Name"), QStringLiteral("Qty"), QStringLiteral("Code")},
          {QStringLiteral("Apple & <Pear>"), QStringLiteral("3"), QStringLiteral("007")},
          {QStringLiteral("bell\x07 gone"), QStringLiteral("-0.25"), QString()}}},
        {QStringLiteral("Page 2"), {{QStringLiteral("Total"), QStringLiteral("12.50")}}, true}};
    // Printed on the paper of their pages: A4 upright, US Letter turned.
    sheets[0].paper = QSizeF(595.3, 841.9);
    sheets[1].paper = QSizeF(792, 612);
    QVERIFY2(XlsxWriter::write(path, sheets, &error), qPrintable(error));
    QVERIFY(error.isEmpty());
    const std::optional<QList<ZipEntry>> entries = readZip(path);
    QVERIFY(entries);
    const QStringList names = entryNames(*entries);
    QVERIFY2(names.contains(QStringLiteral("xl/workbook.xml")) &&
                 names.contains(QStringLiteral("xl/worksheets/sheet1.xml")) &&
                 names.contains(QStringLiteral("xl/worksheets/sheet2.xml")),
             qPrintable(names.join(QLatin1Char(' '))));
    QCOMPARE(workbookSheetNames(entryData(*entries, QStringLiteral("xl/workbook.xml"))),
             (QStringList{QStringLiteral("Page 1"), QStringLiteral("Page 2")}));

    const QStringList shared = sharedStrings(entryData(*entries, QStringLiteral("xl/sharedStrings.xml")));
    const QMap<QString, QString> first = cells(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml")), shared);
    const QMap<QString, QString> expected = {
        {QStringLiteral("A1"), QStringLiteral("Name")},      {QStringLiteral("B1"), QStringLiteral("Qty")},
        {QStringLiteral("C1"), QStringLiteral("Code")},      {QStringLiteral("A2"), QStringLiteral("Apple & <Pear>")},
        {QStringLiteral("B2"), QStringLiteral("#3")},        {QStringLiteral("C2"), QStringLiteral("007")},
        {QStringLiteral("A3"), QStringLiteral("bell gone")}, {QStringLiteral("B3"), QStringLiteral("#-0.25")}};
    QCOMPARE(first, expected);
    const QMap<QString, QString> second =
        cells(entryData(*entries, QStringLiteral("xl/worksheets/sheet2.xml")), shared);
    QCOMPARE(second.value(QStringLiteral("A1")), QStringLiteral("Total"));
    const QString total = second.value(QStringLiteral("B1"));
    QVERIFY2(total.startsWith(QLatin1Char('#')), qPrintable(total));
    QCOMPARE(total.mid(1).toDouble(), 12.5);
    // The second sheet is shown from the right, the first is not.
    const QString rightToLeft = QStringLiteral("rightToLeft=\"1\"");
    QVERIFY(!QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml"))).contains(rightToLeft));
    QVERIFY(QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/sheet2.xml"))).contains(rightToLeft));
    // Each prints on one page (fitting one page each way is the default, left unwritten).
    const QString setup = QStringLiteral("<pageSetup paperSize=\"%1\" orientation=\"%2\"/>");
    for (const auto &[part, paper, turn] :
         {std::tuple{"sheet1", "9", "portrait"}, std::tuple{"sheet2", "1", "landscape"}}) {
        const QString xml =
            QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/%1.xml").arg(QLatin1String(part))));
        QVERIFY2(xml.contains(setup.arg(QLatin1String(paper), QLatin1String(turn))), qPrintable(xml));
        QVERIFY(xml.contains(QStringLiteral("<pageSetUpPr fitToPage=\"1\"/>")));
    }
}

void TestFormats::workbookCutsOverlongText()
{
    // A cell holds at most 32767 characters; the writer would refuse more.
    const QString path = mDir.filePath(QStringLiteral("long.xlsx"));
    const QString longText = QString(40000, QLatin1Char('x'));
    // An emoji straddling the limit is dropped whole, not split in two.
    const QString straddling =
        QString(32766, QLatin1Char('y')) + QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("z");
    QString error;
    QVERIFY2(XlsxWriter::write(path, {{QStringLiteral("Long"), {{longText, straddling}}}}, &error), qPrintable(error));
    const std::optional<QList<ZipEntry>> entries = readZip(path);
    QVERIFY(entries);
    const QStringList shared = sharedStrings(entryData(*entries, QStringLiteral("xl/sharedStrings.xml")));
    const QMap<QString, QString> sheet = cells(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml")), shared);
    QCOMPARE(sheet.value(QStringLiteral("A1")), longText.left(32767));
    QCOMPARE(sheet.value(QStringLiteral("B1")), straddling.left(32766));
}

void TestFormats::cellNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    const auto number = [](const char *name, const QString &text, double value, const char *format) {
        QTest::newRow(name) << text << true << value << QString::fromUtf8(format);
    };
    const auto text = [](const char *name, const QString &written) {
        QTest::newRow(name) << written << false << 0.0 << QString();
    };
    number("integer", QStringLiteral(" 42 "), 42, "");
    number("decimals keep their zeros", QStringLiteral("12.50"), 12.5, "0.00");
    number("thousands", QStringLiteral("1,234,567"), 1234567, "#,##0");
    number("thousands and decimals", QStringLiteral("-12,000.5"), -12000.5, "#,##0.0");
    number("currency before", QStringLiteral("£38.50"), 38.5, "\"£\"0.00");
    number("currency after, with a space", QStringLiteral("1.234,56 €"), 1234.56, "#,##0.00\" €\"");
    number("minus sign and currency", QString::fromUtf8("\u2212$1,200"), -1200, "\"$\"#,##0");
    number("sign after the currency", QStringLiteral("£-5.00"), -5, "\"£\"0.00");
    number("accountants' negative", QStringLiteral("(1,234.00)"), -1234, "#,##0.00;(#,##0.00)");
    number("percent", QStringLiteral("7.5%"), 0.075, "0.0%");
    number("percent after a space", QString::fromUtf8("20\u00a0%"), 0.2, "0\" \"%");
    number("spaces group", QString::fromUtf8("1\u202f234\u202f567,25"), 1234567.25, "#,##0.00");
    number("a lone comma before three digits groups", QStringLiteral("1,234"), 1234, "#,##0");
    number("a lone comma before two digits is decimal", QStringLiteral("3,25"), 3.25, "0.00");
    number("a lone point is decimal", QStringLiteral("1.234"), 1.234, "0.000");
    number("zero before the point", QStringLiteral("0.125"), 0.125, "0.000");
    number("signed change", QStringLiteral("+62.0%"), 0.62, "+0.0%;-0.0%;0.0%");
    number("signed amount with a currency", QStringLiteral("+$1,200.50"), 1200.5,
           "+\"$\"#,##0.00;-\"$\"#,##0.00;\"$\"#,##0.00");
    text("leading zeros are a code", QStringLiteral("007"));
    text("grouped with a leading zero", QStringLiteral("0,123,456"));
    text("bracketed note number", QStringLiteral("(3)"));
    text("phone number", QStringLiteral("+44 20 7946 0958"));
    text("country code", QStringLiteral("+44"));
    text("two signs", QStringLiteral("+-5.0"));
    text("too many digits", QStringLiteral("1234567890123456"));
    text("groups of two", QStringLiteral("12,34,567"));
    text("mixed groups", QStringLiteral("1,234 567"));
    text("list of numbers", QStringLiteral("1,2,3"));
    text("two points", QStringLiteral("1.2.3"));
    text("name", QStringLiteral("Smith, John"));
    text("currency alone", QStringLiteral("€"));
    text("two currencies", QStringLiteral("$5€"));
    text("date", QStringLiteral("2026-12-10"));
    text("minus twice", QStringLiteral("(-5.00)"));
}

void TestFormats::cellNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, number);
    const std::optional<CellNumber> read = CellNumber::read(text);
    QCOMPARE(bool(read), number);
    if (!read)
        return;
    QTEST(read->value, "value");
    QTEST(read->format, "format");
}

void TestFormats::cellDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("order");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("format");
    const int unknown = int(CellDate::Order::Unknown);
    const int dayFirst = int(CellDate::Order::DayFirst);
    const int monthFirst = int(CellDate::Order::MonthFirst);
    QTest::newRow("iso") << QStringLiteral("2026-01-06") << unknown << QDate(2026, 1, 6)
                         << QStringLiteral("yyyy-mm-dd");
    QTest::newRow("day over twelve first")
        << QStringLiteral("15/01/2026") << unknown << QDate(2026, 1, 15) << QStringLiteral("dd/mm/yyyy");
    QTest::newRow("day over twelve second")
        << QStringLiteral("1/15/2026") << unknown << QDate(2026, 1, 15) << QStringLiteral("m/dd/yyyy");
    QTest::newRow("ambiguous alone") << QStringLiteral("06/01/2026") << unknown << QDate() << QString();
    QTest::newRow("ambiguous, the column tells")
        << QStringLiteral("06/01/2026") << dayFirst << QDate(2026, 1, 6) << QStringLiteral("dd/mm/yyyy");
    QTest::newRow("ambiguous, month first")
        << QStringLiteral("06/01/2026") << monthFirst << QDate(2026, 6, 1) << QStringLiteral("mm/dd/yyyy");
    QTest::newRow("dotted is day first") << QStringLiteral("6.1.2026") << unknown << QDate(2026, 1, 6)
                                         << QStringLiteral("d.m.yyyy");
    QTest::newRow("month named") << QStringLiteral("10 December 2026") << unknown << QDate(2026, 12, 10)
                                 << QStringLiteral("[$-409]dd mmmm yyyy");
    QTest::newRow("month abbreviated first")
        << QStringLiteral("Jan 6, 2026") << unknown << QDate(2026, 1, 6) << QStringLiteral("[$-409]mmm d, yyyy");
    QTest::newRow("no such day") << QStringLiteral("31/02/2026") << dayFirst << QDate() << QString();
    QTest::newRow("no such month") << QStringLiteral("6 Smarch 2026") << unknown << QDate() << QString();
    QTest::newRow("two-digit year") << QStringLiteral("15/01/26") << unknown << QDate() << QString();
    QTest::newRow("before spreadsheets count") << QStringLiteral("1850-03-01") << unknown << QDate() << QString();
    QTest::newRow("invoice number") << QStringLiteral("2026-0417") << unknown << QDate() << QString();
}

void TestFormats::cellDates()
{
    QFETCH(QString, text);
    QFETCH(int, order);
    QFETCH(QDate, date);
    const std::optional<CellDate> read = CellDate::read(text, CellDate::Order(order));
    QCOMPARE(bool(read), date.isValid());
    if (!read)
        return;
    QCOMPARE(read->date, date);
    QTEST(read->format, "format");
}

void TestFormats::workbookColumnsShowTheirCells()
{
    const QString path = mDir.filePath(QStringLiteral("columns.xlsx"));
    const QString item = QStringLiteral("Balsamic vinegar of Modena, 500 ml");
    const QString note = QStringLiteral("Payment by bank transfer; please quote the invoice number.");
    const QString spanning = QStringLiteral("Quarterly figures for the northern and southern regions, before tax");
    XlsxWriter::Sheet sheet{QStringLiteral("Page 1"),
                            {{QStringLiteral("Description"), QStringLiteral("Amount")},
                             {item, QStringLiteral("£112.80")},
                             {QStringLiteral("Two\nlines"), QStringLiteral("1,234,567.00")},
                             {spanning, QString()},
                             {note}}};
    // One range to merge; one overlapping it, one past the last row and a
    // single cell are passed over.
    sheet.merged = {{3, 0, 1, 2}, {3, 1, 2, 1}, {9, 0, 1, 2}, {0, 0, 1, 1}};
    XlsxWriter::Look bold;
    bold.bold = true;
    sheet.looks = {{{0, 0}, bold}, {{0, 1}, bold}};
    // An empty cell with a look is written to show it.
    XlsxWriter::Look ruled;
    ruled.borders = XlsxWriter::Look::AllSides;
    ruled.filled = true;
    ruled.fill = 0x1F4E79;
    ruled.color = 0xFFFFFF;
    sheet.looks.insert({4, 1}, ruled);
    // A heading's large text makes its row taller.
    XlsxWriter::Look large;
    large.size = 22;
    sheet.looks.insert({4, 0}, large);
    QString error;
    QVERIFY2(XlsxWriter::write(path, {sheet}, &error), qPrintable(error));
    const std::optional<QList<ZipEntry>> entries = readZip(path);
    QVERIFY(entries);
    const QString sheetXml = QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml")));
    static const QRegularExpression mergeCell(QStringLiteral("<mergeCell ref=\"([A-Z0-9:]+)\"/>"));
    QStringList merges;
    for (auto it = mergeCell.globalMatch(sheetXml); it.hasNext();)
        merges << it.next().captured(1);
    QCOMPARE(merges, QStringList{QStringLiteral("A4:B4")});
    // The first column is as wide as the item (its neighbour would cut it),
    // not as the note, which runs on over empty cells, nor as the merged
    // text, which has both columns; the second fits the widest amount.
    static const QRegularExpression column(QStringLiteral("<col min=\"(\\d+)\" max=\"\\d+\" width=\"([0-9.]+)\""));
    QMap<int, double> widths;
    for (auto it = column.globalMatch(sheetXml); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        widths.insert(match.captured(1).toInt(), match.captured(2).toDouble());
    }
    QVERIFY2(widths.value(1) > SheetLayout::textWidth(item) && widths.value(1) < SheetLayout::textWidth(note),
             qPrintable(sheetXml));
    QVERIFY2(widths.value(2) > SheetLayout::textWidth(QStringLiteral("1,234,567.00")), qPrintable(sheetXml));
    // Amounts are numbers shown with their currency and decimals.
    const QStringList shared = sharedStrings(entryData(*entries, QStringLiteral("xl/sharedStrings.xml")));
    const QMap<QString, QString> values =
        cells(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml")), shared);
    QCOMPARE(values.value(QStringLiteral("B2")), QStringLiteral("#112.8"));
    QCOMPARE(values.value(QStringLiteral("B3")), QStringLiteral("#1234567"));
    const QString styles = QString::fromUtf8(entryData(*entries, QStringLiteral("xl/styles.xml")));
    QVERIFY2(styles.contains(QStringLiteral("formatCode=\"&quot;£&quot;0.00\"")), qPrintable(styles));
    QVERIFY2(styles.contains(QStringLiteral("formatCode=\"#,##0.00\"")), qPrintable(styles));
    // The cell with a line break wraps, and its row is two lines high; the
    // note does not need to wrap.
    static const QRegularExpression tallRow(QStringLiteral("<row r=\"(\\d+)\"[^>]* ht=\"([0-9.]+)\""));
    QStringList tallRows;
    for (auto it = tallRow.globalMatch(sheetXml); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        tallRows << match.captured(1) + QLatin1Char(':') + match.captured(2);
    }
    QCOMPARE(tallRows, (QStringList{QStringLiteral("3:30"), QStringLiteral("5:28.6")}));
    QVERIFY2(styles.contains(QStringLiteral("<sz val=\"22\"/>")), qPrintable(styles));
    QVERIFY2(styles.contains(QStringLiteral("wrapText=\"1\"")), qPrintable(styles));
    static const QRegularExpression styled(QStringLiteral("<c r=\"(\\w+)\" s=\"\\d+\""));
    QStringList styledCells;
    for (auto it = styled.globalMatch(sheetXml); it.hasNext();)
        styledCells << it.next().captured(1);
    QCOMPARE(styledCells.join(QLatin1Char(' ')), QStringLiteral("A1 B1 B2 A3 B3 A5 B5"));
    QVERIFY2(styles.contains(QStringLiteral("<b/>")), qPrintable(styles));
    QVERIFY2(styles.contains(QStringLiteral("<fgColor rgb=\"FF1F4E79\"/>")), qPrintable(styles));
    QVERIFY2(styles.contains(QStringLiteral("<left style=\"thin\">")), qPrintable(styles));
    // The amount beside the two lines stands at the top of its row, as they do.
    static const QRegularExpression amountStyle(QStringLiteral("<c r=\"B3\" s=\"(\\d+)\""));
    const QString cellXfs = styles.section(QStringLiteral("<cellXfs"), 1).section(QStringLiteral("</cellXfs>"), 0, 0);
    static const QRegularExpression xf(QStringLiteral("<xf [^>]*?(/>|>.*?</xf>)"));
    QStringList formats;
    for (auto it = xf.globalMatch(cellXfs); it.hasNext();)
        formats << it.next().captured(0);
    const int amount = amountStyle.match(sheetXml).captured(1).toInt();
    QVERIFY2(formats.value(amount).contains(QStringLiteral("vertical=\"top\"")), qPrintable(cellXfs));
}

void TestFormats::sheetLayoutWrapsWhatNoColumnHolds()
{
    const QString words = QStringLiteral("A remark far longer than any column may be wide, ");
    const QString longText = words + words + words;                           // 150 characters
    const QString wide = QString::fromUtf8("\u8fd9\u662f\u4e00\u4e2a\u8868"); // five wide letters
    XlsxWriter::Sheet sheet{QStringLiteral("Page 1"),
                            {{longText, QStringLiteral("next")}, {longText}, {wide, QStringLiteral("9")}}};
    const SheetLayout layout(sheet);
    // Cut by its neighbour, the text wraps in the widest column, over three lines.
    QCOMPARE(layout.columnWidths().value(0), SheetLayout::kMaxColumnWidth);
    QVERIFY(layout.wraps(0, 0));
    QCOMPARE(layout.rowLines(0), 3);
    // With nothing beside it, it wraps all the same: run on over the empty
    // cells, it would make the printed page as wide as its line.
    QVERIFY(layout.wraps(1, 0));
    QCOMPARE(layout.rowLines(1), 3);
    QVERIFY(layout.merged().isEmpty());
    QCOMPARE(SheetLayout::textWidth(wide), 10.0);
    // A table keeps its columns' widths from the source: its text wraps
    // within them, in its last column too, while a number widens its column.
    XlsxWriter::Sheet table{
        QStringLiteral("Page 2"),
        {{QStringLiteral("Risk"), QStringLiteral("Mitigation")},
         {QStringLiteral("Supplier delay on olive oil"), QStringLiteral("Keep four weeks of stock")},
         {QStringLiteral("1,234,567,890.00"), QString()},
         {QStringLiteral("A note below the table, which runs on over the empty cells")}}};
    table.tables = {{{0, 0, 3, 2}, {45, 60}}};
    const SheetLayout tableLayout(table);
    QCOMPARE(tableLayout.columnWidths().value(1), (60 - 3.75) / 5.25);
    QVERIFY(tableLayout.columnWidths().value(0) > SheetLayout::textWidth(QStringLiteral("1,234,567,890.00")));
    QVERIFY(!tableLayout.wraps(0, 0) && tableLayout.wraps(1, 1) && !tableLayout.wraps(3, 0));
    QCOMPARE(tableLayout.rowLines(1), 3);
    // A paragraph too long for the table's columns wraps across them and
    // the next ones, which together give it the widest column's room.
    table.rows.append({longText});
    const SheetLayout paragraphLayout(table);
    QCOMPARE(paragraphLayout.merged(), (QList<XlsxWriter::Range>{{4, 0, 1, 7}}));
    QVERIFY(paragraphLayout.wraps(4, 0));
    QCOMPARE(paragraphLayout.rowLines(4), 2);
    // Lines broken in the source do not stretch the table's first column:
    // they are merged across as many columns as their longest line needs.
    table.rows.append({QStringLiteral("Two lines of a note\nthat stand under the table")});
    const SheetLayout linesLayout(table);
    QCOMPARE(linesLayout.columnWidths(), paragraphLayout.columnWidths());
    QVERIFY(linesLayout.merged().contains(XlsxWriter::Range{5, 0, 1, 2}));
    QCOMPARE(linesLayout.rowLines(5), 2);
    // A note that filled its column in the source keeps to one line: its
    // letters are narrower than digits.
    XlsxWriter::Sheet notes{QStringLiteral("Page 3"),
                            {{QStringLiteral("Note")}, {QStringLiteral("Q3 review")}, {QStringLiteral("see memo")}}};
    notes.tables = {{{0, 0, 3, 1}, {57}}};
    const SheetLayout notesLayout(notes);
    QVERIFY(!notesLayout.wraps(1, 0));
    QCOMPARE(notesLayout.rowLines(1), 1);
    // A day over twelve anywhere in a column tells how its other dates read;
    // where nothing tells, or it tells both ways, they stay text.
    const XlsxWriter::Sheet dates{QStringLiteral("Page 3"),
                                  {{QStringLiteral("06/01/2026"), QStringLiteral("06/01/2026"),
                                    QStringLiteral("06/01/2026"), QStringLiteral("15/01/2026")},
                                   {QStringLiteral("15/01/2026"), QStringLiteral("01/15/2026"),
                                    QStringLiteral("07/02/2026"), QStringLiteral("01/15/2026")}}};
    const SheetLayout dateLayout(dates);
    QVERIFY(dateLayout.dateOrder(0) == CellDate::Order::DayFirst);
    QVERIFY(dateLayout.dateOrder(1) == CellDate::Order::MonthFirst);
    QVERIFY(dateLayout.dateOrder(2) == CellDate::Order::Unknown);
    QVERIFY(dateLayout.dateOrder(3) == CellDate::Order::Unknown);
    QVERIFY(dateLayout.isValue(0, 0) && dateLayout.isValue(0, 1) && !dateLayout.isValue(0, 2));
}

void TestFormats::workbookLinksLeadOnlyWhereTheyMay()
{
    const QString path = mDir.filePath(QStringLiteral("links.xlsx"));
    XlsxWriter::Sheet first{
        QStringLiteral("Page 1"),
        {{QStringLiteral("Our site"), QStringLiteral("Write to us"), QStringLiteral("See page 2"),
          QStringLiteral("A file"), QStringLiteral("Another book"), QStringLiteral("No such page")}}};
    first.links = {{{0, 0}, QStringLiteral("https://example.org/harvest")},
                   {{0, 1}, QStringLiteral("mailto:office@example.org")},
                   {{0, 2}, QStringLiteral("#1")},
                   {{0, 3}, QStringLiteral("file:///etc/passwd")},
                   {{0, 4}, QStringLiteral("external:c:\\books\\other.xlsx")},
                   {{0, 5}, QStringLiteral("#7")}};
    QString error;
    QVERIFY2(XlsxWriter::write(path, {first, {QStringLiteral("Page 2"), {{QStringLiteral("Here")}}}}, &error),
             qPrintable(error));
    const std::optional<QList<ZipEntry>> entries = readZip(path);
    QVERIFY(entries);
    const QString sheet = QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/sheet1.xml")));
    const QString targets =
        QString::fromUtf8(entryData(*entries, QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels")));
    // The web, mail and the sheet of page 2 are linked; a file, another
    // workbook and a page that is not there are not.
    QCOMPARE(sheet.count(QStringLiteral("<hyperlink ")), 3);
    QVERIFY2(targets.contains(QStringLiteral("Target=\"https://example.org/harvest\"")), qPrintable(targets));
    QVERIFY2(targets.contains(QStringLiteral("Target=\"mailto:office@example.org\"")), qPrintable(targets));
    QVERIFY2(sheet.contains(QStringLiteral("location=\"'Page 2'!A1\"")), qPrintable(sheet));
    QVERIFY(!targets.contains(QStringLiteral("passwd")) && !targets.contains(QStringLiteral("other.xlsx")));
    // The cells still show their own text.
    const QStringList shared = sharedStrings(entryData(*entries, QStringLiteral("xl/sharedStrings.xml")));
    const QMap<QString, QString> values = cells(sheet.toUtf8(), shared);
    QCOMPARE(values.value(QStringLiteral("A1")), QStringLiteral("Our site"));
    QCOMPARE(values.value(QStringLiteral("C1")), QStringLiteral("See page 2"));
    QCOMPARE(values.value(QStringLiteral("D1")), QStringLiteral("A file"));
}

void TestFormats::workbookWriteFailureIsReported()
{
    const QString file = mDir.filePath(QStringLiteral("plain-for-workbook"));
    QVERIFY(writeFile(file, "x"));
    QString error;
    QVERIFY(!XlsxWriter::write(file + QStringLiteral("/book.xlsx"),
                               {{QStringLiteral("Page 1"), {{QStringLiteral("a")}}}}, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Cannot write the workbook: ")) &&
                 error.size() > QStringLiteral("Cannot write the workbook: ").size(),
             qPrintable(error));
}

void TestFormats::sheetNames_data()
{
    QTest::addColumn<QStringList>("wanted");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("kept") << QStringList{QStringLiteral("Page 1"), QStringLiteral("Page 2")}
                          << QStringList{QStringLiteral("Page 1"), QStringLiteral("Page 2")};
    QTest::newRow("forbidden characters")
        << QStringList{QStringLiteral("a[b]:c*d?e/f\\g")} << QStringList{QStringLiteral("a_b__c_d_e_f_g")};
    QTest::newRow("control characters") << QStringList{QStringLiteral("a\tb\nc\x01")}
                                        << QStringList{QStringLiteral("abc")};
    QTest::newRow("apostrophes at the ends")
        << QStringList{QStringLiteral("''Bob's''")} << QStringList{QStringLiteral("Bob's")};
    QTest::newRow("cut to 31") << QStringList{QString(40, QLatin1Char('n'))}
                               << QStringList{QString(31, QLatin1Char('n'))};
    // 31 characters are 62 UTF-16 units here.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("cut by characters") << QStringList{emoji.repeated(40)} << QStringList{emoji.repeated(31)};
    QTest::newRow("apostrophe brought to the end by the cut")
        << QStringList{QString(30, QLatin1Char('n')) + QStringLiteral("'x")}
        << QStringList{QString(30, QLatin1Char('n'))};
    QTest::newRow("empty") << QStringList{QStringLiteral("Data"), QString(), QStringLiteral("'")}
                           << QStringList{QStringLiteral("Data"), QStringLiteral("Sheet2"), QStringLiteral("Sheet3")};
    QTest::newRow("repeated, ignoring case")
        << QStringList{QStringLiteral("Data"), QStringLiteral("data"), QStringLiteral("DATA")}
        << QStringList{QStringLiteral("Data"), QStringLiteral("data (2)"), QStringLiteral("DATA (3)")};
    QTest::newRow("repeated long name keeps 31")
        << QStringList{QString(31, QLatin1Char('n')), QString(31, QLatin1Char('n'))}
        << QStringList{QString(31, QLatin1Char('n')), QString(27, QLatin1Char('n')) + QStringLiteral(" (2)")};
    QTest::newRow("repeated after sanitising") << QStringList{QStringLiteral("a/b"), QStringLiteral("a:b")}
                                               << QStringList{QStringLiteral("a_b"), QStringLiteral("a_b (2)")};
}

void TestFormats::sheetNames()
{
    QFETCH(QStringList, wanted);
    QTEST(XlsxWriter::sheetNames(wanted), "names");
}

MIRELUNE_TEST_MAIN(TestFormats)
#include "tst_formats.moc"
