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
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <optional>

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
    QVERIFY2(XlsxWriter::write(path,
                               {{QStringLiteral("Page 1"),
                                 {{QStringLiteral("Name"), QStringLiteral("Qty"), QStringLiteral("Code")},
                                  {QStringLiteral("Apple & <Pear>"), QStringLiteral("3"), QStringLiteral("007")},
                                  {QStringLiteral("bell\x07 gone"), QStringLiteral("-0.25"), QString()}}},
                                {QStringLiteral("Page 2"), {{QStringLiteral("Total"), QStringLiteral("12.50")}}, true}},
                               &error),
             qPrintable(error));
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
