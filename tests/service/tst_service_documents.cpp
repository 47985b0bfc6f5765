#include "converters/ImagePdfConverter.h"
#include "converters/PageRenderer.h"
#include "converters/WordConverter.h"
#include "formats/XlsxWriter.h"
#include "jobs/ConversionJob.h"
#include "jobs/TaskQueue.h"
#include "support/TestMain.h"
#include "support/service/TestDocuments.h"

#include <QTemporaryDir>

// The pieces of the conversions that need no converter: workbooks, table
// cells, page sizes and result names. The archive and workbook writers
// themselves are checked in tst_formats.
class TestServiceDocuments : public QObject {
    Q_OBJECT

private slots:
    void workbookOpensInLibreOffice();
    void pageSizes();
    void fitA4_data();
    void fitA4();
    void resultFileName_data();
    void resultFileName();
    void safeExtension_data();
    void safeExtension();
    void border_data();
    void border();
    void wordFlowHtml_data();
    void wordFlowHtml();

private:
    QTemporaryDir mDir;
};

void TestServiceDocuments::workbookOpensInLibreOffice()
{
    const QString path = mDir.filePath(QStringLiteral("book.xlsx"));
    QString error;
    XlsxWriter::Sheet first{
        QStringLiteral("Page 1"),
        {{QStringLiteral("Name"), QStringLiteral("Qty"), QStringLiteral("Price"), QStringLiteral("Off"),
          QStringLiteral("Sold")},
         {QStringLiteral("Apple & <Pear>"), QStringLiteral("3"), QStringLiteral("£1,238.50"), QStringLiteral("7.5%"),
          QStringLiteral("06/01/2026")},
         {QStringLiteral("Refund"), QString(), QStringLiteral("(12.00)"), QString(), QStringLiteral("15/01/2026")},
         {QStringLiteral("Spread over two"), QString(), QString(), QString(), QStringLiteral("Jan 6, 2026")}}};
    first.merged = {{3, 0, 1, 2}};
    QVERIFY2(
        XlsxWriter::write(
            path, {first, {QStringLiteral("Page 2"), {{QStringLiteral("Total"), QStringLiteral("12.50")}}}}, &error),
        qPrintable(error));
    const std::optional<QStringList> entries = TestDocuments::zipEntries(path);
    QVERIFY(entries && entries->contains(QStringLiteral("xl/worksheets/sheet2.xml")));
    // Cells as shown: numbers keep the look their text had.
    const QString csv =
        TestDocuments::office(path, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true"),
                              mDir.filePath(QStringLiteral("csv")));
    QVERIFY(!csv.isEmpty());
    const QString text = QString::fromUtf8(TestDocuments::read(csv));
    QVERIFY2(text.contains(QStringLiteral("Apple & <Pear>,3,\"£1,238.50\",7.5%,06/01/2026")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Refund,,(12.00),,15/01/2026")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\"Jan 6, 2026\"")), qPrintable(text));
    // And they are numbers: LibreOffice adds them up.
    const QString fods = TestDocuments::office(path, QStringLiteral("fods"), mDir.filePath(QStringLiteral("fods")));
    const QString sheets = QString::fromUtf8(TestDocuments::read(fods));
    QVERIFY2(sheets.contains(QStringLiteral("office:value-type=\"currency\"")) ||
                 sheets.contains(QStringLiteral("office:value=\"1238.5\"")),
             qPrintable(sheets.left(4000)));
    QVERIFY(sheets.contains(QStringLiteral("office:value=\"-12\"")));
    // Dates are dates: the column's 15th tells that its 06/01 is the sixth of January.
    QVERIFY2(sheets.contains(QStringLiteral("office:date-value=\"2026-01-06")), qPrintable(sheets.left(4000)));
    QVERIFY(sheets.contains(QStringLiteral("office:date-value=\"2026-01-15")));
    QVERIFY(sheets.contains(QStringLiteral("table:number-columns-spanned=\"2\"")));
}

void TestServiceDocuments::pageSizes()
{
    const QString output = QStringLiteral("Pages:           3\n"
                                          "Page    1 size:  595.28 x 841.89 pts (A4)\nPage    1 rot:   0\n"
                                          "Page    2 size:  612 x 792 pts (letter)\nPage    2 rot:   90\n"
                                          "Page    3 size:  100 x 50 pts\nPage    3 rot:   270\n");
    QCOMPARE(PageRenderer::parsePageSizes(output),
             (QList<QSizeF>{QSizeF(595.28, 841.89), QSizeF(792, 612), QSizeF(50, 100)}));
}

void TestServiceDocuments::fitA4_data()
{
    QTest::addColumn<QSizeF>("page");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("A4 portrait") << QSizeF(595.28, 841.89) << QSize(1240, 1754);
    QTest::newRow("A4 landscape") << QSizeF(841.89, 595.28) << QSize(1754, 1240);
    QTest::newRow("letter: width limits") << QSizeF(612, 792) << QSize(1240, 1605);
    QTest::newRow("tall strip: height limits") << QSizeF(100, 1000) << QSize(175, 1754);
    QTest::newRow("square") << QSizeF(500, 500) << QSize(1240, 1240);
    QTest::newRow("no size") << QSizeF(0, 0) << QSize(1240, 1754);
}

void TestServiceDocuments::fitA4()
{
    QFETCH(QSizeF, page);
    QTEST(PageRenderer::fitA4(page), "pixels");
}

void TestServiceDocuments::resultFileName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("report.pdf") << QStringLiteral("/r/result.docx")
                           << QStringLiteral("report.docx");
    QTest::newRow("several dots") << QStringLiteral("a.b.pdf") << QStringLiteral("x.zip") << QStringLiteral("a.b.zip");
    QTest::newRow("path parts dropped") << QStringLiteral("../../etc/passwd.pdf") << QStringLiteral("x.txt")
                                        << QStringLiteral("passwd.txt");
    QTest::newRow("backslashes") << QStringLiteral("..\\..\\x.pdf") << QStringLiteral("x.txt")
                                 << QStringLiteral("x.txt");
    QTest::newRow("hidden") << QStringLiteral("..pdf") << QStringLiteral("x.txt") << QStringLiteral("result.txt");
    QTest::newRow("control characters") << QStringLiteral("a\nb\x01.pdf") << QStringLiteral("x.pdf")
                                        << QStringLiteral("ab.pdf");
    QTest::newRow("empty") << QString() << QStringLiteral("x.pdf") << QStringLiteral("result.pdf");
    QTest::newRow("unicode kept") << QStringLiteral("résumé.docx") << QStringLiteral("x.pdf")
                                  << QStringLiteral("résumé.pdf");
}

void TestServiceDocuments::resultFileName()
{
    QFETCH(QString, input);
    QFETCH(QString, result);
    QTEST(TaskQueue::resultFileName(input, result), "name");
}

void TestServiceDocuments::safeExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::newRow("upper case") << QStringLiteral("Report.PDF") << QStringLiteral("pdf");
    QTest::newRow("none") << QStringLiteral("README") << QStringLiteral("bin");
    QTest::newRow("path in extension") << QStringLiteral("a.p/../x") << QStringLiteral("bin");
    QTest::newRow("odd characters") << QStringLiteral("a.d$c") << QStringLiteral("bin");
    QTest::newRow("too long") << QStringLiteral("a.abcdefghijk") << QStringLiteral("bin");
}

void TestServiceDocuments::safeExtension()
{
    QFETCH(QString, name);
    QTEST(ConversionJob::safeExtension(name), "extension");
}

void TestServiceDocuments::border_data()
{
    QTest::addColumn<QString>("border");
    QTest::addColumn<QString>("argument");
    QTest::newRow("zero") << QStringLiteral("0") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("points") << QStringLiteral("12") << QStringLiteral("12pt");
    QTest::newRow("negative") << QStringLiteral("-3") << QString();
    QTest::newRow("not a number") << QStringLiteral("1cm; rm") << QString();
}

void TestServiceDocuments::border()
{
    QFETCH(QString, border);
    QTEST(ImagePdfConverter::borderArgument(border), "argument");
}

void TestServiceDocuments::wordFlowHtml_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("pages")
        << QByteArray("<body bgcolor=\"#A0A0A0\" vlink=\"blue\">one<br/>\n<hr/>\ntwo<br/>\n<hr/>\n</body>")
        << QByteArray("<body>one<br/>\n<p style=\"page-break-before: always\"></p>\ntwo<br/>\n</body>");
    QTest::newRow("single page") << QByteArray("<body>one<br/>\n<hr/>\n</body>")
                                 << QByteArray("<body>one<br/>\n</body>");
}

void TestServiceDocuments::wordFlowHtml()
{
    QFETCH(QByteArray, html);
    QTEST(WordConverter::flowHtml(html), "expected");
}

MIRELUNE_TEST_MAIN(TestServiceDocuments)
#include "tst_service_documents.moc"
