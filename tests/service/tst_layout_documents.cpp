#include "formats/XlsxWriter.h"
#include "layout/DocumentAnalyzer.h"
#include "layout/DocxWriter.h"
#include "layout/PdfReader.h"
#include "layout/SheetBuilder.h"
#include "layout/ToolRunner.h"
#include "support/TestMain.h"
#include "support/service/LayoutPdf.h"
#include "support/service/TestDocuments.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

// PDFs written at test time go through the layout engine with the real tools
// (mutool, pdfimages, fc-match); the Word document and the workbook it
// writes are unzipped and their XML read back.
class TestLayoutDocuments : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void twoColumnPageReadsInColumnOrder();
    void ruledTableBecomesTableAndCells();
    void rowsWithoutRulesBetweenThemStayRows();
    void sheetPrintedWithoutGridBecomesCells();
    void imageKeepsPlaceAndSize();
    void drawnFigureBecomesAPicture();
    void boldHeadingStaysBoldAndLarger();
    void bitmapFontTextKeepsItsSizes();
    void lineEndHyphenation();
    void scannedPageBecomesItsImage();
    void sidewaysPagesReadUpright();
    void rightToLeftTextKeepsItsOrderAndSide();
    void linksLeadWhereTheyDid();
    void underlinesStrikesAndHighlightsStayWithTheirWords();
    void documentInformationIsKept();
    void everyPageStartsAPage();
    void textRunningPastThePageFootStaysOnItsPage();
    void pageNumberStandsWhereItStood();
    void libreOfficeOpensWhatComesOut();
    void alignedLinesAndColumnsAtThePageFootStay();
    void looseJustifiedLinesBreakWhereTheyDid();
    void pageOfManySpotColoursIsRead();
    void brokenTraceFailsWithAText();

private:
    struct Converted {
        QString documentXml;
        QList<StructuredPage> pages;
        DocumentInfo info;
    };
    Converted convert(const LayoutPdf &pdf, const QString &name);
    Converted convertFile(const QString &pdf, const QString &folder);
    // A text document of `content` (flat ODF inside office:document) in
    // `folder`, exported to PDF by LibreOffice; the PDF, or empty.
    static QString officePdf(const QString &folder, const QByteArray &content);

    QTemporaryDir mDir;
};

namespace {

// Runs the tools directly, bounded in time.
class DirectTools final : public ToolRunner {
public:
    bool run(const QString &program, const QStringList &arguments, QString *error) override
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        const bool finished = process.waitForFinished(60000);
        mOutput = process.readAll();
        if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return true;
        if (!finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        *error = program + QStringLiteral(" failed");
        return false;
    }
    QByteArray output() const override { return mOutput; }

private:
    QByteArray mOutput;
};

// The real tools, except one that fails as a crashed or cancelled tool does.
class ToolsWithout final : public ToolRunner {
public:
    explicit ToolsWithout(const QString &broken) : mBroken(broken) {}
    bool run(const QString &program, const QStringList &arguments, QString *error) override
    {
        if (program != mBroken)
            return mTools.run(program, arguments, error);
        *error = program + QStringLiteral(" failed");
        return false;
    }
    QByteArray output() const override { return mTools.output(); }

private:
    QString mBroken;
    DirectTools mTools;
};

const QString kLorem = QStringLiteral("several words of plain running text fill this line");

// The text of the runs in a piece of document.xml.
QString textOf(const QString &xml)
{
    static const QRegularExpression text(QStringLiteral("<w:t[^>]*>([^<]*)</w:t>"));
    QString joined;
    for (auto t = text.globalMatch(xml); t.hasNext();)
        joined += t.next().captured(1);
    return joined;
}

// Paragraph texts of a document.xml in document order.
QStringList paragraphs(const QString &xml)
{
    QStringList result;
    static const QRegularExpression paragraph(QStringLiteral("<w:p>(.*?)</w:p>"));
    for (auto p = paragraph.globalMatch(xml); p.hasNext();) {
        const QString joined = textOf(p.next().captured(1));
        if (!joined.isEmpty())
            result << joined;
    }
    return result;
}

// The PDF read as the workbook's route reads it, without rendering pictures,
// its intermediate files in `folder`; nothing where it could not be read.
std::optional<SourceDocument> readForWorkbook(const QString &pdf, const QString &folder)
{
    DirectTools tools;
    QString error;
    QDir().mkpath(folder);
    std::optional<SourceDocument> source = PdfReader::read(tools, pdf, folder, &error, PdfReader::Graphics::Skip);
    if (!source)
        qWarning("%s", qPrintable(error));
    return source;
}

// The first sheet's XML of the workbook written from `pages` to `path`;
// empty where it could not be written.
QString firstSheet(const QList<StructuredPage> &pages, const QString &path)
{
    QString error;
    if (!XlsxWriter::write(path, SheetBuilder::sheets(pages), &error)) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    return QString::fromUtf8(TestDocuments::zipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml")));
}

QList<int> cellsPerRow(const QString &sheet)
{
    static const QRegularExpression rowPattern(QStringLiteral("<row [^>]*>(.*?)</row>"));
    QList<int> counts;
    for (auto it = rowPattern.globalMatch(sheet); it.hasNext();)
        counts << int(it.next().captured(1).count(QStringLiteral("<c ")));
    return counts;
}

qsizetype indexContaining(const QStringList &list, const QString &part)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].contains(part))
            return i;
    }
    return -1;
}

} // namespace

void TestLayoutDocuments::initTestCase()
{
    QVERIFY(mDir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("mutool")).isEmpty())
        QFAIL("mutool (mupdf-tools) is not installed");
}

TestLayoutDocuments::Converted TestLayoutDocuments::convert(const LayoutPdf &pdf, const QString &name)
{
    const QString folder = mDir.filePath(name);
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/in.pdf");
    if (!pdf.write(path))
        return {};
    return convertFile(path, folder);
}

TestLayoutDocuments::Converted TestLayoutDocuments::convertFile(const QString &path, const QString &folder)
{
    Converted converted;
    DirectTools tools;
    QString error;
    const std::optional<SourceDocument> source = PdfReader::read(tools, path, folder, &error);
    if (!source) {
        qWarning("%s", qPrintable(error));
        return converted;
    }
    converted.pages = DocumentAnalyzer::analyze(*source);
    const QString docx = folder + QStringLiteral("/out.docx");
    converted.info = source->info;
    if (!DocxWriter::write(docx, converted.pages, source->styles, &error, source->info)) {
        qWarning("%s", qPrintable(error));
        return converted;
    }
    converted.documentXml = QString::fromUtf8(TestDocuments::zipEntry(docx, QStringLiteral("word/document.xml")));
    return converted;
}

QString TestLayoutDocuments::officePdf(const QString &folder, const QByteArray &content)
{
    const QString source = folder + QStringLiteral("/source.fodt");
    const QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
                                "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                                "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                                "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
                                "xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\" "
                                "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.2\" "
                                "office:mimetype=\"application/vnd.oasis.opendocument.text\">" +
                                content + "</office:document>";
    if (!QDir().mkpath(folder) || !TestDocuments::write(source, document))
        return {};
    return TestDocuments::office(source, QStringLiteral("pdf"), folder);
}

void TestLayoutDocuments::twoColumnPageReadsInColumnOrder()
{
    LayoutPdf pdf;
    for (int line = 0; line < 12; ++line) {
        pdf.text(60, 100 + line * 12, QStringLiteral("Left %1 ").arg(line, 2, 10, QLatin1Char('0')) + kLorem.left(30));
        pdf.text(320, 100 + line * 12,
                 QStringLiteral("Right %1 ").arg(line, 2, 10, QLatin1Char('0')) + kLorem.left(30));
    }
    const Converted result = convert(pdf, QStringLiteral("columns"));
    const QStringList texts = paragraphs(result.documentXml);
    QVERIFY2(!texts.isEmpty(), qPrintable(result.documentXml.left(500)));
    // Every line of the left column comes before any of the right one, each column in order.
    const QString all = texts.join(QLatin1Char(' '));
    qsizetype last = -1;
    for (const QString &side : {QStringLiteral("Left"), QStringLiteral("Right")}) {
        for (int line = 0; line < 12; ++line) {
            const qsizetype at = all.indexOf(side + QStringLiteral(" %1").arg(line, 2, 10, QLatin1Char('0')));
            QVERIFY2(at > last, qPrintable(all));
            last = at;
        }
    }
    // The section has two columns and a column break between them.
    QVERIFY(result.documentXml.contains(QStringLiteral("<w:cols w:num=\"2\"")));
    QVERIFY(result.documentXml.contains(QStringLiteral("<w:br w:type=\"column\"/>")));
}

void TestLayoutDocuments::ruledTableBecomesTableAndCells()
{
    // Three rows of four ruled cells, 100 x 20 points each, below a paragraph.
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("Harvest figures of the orchard"));
    const QStringList heads = {QStringLiteral("Fruit"), QStringLiteral("Count"), QStringLiteral("Price"),
                               QStringLiteral("Grade")};
    const QList<QStringList> rows = {
        heads,
        {QStringLiteral("Quince"), QStringLiteral("3"), QStringLiteral("1.25"), QStringLiteral("A")},
        {QStringLiteral("Medlar"), QStringLiteral("1,250"), QStringLiteral("2.5"), QStringLiteral("B")}};
    for (int r = 0; r <= 3; ++r)
        pdf.line(60, 100 + r * 20, 460, 100 + r * 20);
    for (int c = 0; c <= 4; ++c)
        pdf.line(60 + c * 100, 100, 60 + c * 100, 160);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c)
            pdf.text(64 + c * 100, 114 + r * 20, rows[r][c]);
    }
    const Converted result = convert(pdf, QStringLiteral("table"));
    const QString &xml = result.documentXml;
    QCOMPARE(xml.count(QStringLiteral("<w:tbl>")), 1);
    QCOMPARE(xml.count(QStringLiteral("<w:tr>")), 3);
    QCOMPARE(xml.count(QStringLiteral("<w:tc>")), 12);
    QCOMPARE(xml.count(QStringLiteral("<w:gridCol ")), 4);
    QVERIFY(xml.contains(QStringLiteral("<w:insideV w:val=\"single\"")));
    // Each cell holds its own text, in row order.
    const QString table = xml.section(QStringLiteral("<w:tbl>"), 1).section(QStringLiteral("</w:tbl>"), 0, 0);
    const QStringList cells = paragraphs(table);
    QCOMPARE(cells.join(QLatin1Char('|')),
             QStringLiteral("Fruit|Count|Price|Grade|Quince|3|1.25|A|Medlar|1,250|2.5|B"));
    QVERIFY(indexContaining(paragraphs(xml), QStringLiteral("Harvest figures")) == 0);

    // The workbook: the table's twelve cells as three rows of four, numbers as numbers.
    const QString sheet = firstSheet(result.pages, mDir.filePath(QStringLiteral("table/out.xlsx")));
    QCOMPARE(cellsPerRow(sheet), (QList<int>{1, 4, 4, 4}));
    QVERIFY2(sheet.contains(QStringLiteral("<v>1250</v>")), qPrintable(sheet));
    QVERIFY2(sheet.contains(QStringLiteral("<v>1.25</v>")), qPrintable(sheet));
}

void TestLayoutDocuments::sheetPrintedWithoutGridBecomesCells()
{
    // LibreOffice prints a sheet without its grid, its columns a few points
    // apart and its numbers flush right.
    const QString folder = mDir.filePath(QStringLiteral("sheet"));
    QByteArray csv = "Region,Product,Units,Unit price,Revenue,Date\n";
    const char *const regions[] = {"North", "South", "East", "West"};
    const char *const products[] = {"Widget", "Gizmo large", "Doohickey", "Gadget"};
    for (int r = 0; r < 12; ++r) {
        const int units = 7 + (r * 97) % 480;
        const double price = 1.25 + (r * 7.3);
        csv += QByteArray(regions[r % 4]) + ',' + products[(r / 2) % 4] + ',' + QByteArray::number(units) + ',' +
               QByteArray::number(price, 'f', 2) + ',' + QByteArray::number(units * price, 'f', 2) + ",2026-0" +
               QByteArray::number(1 + r % 9) + "-1" + QByteArray::number(r % 10) + '\n';
    }
    QVERIFY(QDir().mkpath(folder) && TestDocuments::write(folder + QStringLiteral("/sales.csv"), csv));
    const QString pdf = TestDocuments::office(folder + QStringLiteral("/sales.csv"), QStringLiteral("pdf"), folder);
    QVERIFY(!pdf.isEmpty());
    const Converted result = convertFile(pdf, folder);
    // Every row of the sheet is a row of six cells, in the workbook and in the document.
    const QString sheet = firstSheet(result.pages, folder + QStringLiteral("/out.xlsx"));
    const QList<int> rows = cellsPerRow(sheet);
    QCOMPARE(std::count(rows.cbegin(), rows.cend(), 6), 13);
    QVERIFY2(sheet.contains(QStringLiteral("<v>1.25</v>")), qPrintable(sheet.left(2000)));
    QCOMPARE(result.documentXml.count(QStringLiteral("<w:tbl>")), 1);
    QCOMPARE(result.documentXml.count(QStringLiteral("<w:tc>")), 13 * 6);
    const QStringList cells = paragraphs(result.documentXml);
    QVERIFY2(cells.contains(QStringLiteral("Unit price")) && cells.contains(QStringLiteral("Gizmo large")),
             qPrintable(cells.join(QLatin1Char('|'))));
}

void TestLayoutDocuments::rowsWithoutRulesBetweenThemStayRows()
{
    // As TeX draws a table with rules around its body only: the column rules
    // come one piece per row, and the body's three rows are one ruled box.
    // Rules at the given columns' left sides (3 for the right side).
    const auto ruledBody = [](const QList<QStringList> &rows, const QList<int> &columnRules,
                              LayoutPdf::Font font = LayoutPdf::Font::Regular) {
        LayoutPdf pdf;
        for (const int y : {100, 120, 170})
            pdf.line(60, y, 360, y);
        const QList<std::pair<int, int>> rowSpans = {{100, 120}, {120, 137}, {137, 153}, {153, 170}};
        for (const auto &[top, bottom] : rowSpans) {
            for (const int c : columnRules)
                pdf.line(60 + c * 100, top, 60 + c * 100, bottom);
        }
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < rows[r].size(); ++c)
                pdf.text(64 + c * 100, r == 0 ? 114 : 132 + (r - 1) * 16, rows[r][c], 10, font);
        }
        return pdf;
    };
    const QList<QStringList> rows = {{QStringLiteral("Method"), QStringLiteral("Speed"), QStringLiteral("Gain")},
                                     {QStringLiteral("CRC-32"), QStringLiteral("2.08"), QStringLiteral("1.79")},
                                     {QStringLiteral("CRC-64"), QStringLiteral("2.09"), QStringLiteral("1.75")},
                                     {QStringLiteral("CRC-128"), QStringLiteral("2.91"), QStringLiteral("1.73")}};
    const Converted result = convert(ruledBody(rows, {0, 1, 2, 3}), QStringLiteral("open-rows"));
    const QString &xml = result.documentXml;
    QCOMPARE(xml.count(QStringLiteral("<w:tbl>")), 1);
    QCOMPARE(xml.count(QStringLiteral("<w:tr>")), 4);
    const QString table = xml.section(QStringLiteral("<w:tbl>"), 1).section(QStringLiteral("</w:tbl>"), 0, 0);
    QCOMPARE(paragraphs(table).join(QLatin1Char('|')),
             QStringLiteral("Method|Speed|Gain|CRC-32|2.08|1.79|CRC-64|2.09|1.75|CRC-128|2.91|1.73"));
    // No rule is drawn where the source has none: between the body's rows,
    // above and below each of the three cells of the middle row.
    QCOMPARE(xml.count(QStringLiteral("<w:top w:val=\"nil\"/>")), 6);
    QCOMPARE(xml.count(QStringLiteral("<w:bottom w:val=\"nil\"/>")), 6);
    // Every rule became part of the table: none is drawn again as a shape.
    QVERIFY(!xml.contains(QStringLiteral("<wps:wsp>")));

    const QString sheet = firstSheet(result.pages, mDir.filePath(QStringLiteral("open-rows/out.xlsx")));
    QCOMPARE(cellsPerRow(sheet), (QList<int>{3, 3, 3, 3}));
    QVERIFY2(sheet.contains(QStringLiteral("<v>2.91</v>")), qPrintable(sheet));

    // Two columns of figures between one pair of rules are two columns, the
    // edge between them open.
    const Converted shared = convert(ruledBody(rows, {0, 1, 3}), QStringLiteral("open-columns"));
    const QString sharedTable =
        shared.documentXml.section(QStringLiteral("<w:tbl>"), 1).section(QStringLiteral("</w:tbl>"), 0, 0);
    QCOMPARE(shared.documentXml.count(QStringLiteral("<w:tr>")), 4);
    QCOMPARE(paragraphs(sharedTable), paragraphs(table));
    QCOMPARE(sharedTable.count(QStringLiteral("<w:left w:val=\"nil\"/>")), 4);
    const QString sharedSheet = firstSheet(shared.pages, mDir.filePath(QStringLiteral("open-columns/out.xlsx")));
    QCOMPARE(cellsPerRow(sharedSheet), (QList<int>{3, 3, 3, 3}));

    // Words a space apart stay one cell, however well they line up.
    const QList<QStringList> phrases = {{QStringLiteral("Method"), QStringLiteral("Do")},
                                        {QStringLiteral("CRC-32"), QStringLiteral("to be")},
                                        {QStringLiteral("CRC-64"), QStringLiteral("or no")},
                                        {QStringLiteral("CRC-128"), QStringLiteral("so on")}};
    const Converted spaced =
        convert(ruledBody(phrases, {0, 1, 3}, LayoutPdf::Font::Mono), QStringLiteral("spaced-words"));
    QCOMPARE(spaced.documentXml.count(QStringLiteral("<w:tc>")), 8);
}

void TestLayoutDocuments::imageKeepsPlaceAndSize()
{
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("A picture follows"));
    pdf.image(150, 200, 200, 120);
    const Converted result = convert(pdf, QStringLiteral("image"));
    const QString &xml = result.documentXml;
    static const QRegularExpression offset(QStringLiteral("<wp:posOffset>(\\d+)</wp:posOffset>"));
    static const QRegularExpression extent(QStringLiteral("<wp:extent cx=\"(\\d+)\" cy=\"(\\d+)\"/>"));
    QList<double> offsets;
    for (auto it = offset.globalMatch(xml); it.hasNext();)
        offsets << it.next().captured(1).toDouble() / 12700;
    const QRegularExpressionMatch size = extent.match(xml);
    QCOMPARE(offsets.size(), 2);
    QVERIFY(size.hasMatch());
    QVERIFY2(qAbs(offsets[0] - 150) < 1 && qAbs(offsets[1] - 200) < 1, qPrintable(QDebug::toString(offsets)));
    QVERIFY(qAbs(size.captured(1).toDouble() / 12700 - 200) < 1);
    QVERIFY(qAbs(size.captured(2).toDouble() / 12700 - 120) < 1);
    QVERIFY(xml.contains(QStringLiteral("relativeFrom=\"page\"")));
    const QString docx = mDir.filePath(QStringLiteral("image/out.docx"));
    const std::optional<QStringList> entries = TestDocuments::zipEntries(docx);
    QVERIFY(entries);
    QCOMPARE(entries->filter(QStringLiteral("word/media/")).size(), 1);
    // A picture stored at 16 bits a component keeps its colours, on a page
    // after one with a picture of its own.
    LayoutPdf deep;
    deep.text(60, 80, QStringLiteral("A picture follows"));
    deep.image(150, 200, 200, 120);
    deep.newPage().text(60, 80, QStringLiteral("A deep picture follows"));
    deep.deepImage(150, 200, 200, 120);
    convert(deep, QStringLiteral("deep-image"));
    const QString deepDocx = mDir.filePath(QStringLiteral("deep-image/out.docx"));
    QStringList media =
        TestDocuments::zipEntries(deepDocx).value_or(QStringList()).filter(QStringLiteral("word/media/"));
    QCOMPARE(media.size(), 2);
    media.sort();
    const QImage picture = QImage::fromData(TestDocuments::zipEntry(deepDocx, media.last()));
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(picture.pixelColor(picture.width() - 1, 0), QColor(Qt::red));
    // A drawing over a picture (a ring round part of a screenshot) is a
    // figure drawn over it; the picture stays as it was, under it.
    LayoutPdf marked;
    marked.text(60, 80, QStringLiteral("A marked picture follows"));
    marked.image(150, 200, 200, 120);
    marked.ellipse(300, 280, 80, 60);
    const Converted ringed = convert(marked, QStringLiteral("marked-image"));
    QCOMPARE(ringed.pages.size(), 1);
    QList<double> placed;
    for (auto it = offset.globalMatch(ringed.documentXml); it.hasNext();)
        placed << it.next().captured(1).toDouble() / 12700;
    QVERIFY2(placed.size() == 4 && qAbs(placed[0] - 150) < 1 && qAbs(placed[1] - 200) < 1 &&
                 qAbs(placed[2] - 300) < 2 && qAbs(placed[3] - 280) < 2,
             qPrintable(QDebug::toString(placed)));
    QCOMPARE(TestDocuments::zipEntries(mDir.filePath(QStringLiteral("marked-image/out.docx")))
                 .value_or(QStringList())
                 .filter(QStringLiteral("word/media/"))
                 .size(),
             2);
    // A workbook has no use for the picture: its place is read, its file is not made.
    const QString skipped = mDir.filePath(QStringLiteral("image-skipped"));
    const std::optional<SourceDocument> source =
        readForWorkbook(mDir.filePath(QStringLiteral("image/in.pdf")), skipped);
    QVERIFY(source);
    QCOMPARE(source->pages.first().images.size(), 1);
    QVERIFY(source->pages.first().images.first().file.isEmpty());
    QVERIFY(QDir(skipped).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestLayoutDocuments::drawnFigureBecomesAPicture()
{
    // Two touching ellipses, a black box over them and a rule along their foot
    // are one figure; an ellipse with text inside is another, drawn without
    // the text, which stays text in front of it.
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("A figure follows"));
    pdf.ellipse(150, 200, 120, 80).ellipse(230, 230, 80, 80);
    pdf.fill(180, 220, 40, 20, 0, 0, 0);
    pdf.line(150, 310.5, 310, 310.5);
    pdf.ellipse(150, 500, 200, 60);
    pdf.fill(200, 520, 100, 20, 1, 1, 1);
    pdf.line(205, 522, 295, 524, 0); // a hairline, which a renderer draws a pixel wide
    pdf.text(190, 535, QStringLiteral("Inside a balloon"));
    pdf.fill(312, 512, 16, 36, 1, 1, 1);
    pdf.upsideDownText(326, 533, QStringLiteral("Up"));
    // A label along the side makes no figure: it stays text, turned as it was.
    pdf.upwardText(100, 700, QStringLiteral("Sideways"));
    const Converted result = convert(pdf, QStringLiteral("figure"));
    QCOMPARE(result.pages.size(), 1);
    const StructuredPage &page = result.pages.first();
    QCOMPARE(page.pictures.size(), 2);
    const Picture &figure = page.pictures.first();
    const QRectF expected(150, 200, 160, 110.75);
    QVERIFY2(qAbs(figure.box.left() - expected.left()) < 2 && qAbs(figure.box.top() - expected.top()) < 2 &&
                 qAbs(figure.box.right() - expected.right()) < 2 && qAbs(figure.box.bottom() - expected.bottom()) < 2,
             qPrintable(QDebug::toString(figure.box)));
    QVERIFY(!figure.behindText);
    QVERIFY(QFileInfo(figure.file).size() > 0);
    // What the picture shows is not drawn again.
    QVERIFY2(page.shapes.isEmpty(), qPrintable(QString::number(page.shapes.size())));
    const QStringList texts = paragraphs(result.documentXml);
    QVERIFY(indexContaining(texts, QStringLiteral("A figure follows")) >= 0);
    QVERIFY(indexContaining(texts, QStringLiteral("Inside a balloon")) >= 0);
    const Picture &balloon = page.pictures.last();
    QVERIFY2(qAbs(balloon.box.left() - 150) < 2 && qAbs(balloon.box.top() - 500) < 2 &&
                 qAbs(balloon.box.width() - 200) < 3 && qAbs(balloon.box.height() - 60) < 3,
             qPrintable(QDebug::toString(balloon.box)));
    QVERIFY(balloon.behindText);
    // Its picture shows the balloon and the white panel on it, not the
    // words: no dark pixel along the panel where the letters stand.
    const QImage drawn(balloon.file);
    QVERIFY(!drawn.isNull());
    const double scale = drawn.width() / balloon.box.width();
    const int row = int((532 - balloon.box.top()) * scale);
    int dark = 0;
    for (int x = int((205 - balloon.box.left()) * scale); x < int((295 - balloon.box.left()) * scale); ++x)
        dark += qGray(drawn.pixel(x, row)) < 128 ? 1 : 0;
    QCOMPARE(dark, 0);
    int darkest = 255;
    for (int y = int((520 - balloon.box.top()) * scale); y < int((526 - balloon.box.top()) * scale); ++y)
        darkest = qMin(darkest, qGray(drawn.pixel(int((250 - balloon.box.left()) * scale), y)));
    QVERIFY2(darkest < 160, qPrintable(QString::number(darkest)));
    // Text upside down cannot stand in front as text: the picture shows it.
    int label = 0;
    for (int y = int((533 - balloon.box.top()) * scale); y < int((545 - balloon.box.top()) * scale); ++y) {
        for (int x = int((316 - balloon.box.left()) * scale); x < int((324 - balloon.box.left()) * scale); ++x)
            label += qGray(drawn.pixel(x, y)) < 128 ? 1 : 0;
    }
    QVERIFY2(label > 10, qPrintable(QString::number(label)));
    QCOMPARE(page.sideLines.size(), 1);
    const SideLine &side = page.sideLines.first();
    QVERIFY(side.upwards);
    QCOMPARE(side.paragraph.text(), QStringLiteral("Sideways"));
    QVERIFY2(qAbs(side.box.left() - 92.2) < 0.5 && qAbs(side.box.right() - 102.2) < 0.5 &&
                 qAbs(side.box.bottom() - 700) < 0.5 && side.box.top() < 670,
             qPrintable(QDebug::toString(side.box)));
    QVERIFY(result.documentXml.contains(QStringLiteral("vert=\"vert270\"")));
    QVERIFY(result.documentXml.contains(QStringLiteral(">Sideways</w:t>")));
    const std::optional<QStringList> entries =
        TestDocuments::zipEntries(mDir.filePath(QStringLiteral("figure/out.docx")));
    QVERIFY(entries);
    QCOMPARE(entries->filter(QStringLiteral("word/media/")).size(), 2);
    // A figure that cannot be rendered leaves its page as it was, and the conversion goes on.
    ToolsWithout noRenderer(QStringLiteral("pdftoppm"));
    QString error;
    const QString unrendered = mDir.filePath(QStringLiteral("figure-unrendered"));
    QDir().mkpath(unrendered);
    const std::optional<SourceDocument> source =
        PdfReader::read(noRenderer, mDir.filePath(QStringLiteral("figure/in.pdf")), unrendered, &error);
    QVERIFY2(source, qPrintable(error));
    QVERIFY(source->pages.first().images.isEmpty());
    QCOMPARE(source->pages.first().fills.size(), 1);

    // A slide of icons: every one is a figure, cut from one rendering of the page.
    LayoutPdf icons;
    icons.text(60, 80, QStringLiteral("Icons"));
    for (int line = 0; line < 4; ++line) {
        for (int column = 0; column < 6; ++column)
            icons.ellipse(60 + column * 30, 120 + line * 30, 16, 16);
    }
    const Converted set = convert(icons, QStringLiteral("icons"));
    QCOMPARE(set.pages.size(), 1);
    QCOMPARE(set.pages.first().pictures.size(), 24);
    for (const Picture &icon : set.pages.first().pictures) {
        const QImage shown(icon.file);
        QVERIFY(!shown.isNull());
        QVERIFY(qGray(shown.pixel(shown.width() / 2, shown.height() / 2)) < 128);
    }
}

void TestLayoutDocuments::boldHeadingStaysBoldAndLarger()
{
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("Pruning the quince"), 18, LayoutPdf::Font::Bold);
    for (int line = 0; line < 6; ++line)
        pdf.text(60, 110 + line * 12, kLorem + QStringLiteral(" and more words here"));
    // Code set in letters scaled narrower than their size keeps its width.
    pdf.text(60, 200, QStringLiteral("PDF_TARGET <id> \"<text>\""), 12, LayoutPdf::Font::Mono, 0.87);
    const Converted result = convert(pdf, QStringLiteral("heading"));
    const QString &xml = result.documentXml;
    static const QRegularExpression heading(QStringLiteral(
        "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/>.*?<w:rPr>(.*?)</w:rPr><w:t[^>]*>Pruning the quince"));
    const QRegularExpressionMatch match = heading.match(xml);
    QVERIFY2(match.hasMatch(), qPrintable(xml));
    QVERIFY(match.captured(1).contains(QStringLiteral("<w:b/>")));
    QVERIFY(match.captured(1).contains(QStringLiteral("<w:sz w:val=\"36\"/>")));
    static const QRegularExpression body(QStringLiteral("<w:r><w:rPr>((?:(?!</w:rPr>).)*)</w:rPr><w:t[^>]*>several"));
    const QRegularExpressionMatch bodyMatch = body.match(xml);
    QVERIFY2(bodyMatch.hasMatch(), qPrintable(xml));
    QVERIFY(bodyMatch.captured(1).contains(QStringLiteral("<w:sz w:val=\"20\"/>")));
    QVERIFY(!bodyMatch.captured(1).contains(QStringLiteral("<w:b/>")));
    QVERIFY(!bodyMatch.captured(1).contains(QStringLiteral("<w:w ")));
    static const QRegularExpression code(
        QStringLiteral("<w:r><w:rPr>((?:(?!</w:rPr>).)*)</w:rPr><w:t[^>]*>PDF_TARGET"));
    const QRegularExpressionMatch codeMatch = code.match(xml);
    QVERIFY2(codeMatch.hasMatch(), qPrintable(xml));
    QVERIFY2(codeMatch.captured(1).contains(QStringLiteral("<w:w w:val=\"87\"/>")), qPrintable(codeMatch.captured(1)));
    QVERIFY(codeMatch.captured(1).contains(QStringLiteral("<w:sz w:val=\"24\"/>")));
    // The body's lines are one paragraph, not six.
    QCOMPARE(paragraphs(xml).size(), 3);
}

void TestLayoutDocuments::bitmapFontTextKeepsItsSizes()
{
    LayoutPdf pdf;
    pdf.bitmapText(60, 80, QStringLiteral("An Example for the Orchard"), 14);
    pdf.bitmapText(60, 110, QStringLiteral("Consider the real matrix which depends on"), 10);
    // Punctuation in a span of its own has no letters to tell its size.
    pdf.bitmapText(60, 124, QStringLiteral("("), 10);
    pdf.bitmapText(66, 124, QStringLiteral("the parameter) of the quince harvest"), 10);
    // Text of half a point, however widely scaled, is still too small to see.
    pdf.text(60, 300, QStringLiteral("hidden"), 0.5, LayoutPdf::Font::Regular, 2);
    const Converted result = convert(pdf, QStringLiteral("bitmap"));
    const QString all = paragraphs(result.documentXml).join(QLatin1Char(' '));
    QVERIFY2(!all.contains(QStringLiteral("hidden")), qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("An Example for the Orchard")), qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("Consider the real matrix which depends on")), qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("(the parameter) of the quince harvest")), qPrintable(all));
    // Half-points of the title's runs and of the body's.
    static const QRegularExpression paragraph(QStringLiteral("<w:p>(.*?)</w:p>"));
    static const QRegularExpression sizeOf(QStringLiteral("<w:sz w:val=\"(\\d+)\"/>"));
    QSet<int> title, body;
    for (auto p = paragraph.globalMatch(result.documentXml); p.hasNext();) {
        const QString xml = p.next().captured(1);
        if (textOf(xml).isEmpty())
            continue;
        QSet<int> &sizes = textOf(xml).startsWith(QLatin1String("An Example")) ? title : body;
        for (auto s = sizeOf.globalMatch(xml); s.hasNext();)
            sizes.insert(s.next().captured(1).toInt());
    }
    QCOMPARE(title.size(), 1);
    QCOMPARE(body.size(), 1);
    const int bodySize = *body.cbegin();
    QVERIFY2(bodySize >= 17 && bodySize <= 23, qPrintable(QString::number(bodySize)));
    QVERIFY2(*title.cbegin() > bodySize * 1.2, qPrintable(QString::number(*title.cbegin())));
}

void TestLayoutDocuments::lineEndHyphenation()
{
    LayoutPdf pdf;
    pdf.text(60, 100, QStringLiteral("The gardener writes a long note on the hyphen-"));
    pdf.text(60, 112, QStringLiteral("ated words and a well-known tree, then a well-"));
    pdf.text(60, 124, QStringLiteral("known shed and the end."));
    const Converted result = convert(pdf, QStringLiteral("hyphens"));
    const QStringList texts = paragraphs(result.documentXml);
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().contains(QStringLiteral("the hyphenated words")), qPrintable(texts.first()));
    QVERIFY2(texts.first().contains(QStringLiteral("a well-known shed")), qPrintable(texts.first()));
    QVERIFY(!texts.first().contains(QStringLiteral("hyphen-")));
}

void TestLayoutDocuments::scannedPageBecomesItsImage()
{
    LayoutPdf pdf;
    pdf.image(0, 0, 595, 842);
    const Converted result = convert(pdf, QStringLiteral("scan"));
    QCOMPARE(result.pages.size(), 1);
    QCOMPARE(result.pages.first().pictures.size(), 1);
    QVERIFY(result.pages.first().pictures.first().behindText);
    QVERIFY(paragraphs(result.documentXml).isEmpty());
    QCOMPARE(result.documentXml.count(QStringLiteral("<wp:anchor ")), 1);
    QVERIFY(result.documentXml.contains(QStringLiteral("behindDoc=\"1\"")));

    // A scan whose words were recognised gives them as its text, over its
    // picture with the words whited out.
    LayoutPdf recognised;
    recognised.image(0, 0, 595, 842);
    recognised.invisibleText(60, 100, QStringLiteral("Minutes of the orchard committee"), 14);
    recognised.invisibleText(60, 130, QStringLiteral("The quince harvest was weighed and shared."));
    const Converted read = convert(recognised, QStringLiteral("recognised"));
    QCOMPARE(paragraphs(read.documentXml), (QStringList{QStringLiteral("Minutes of the orchard committee"),
                                                        QStringLiteral("The quince harvest was weighed and shared.")}));
    QCOMPARE(read.pages.first().pictures.size(), 1);
    QVERIFY(read.pages.first().pictures.first().behindText);
    QVERIFY(QFileInfo(read.pages.first().pictures.first().file).fileName().startsWith(QLatin1String("scan-")));
    // A scan cut into strips is one scan all the same.
    LayoutPdf strips;
    strips.image(0, 0, 595, 421).image(0, 421, 595, 421);
    strips.invisibleText(60, 100, QStringLiteral("Minutes of the orchard committee"), 14);
    strips.invisibleText(60, 600, QStringLiteral("Signed by the chair of the committee"));
    const Converted stripped = convert(strips, QStringLiteral("recognised-strips"));
    QCOMPARE(paragraphs(stripped.documentXml).size(), 2);
    QCOMPARE(stripped.pages.first().pictures.size(), 2);
    // Invisible text beside text of the page's own stays out of it.
    recognised.text(60, 200, QStringLiteral("Filed by the secretary"));
    const QStringList filed = paragraphs(convert(recognised, QStringLiteral("recognised-filed")).documentXml);
    QCOMPARE(filed, QStringList{QStringLiteral("Filed by the secretary")});
}

void TestLayoutDocuments::sidewaysPagesReadUpright()
{
    // Pages written upright and shown turned, each way, after an upright one.
    LayoutPdf pdf;
    const QList<int> turns{0, 90, 180, 270};
    for (const int degrees : turns) {
        pdf.newPage().turn(degrees);
        pdf.text(60, 80, QStringLiteral("Report page turned by %1 degrees").arg(degrees), 16, LayoutPdf::Font::Bold);
        for (int line = 0; line < 3; ++line)
            pdf.text(60, 120 + 14 * line, QStringLiteral("Line %1 of the body: ").arg(line + 1) + kLorem);
    }
    pdf.image(150, 200, 200, 120); // on the last page
    const Converted result = convert(pdf, QStringLiteral("sideways"));
    QCOMPARE(result.pages.size(), turns.size());
    for (qsizetype p = 0; p < turns.size(); ++p) {
        const StructuredPage &page = result.pages[p];
        QCOMPARE(page.size.toSize(), QSize(595, 842));
        QStringList texts;
        for (const Paragraph *paragraph : page.readingOrder())
            texts << paragraph->text();
        const QString joined = texts.join(QLatin1Char('|'));
        QVERIFY2(texts.value(0).contains(QStringLiteral("turned by %1 degrees").arg(turns[p])), qPrintable(joined));
        QVERIFY2(joined.contains(QStringLiteral("Line 1 of the body")) &&
                     joined.indexOf(QStringLiteral("Line 1")) < joined.indexOf(QStringLiteral("Line 3")),
                 qPrintable(joined));
    }
    // The picture turns with its page: it stands where it was drawn.
    QCOMPARE(result.pages.last().pictures.size(), 1);
    QCOMPARE(result.pages.last().pictures.first().box.toRect(), QRect(150, 200, 200, 120));
}

void TestLayoutDocuments::rightToLeftTextKeepsItsOrderAndSide()
{
    // A justified Hebrew paragraph of three lines with a number and Latin
    // words in it, set from the right, and a Latin line below.
    const QString hebrew = QStringLiteral("זהו משפט ארוך בעברית "
                                          "עם מספר 2024 ומילים "
                                          "Mirelune PDF באנגלית. ");
    const QString folder = mDir.filePath(QStringLiteral("hebrew"));
    const QString pdf = officePdf(
        folder,
        "<office:automatic-styles><style:style style:name=\"R\" style:family=\"paragraph\"><style:paragraph-properties "
        "style:writing-mode=\"rl-tb\" fo:text-align=\"justify\"/><style:text-properties "
        "style:font-name=\"DejaVu Sans\" fo:font-family=\"DejaVu Sans\" style:font-family-complex=\"DejaVu Sans\"/>"
        "</style:style></office:automatic-styles><office:body><office:text><text:p text:style-name=\"R\">" +
            hebrew.repeated(3).trimmed().toUtf8() +
            "</text:p><text:p>A Latin line below it.</text:p></office:text></office:body>");
    QVERIFY(!pdf.isEmpty());
    const Converted result = convertFile(pdf, folder);
    const QStringList texts = paragraphs(result.documentXml);
    QCOMPARE(texts, QStringList({hebrew.repeated(3).trimmed(), QStringLiteral("A Latin line below it.")}));
    // Set from the right: the paragraph says so, and its lines start on the right.
    QCOMPARE(result.documentXml.count(QStringLiteral("<w:bidi/>")), 1);
    QVERIFY(result.documentXml.contains(QStringLiteral("<w:bidi/><w:spacing")));
    // Reopened, it reads as its source does, and its lines end on the same side.
    const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("pdf"),
                                                   folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    static const QRegularExpression marks(QStringLiteral("[\\x{200e}\\x{200f}\\x{202a}-\\x{202e}]"));
    const auto words = [](const QString &path) {
        return TestDocuments::pdfText(path).remove(marks).split(QRegularExpression(QStringLiteral("\\s+")),
                                                                Qt::SkipEmptyParts);
    };
    QCOMPARE(words(reopened), words(pdf));
    const QString layout = TestDocuments::pdfText(reopened, true);
    const QString lastHebrewLine = layout.section(QLatin1Char('\n'), 2, 2);
    QVERIFY2(lastHebrewLine.startsWith(QStringLiteral("    ")), qPrintable(layout));
}

void TestLayoutDocuments::linksLeadWhereTheyDid()
{
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("Read the manual online before you start"));
    pdf.link(100, 70, 68, 14, QStringLiteral("https://example.org/manual?part=1&lang=en"));
    pdf.text(60, 100, QStringLiteral("Press here to run a script"));
    pdf.link(60, 90, 60, 14, QStringLiteral("javascript:alert(1)"));
    pdf.text(60, 120, QStringLiteral("The tables follow on the next page"));
    pdf.link(166, 110, 50, 14, {}, 1);
    // Short lines each a link of its own are items, not one paragraph.
    pdf.text(60, 140, QStringLiteral("Price list"));
    pdf.link(58, 130, 50, 14, QStringLiteral("https://example.org/prices"));
    pdf.text(60, 152, QStringLiteral("Orders"));
    pdf.link(58, 142, 40, 12, QStringLiteral("mailto:orders@example.org"));
    pdf.newPage().text(60, 80, QStringLiteral("Tables"), 16, LayoutPdf::Font::Bold);
    const Converted result = convert(pdf, QStringLiteral("links"));
    const QString &xml = result.documentXml;
    static const QRegularExpression hyperlink(QStringLiteral("<w:hyperlink ([^>]*)>(.*?)</w:hyperlink>"));
    QMap<QString, QString> linked; // attributes to text
    for (auto it = hyperlink.globalMatch(xml); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        linked.insert(match.captured(1), textOf(match.captured(2)).trimmed());
    }
    // The address's words and the page's lead on; the script's link is gone, its text stays.
    QCOMPARE(linked.size(), 4);
    QCOMPARE(linked.value(QStringLiteral("r:id=\"rIdLink1\" w:history=\"1\"")), QStringLiteral("manual online"));
    QCOMPARE(linked.value(QStringLiteral("w:anchor=\"_Page2\" w:history=\"1\"")), QStringLiteral("next page"));
    QVERIFY(paragraphs(xml).contains(QStringLiteral("Press here to run a script")));
    QCOMPARE(xml.count(QStringLiteral("<w:bookmarkStart ")), 1);
    QVERIFY(xml.contains(QStringLiteral("w:name=\"_Page2\"")));
    const QString relations = QString::fromUtf8(TestDocuments::zipEntry(
        mDir.filePath(QStringLiteral("links/out.docx")), QStringLiteral("word/_rels/document.xml.rels")));
    QVERIFY2(relations.contains(QStringLiteral("Id=\"rIdLink1\"")) &&
                 relations.contains(QStringLiteral("Target=\"https://example.org/manual?part=1&amp;lang=en\" "
                                                   "TargetMode=\"External\"")),
             qPrintable(relations));
    QVERIFY(!relations.contains(QStringLiteral("javascript")));
    QVERIFY(paragraphs(xml).contains(QStringLiteral("Price list")) &&
            paragraphs(xml).contains(QStringLiteral("Orders")));
    // In the workbook, a row that is a link all through leads on from its
    // cell; the workbook's reading, without pictures, reads the links too.
    const QString sheet = firstSheet(result.pages, mDir.filePath(QStringLiteral("links/out.xlsx")));
    QCOMPARE(sheet.count(QStringLiteral("<hyperlink ")), 2);
    const std::optional<SourceDocument> source =
        readForWorkbook(mDir.filePath(QStringLiteral("links/in.pdf")), mDir.filePath(QStringLiteral("links-skipped")));
    QVERIFY(source);
    QCOMPARE(source->pages.first().links.size(), 4);
}

void TestLayoutDocuments::underlinesStrikesAndHighlightsStayWithTheirWords()
{
    const QString folder = mDir.filePath(QStringLiteral("marks"));
    const QString pdf = officePdf(
        folder, "<office:automatic-styles>"
                "<style:style style:name=\"U\" style:family=\"text\"><style:text-properties "
                "style:text-underline-style=\"solid\" style:text-underline-width=\"auto\" "
                "style:text-underline-color=\"font-color\"/></style:style>"
                "<style:style style:name=\"S\" style:family=\"text\"><style:text-properties "
                "style:text-line-through-style=\"solid\"/></style:style>"
                "<style:style style:name=\"H\" style:family=\"text\"><style:text-properties "
                "fo:background-color=\"#ffff00\"/></style:style>"
                "</office:automatic-styles><office:body><office:text>"
                "<text:p>Sign <text:span text:style-name=\"U\">only here</text:span> and date it.</text:p>"
                "<text:p>It costs <text:span text:style-name=\"S\">twelve pounds</text:span> ten pounds.</text:p>"
                "<text:p>Read the <text:span text:style-name=\"H\">marked passage</text:span> first.</text:p>"
                "</office:text></office:body>");
    QVERIFY(!pdf.isEmpty());
    const Converted result = convertFile(pdf, folder);
    // Each mark is on its words' runs, and no line or box is left drawn beside them.
    static const QRegularExpression run(QStringLiteral("<w:r><w:rPr>(.*?)</w:rPr>(.*?)</w:r>"));
    QMap<QString, QString> marked; // text to its marks
    for (auto it = run.globalMatch(result.documentXml); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        static const QRegularExpression mark(QStringLiteral("<w:(u|strike|shd)[ /]"));
        QStringList marks;
        for (auto m = mark.globalMatch(match.captured(1)); m.hasNext();)
            marks << m.next().captured(1);
        if (!marks.isEmpty())
            marked.insert(textOf(match.captured(2)), marks.join(QLatin1Char(',')));
    }
    QCOMPARE(marked, (QMap<QString, QString>{{QStringLiteral("only here"), QStringLiteral("u")},
                                             {QStringLiteral("twelve pounds"), QStringLiteral("strike")},
                                             {QStringLiteral("marked passage"), QStringLiteral("shd")}}));
    QVERIFY(result.documentXml.contains(QStringLiteral("w:fill=\"FFFF00\"")));
    QVERIFY(!result.documentXml.contains(QStringLiteral("<wp:anchor")));
    // LibreOffice reads them back as marks of the text.
    const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("fodt"),
                                                   folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    const QByteArray fodt = TestDocuments::read(reopened);
    QVERIFY(fodt.contains("style:text-underline-style=\"solid\""));
    QVERIFY(fodt.contains("style:text-line-through-style=\"solid\""));
    QVERIFY(fodt.contains("fo:background-color=\"#ffff00\""));
}

void TestLayoutDocuments::documentInformationIsKept()
{
    const QString folder = mDir.filePath(QStringLiteral("information"));
    const QString pdf = officePdf(
        folder, "<office:meta><dc:title>Harvest &amp; Cellar Report</dc:title><dc:subject>Orchards</dc:subject>"
                "<meta:initial-creator>Ada Quince</meta:initial-creator><meta:keyword>apples, pears</meta:keyword>"
                "<meta:creation-date>2024-05-06T07:08:09</meta:creation-date></office:meta>"
                "<office:body><office:text><text:p>The harvest was good.</text:p></office:text></office:body>");
    QVERIFY(!pdf.isEmpty());
    const Converted result = convertFile(pdf, folder);
    QCOMPARE(result.info.title, QStringLiteral("Harvest & Cellar Report"));
    QCOMPARE(result.info.subject, QStringLiteral("Orchards"));
    QCOMPARE(result.info.keywords, QStringLiteral("apples, pears"));
    QVERIFY(result.info.created.isValid());
    // The Word document keeps them as its properties, and LibreOffice reads them back.
    const QString docx = folder + QStringLiteral("/out.docx");
    const QString core = QString::fromUtf8(TestDocuments::zipEntry(docx, QStringLiteral("docProps/core.xml")));
    QVERIFY2(core.contains(QStringLiteral("<dc:title>Harvest &amp; Cellar Report</dc:title>")), qPrintable(core));
    const QString reopened = TestDocuments::office(docx, QStringLiteral("fodt"), folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    const QString meta = QString::fromUtf8(TestDocuments::read(reopened));
    QVERIFY(meta.contains(QStringLiteral("<dc:title>Harvest &amp; Cellar Report</dc:title>")));
    QVERIFY(meta.contains(QStringLiteral("<dc:subject>Orchards</dc:subject>")));
    // So does the workbook.
    const QString workbook = folder + QStringLiteral("/out.xlsx");
    QString error;
    QVERIFY2(XlsxWriter::write(workbook, SheetBuilder::sheets(result.pages), &error, result.info), qPrintable(error));
    QVERIFY(QString::fromUtf8(TestDocuments::zipEntry(workbook, QStringLiteral("docProps/core.xml")))
                .contains(QStringLiteral("<dc:title>Harvest &amp; Cellar Report</dc:title>")));
}

void TestLayoutDocuments::everyPageStartsAPage()
{
    LayoutPdf pdf;
    for (int page = 1; page <= 3; ++page)
        pdf.newPage().text(60, 80, QStringLiteral("Page number %1 of the report").arg(page));
    const Converted result = convert(pdf, QStringLiteral("pages"));
    QCOMPARE(result.pages.size(), 3);
    QCOMPARE(result.documentXml.count(QStringLiteral("<w:pageBreakBefore/>")), 2);
    QCOMPARE(result.documentXml.count(QStringLiteral("<w:sectPr>")), 1);
    QVERIFY(result.documentXml.contains(QStringLiteral("<w:pgSz w:w=\"11900\" w:h=\"16840\"/>")));
    // LibreOffice opens it with one page per source page.
    const QString pdfOut = TestDocuments::office(mDir.filePath(QStringLiteral("pages/out.docx")), QStringLiteral("pdf"),
                                                 mDir.filePath(QStringLiteral("pages/check")));
    QVERIFY(!pdfOut.isEmpty());
    QCOMPARE(TestDocuments::pageCount(pdfOut), 3);
    const QStringList texts = TestDocuments::pdfText(pdfOut).split(QLatin1Char('\f'));
    for (int page = 1; page <= 3; ++page)
        QVERIFY2(texts.value(page - 1).contains(QStringLiteral("Page number %1").arg(page)),
                 qPrintable(texts.join(QLatin1Char('|'))));
}

void TestLayoutDocuments::textRunningPastThePageFootStaysOnItsPage()
{
    // A slide's numbers set closer than their height, the last running off
    // the page's foot: the flow needs more than the page has.
    LayoutPdf pdf(QSizeF(300, 200));
    pdf.newPage().text(40, 30, QStringLiteral("Steps of the plan"), 12);
    for (int step = 0; step < 5; ++step) {
        pdf.text(40, 62 + step * 34, QStringLiteral("0"), 22);
        pdf.text(40, 80 + step * 34, QString::number(step + 1), 22);
        pdf.text(80, 62 + step * 34, QStringLiteral("Step %1 of the plan").arg(step + 1), 10);
    }
    pdf.newPage().text(40, 60, QStringLiteral("Closing words"), 12);
    // Text wholly below the page (a cropped figure's page number) is not seen, and not kept.
    pdf.text(140, 230, QStringLiteral("Folio nine"));
    const Converted result = convert(pdf, QStringLiteral("foot"));
    QCOMPARE(result.pages.size(), 2);
    const QString reopened = TestDocuments::office(mDir.filePath(QStringLiteral("foot/out.docx")),
                                                   QStringLiteral("pdf"), mDir.filePath(QStringLiteral("foot/check")));
    QVERIFY(!reopened.isEmpty());
    const QStringList texts = TestDocuments::pdfText(reopened).split(QLatin1Char('\f'));
    QCOMPARE(TestDocuments::pageCount(reopened), 2);
    QVERIFY2(texts.value(0).contains(QStringLiteral("Step 5")) && texts.value(1).contains(QStringLiteral("Closing")),
             qPrintable(texts.join(QLatin1Char('|'))));
    QVERIFY2(!result.documentXml.contains(QStringLiteral("Folio")), qPrintable(texts.join(QLatin1Char('|'))));
}

void TestLayoutDocuments::libreOfficeOpensWhatComesOut()
{
    // Without the encoding named in its declaration, LibreOffice guessed the
    // document's from these words and would not open it.
    LayoutPdf pdf;
    pdf.text(60, 80, QStringLiteral("input encoding"));
    pdf.text(60, 120, QStringLiteral("'"));
    const Converted result = convert(pdf, QStringLiteral("encoding"));
    const QString folder = mDir.filePath(QStringLiteral("encoding"));
    const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("pdf"),
                                                   folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    QVERIFY(TestDocuments::pdfText(reopened).contains(QStringLiteral("input encoding")));
    QVERIFY(result.documentXml.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"")));
}

// Where each word of a PDF's first page stands: its text and the top of its box.
QList<std::pair<QString, double>> wordTops(const QString &pdf)
{
    const QString boxes = QString::fromUtf8(
        TestDocuments::run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-l"),
                                                         QStringLiteral("1"), pdf, QStringLiteral("-")})
            .value_or(QByteArray()));
    static const QRegularExpression word(QStringLiteral("<word [^>]*yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    QList<std::pair<QString, double>> tops;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        tops.append({match.captured(2), match.captured(1).toDouble()});
    }
    return tops;
}

void TestLayoutDocuments::pageNumberStandsWhereItStood()
{
    // A page number well below the text: a box at its place, which the
    // reopened page shows where the source had it.
    LayoutPdf pdf;
    for (int line = 0; line < 6; ++line)
        pdf.text(72, 100 + 14 * line, QStringLiteral("A line of the page's text, number %1.").arg(line + 1));
    pdf.text(290, 800, QStringLiteral("Page 7"));
    const Converted result = convert(pdf, QStringLiteral("folio"));
    const qsizetype number = result.documentXml.indexOf(QStringLiteral("Page 7"));
    QVERIFY(result.documentXml.lastIndexOf(QStringLiteral("<w:txbxContent>"), number) >
            result.documentXml.lastIndexOf(QStringLiteral("number 6."), number));
    const QString folder = mDir.filePath(QStringLiteral("folio"));
    const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("pdf"),
                                                   folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    QCOMPARE(TestDocuments::pageCount(reopened), 1);
    const auto topOf = [](const QList<std::pair<QString, double>> &tops, const QString &word) {
        for (const auto &[text, top] : tops) {
            if (text == word)
                return top;
        }
        return -1.0;
    };
    const double before = topOf(wordTops(folder + QStringLiteral("/in.pdf")), QStringLiteral("7"));
    const double after = topOf(wordTops(reopened), QStringLiteral("7"));
    QVERIFY2(before > 780 && std::abs(after - before) < 4,
             qPrintable(QStringLiteral("%1, was %2").arg(after).arg(before)));
}

void TestLayoutDocuments::alignedLinesAndColumnsAtThePageFootStay()
{
    // A paragraph set flush right, across the page or in its right half, and
    // at the foot of the page two centred notes side by side, each as wide as
    // its column: below a heading, or below nothing but space (LibreOffice
    // laid such a page out for ever when the space above the columns was
    // the section's own).
    const std::tuple<const char *, bool, const char *> cases[] = {
        {"0cm", true, "0cm"}, {"9cm", true, "9cm"}, {"0cm", false, "space"}};
    for (const auto &[indent, heading, name] : cases) {
        const QString folder = mDir.filePath(QStringLiteral("foot-") + QString::fromLatin1(name));
        const QByteArray firstNote =
            QByteArray(heading ? "<text:p text:style-name=\"Low\">Notes</text:p>" : "") +
            "<text:section text:style-name=\"Two\" text:name=\"Notes\"><text:p text:style-name=\"" +
            (heading ? "C" : "CLow") + "\">";
        const QString pdf = officePdf(
            folder, QByteArray("<office:automatic-styles>"
                               "<style:style style:name=\"C\" style:family=\"paragraph\"><style:paragraph-properties "
                               "fo:text-align=\"center\"/></style:style>"
                               "<style:style style:name=\"CLow\" style:family=\"paragraph\"><style:paragraph-"
                               "properties fo:text-align=\"center\" fo:margin-top=\"19cm\"/></style:style>"
                               "<style:style style:name=\"B\" style:family=\"paragraph\"><style:paragraph-properties "
                               "fo:text-align=\"center\" fo:break-before=\"column\"/></style:style>"
                               "<style:style style:name=\"R\" style:family=\"paragraph\"><style:paragraph-properties "
                               "fo:text-align=\"end\" fo:margin-left=\"") +
                        indent +
                        "\"/></style:style>"
                        "<style:style style:name=\"Low\" style:family=\"paragraph\"><style:paragraph-properties "
                        "fo:margin-top=\"19cm\"/></style:style>"
                        "<style:style style:name=\"Next\" style:family=\"paragraph\"><style:paragraph-properties "
                        "fo:break-before=\"page\"/></style:style>"
                        "<style:style style:name=\"Two\" style:family=\"section\"><style:section-properties>"
                        "<style:columns fo:column-count=\"2\" fo:column-gap=\"3cm\"/></style:section-properties>"
                        "</style:style></office:automatic-styles><office:body><office:text>"
                        "<text:p>A report whose notes stand at the foot of its page.</text:p>"
                        "<text:p text:style-name=\"R\">Set flush right, the lines of this paragraph end where "
                        "the column ends, and each starts where its words put it.</text:p>" +
                        firstNote +
                        "The first note is centred in its column and runs over "
                        "several lines of different lengths.</text:p>"
                        "<text:p text:style-name=\"B\">The second note is centred in the other column and runs "
                        "over several lines as well.</text:p>"
                        "</text:section><text:p text:style-name=\"Next\">An appendix follows the notes.</text:p>"
                        "</office:text></office:body>");
        QVERIFY(!pdf.isEmpty());
        const Converted result = convertFile(pdf, folder);
        QVERIFY(result.documentXml.contains(QStringLiteral("<w:jc w:val=\"right\"/>")));
        QVERIFY(result.documentXml.contains(QStringLiteral("<w:jc w:val=\"center\"/>")));
        // Reopened, every word stands on its line where it stood: no line
        // wraps anew, and the notes stay at the foot.
        const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("pdf"),
                                                       folder + QStringLiteral("/reopened"));
        QVERIFY(!reopened.isEmpty());
        QCOMPARE(TestDocuments::pageCount(reopened), 2);
        const QList<std::pair<QString, double>> before = wordTops(pdf);
        const QList<std::pair<QString, double>> after = wordTops(reopened);
        QCOMPARE(after.size(), before.size());
        for (qsizetype w = 0; w < before.size(); ++w) {
            QCOMPARE(after[w].first, before[w].first);
            QVERIFY2(std::abs(after[w].second - before[w].second) < 4,
                     qPrintable(QStringLiteral("%1 at %2, was %3 (%4)")
                                    .arg(after[w].first)
                                    .arg(after[w].second)
                                    .arg(before[w].second)
                                    .arg(QString::fromLatin1(name))));
        }
    }
}

// Helvetica's advances of the lower-case letters, in thousandths of an em.
double helveticaWidth(const QString &word, double size)
{
    static const int kAdvances[26] = {556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833,
                                      556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500};
    double width = 0;
    for (const QChar c : word)
        width += kAdvances[c.unicode() - 'a'];
    return width * size / 1000;
}

void TestLayoutDocuments::looseJustifiedLinesBreakWhereTheyDid()
{
    // A justified paragraph whose every line but the last ends a word early,
    // its spaces widened, as TeX sets a paragraph for its looks: each line
    // had room for the next line's first word at natural spacing, and an
    // office program filling lines first-fit took it up, and every line
    // after it wrapped anew.
    const QStringList words =
        QStringLiteral(
            "an old mill by the river kept its wheel and the pear tree near it bore fruit each year while the "
            "hazel hedge grew tall and thick so the path to the barn ran under a roof of green where the hens "
            "laid eggs in the straw and the dog slept by the door of the shed all day in the sun of late june "
            "and then the rain came down on the roof of the mill for a week and the river rose")
            .split(QLatin1Char(' '));
    constexpr double kLeft = 72;
    constexpr double kWidth = 300;
    constexpr double kSize = 10;
    const double space = 0.278 * kSize;
    LayoutPdf pdf;
    const auto widthOf = [&](qsizetype from, qsizetype to) {
        double letters = 0;
        for (qsizetype w = from; w < to; ++w)
            letters += helveticaWidth(words[w], kSize);
        return letters;
    };
    qsizetype next = 0;
    double baseline = 100;
    int loosened = 0;
    while (next < words.size()) {
        // First-fit, then a word back where the spaces stay under twice their width.
        qsizetype end = next + 1;
        while (end < words.size() && widthOf(next, end + 1) + double(end - next) * space <= kWidth)
            ++end;
        const bool last = end == words.size();
        if (!last && end - next > 2 && (kWidth - widthOf(next, end - 1)) / double(end - next - 2) < 2 * space) {
            --end;
            ++loosened;
        }
        const double gap = last ? space : (kWidth - widthOf(next, end)) / double(end - next - 1);
        double x = kLeft;
        for (qsizetype w = next; w < end; ++w) {
            pdf.text(x, baseline, words[w], kSize);
            x += helveticaWidth(words[w], kSize) + gap;
        }
        next = end;
        baseline += 12;
    }
    QVERIFY2(loosened >= 3, qPrintable(QString::number(loosened)));
    const QString folder = mDir.filePath(QStringLiteral("loose"));
    const Converted result = convert(pdf, QStringLiteral("loose"));
    QVERIFY(result.documentXml.contains(QStringLiteral("<w:jc w:val=\"both\"/>")));
    const QString reopened = TestDocuments::office(folder + QStringLiteral("/out.docx"), QStringLiteral("pdf"),
                                                   folder + QStringLiteral("/reopened"));
    QVERIFY(!reopened.isEmpty());
    const QList<std::pair<QString, double>> before = wordTops(folder + QStringLiteral("/in.pdf"));
    const QList<std::pair<QString, double>> after = wordTops(reopened);
    QCOMPARE(after.size(), before.size());
    // Every word stays on its line: the lines' distances from the first.
    for (qsizetype w = 0; w < before.size(); ++w) {
        QCOMPARE(after[w].first, before[w].first);
        QVERIFY2(
            std::abs((after[w].second - after[0].second) - (before[w].second - before[0].second)) < 4,
            qPrintable(
                QStringLiteral("%1 at %2, was %3").arg(after[w].first).arg(after[w].second).arg(before[w].second)));
    }
}

void TestLayoutDocuments::pageOfManySpotColoursIsRead()
{
    // Seventy bars each in an ink of its own (a printer's colour chart):
    // more inks than mutool simulates on one page, which stopped the trace.
    QByteArray spaces;
    QByteArray bars;
    for (int ink = 0; ink < 70; ++ink) {
        const QByteArray n = QByteArray::number(ink);
        spaces += "/CS" + n + " [/Separation /Ink" + n +
                  " /DeviceCMYK << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.5 1 0] /N 1 >>] ";
        bars += "/CS" + n + " cs 1 scn " + QByteArray::number(72 + ink * 6) + " 600 5 20 re f\n";
    }
    const QByteArray content = "BT /F1 12 Tf 72 720 Td (Spot colours of the chart) Tj ET\n" + bars;
    const QString folder = mDir.filePath(QStringLiteral("spots"));
    QDir().mkpath(folder);
    const QString pdf = folder + QStringLiteral("/in.pdf");
    QVERIFY(TestDocuments::write(
        pdf, TestDocuments::assemblePdf(
                 {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources << /Font << /F1 5 "
                  "0 R >> /ColorSpace << " +
                      spaces + ">> >> >>",
                  "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
                  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"})));
    const Converted result = convertFile(pdf, folder);
    QCOMPARE(result.pages.size(), 1);
    QVERIFY(indexContaining(paragraphs(result.documentXml), QStringLiteral("Spot colours of the chart")) >= 0);
}

void TestLayoutDocuments::brokenTraceFailsWithAText()
{
    const QString path = mDir.filePath(QStringLiteral("broken.pdf"));
    QVERIFY(TestDocuments::write(path, "%PDF-1.4\nthis is no PDF at all\n"));
    DirectTools tools;
    QString error;
    QVERIFY(!PdfReader::read(tools, path, mDir.path(), &error));
    QVERIFY(!error.isEmpty());
}

MIRELUNE_TEST_MAIN(TestLayoutDocuments)
#include "tst_layout_documents.moc"
