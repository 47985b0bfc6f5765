#include "support/TestMain.h"
#include "support/service/LayoutPdf.h"
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

// Conversions from PDF end to end, each result checked with a tool other than
// the one that made it.
class TestServiceFromPdf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void toOfficeDocument_data();
    void toOfficeDocument();
    void sidewaysPageKeepsTextAndLinks();
    void toWorkbook_data();
    void toWorkbook();
    void toText();
    void toHtml_data();
    void toHtml();
    void toImages_data();
    void toImages();
    void cleanupTestCase();

private:
    QString convert(const QString &type, const QString &fileId, const QJsonObject &args, QString *name);

    QTemporaryDir mDir;
    std::unique_ptr<ServiceProcess> mService;
    std::unique_ptr<ServiceClient> mClient;
    QString mToken;
    QString mReport;    // three portrait pages with a table
    QString mOnePage;   // one portrait page
    QString mLandscape; // one landscape page
};

namespace {

const QList<QStringList> kReport = {
    {QStringLiteral("Quarterly figures of the orchard"), QString(), QStringLiteral("Fruit\tCount\tPrice"),
     QStringLiteral("Quince\t3\t1.25"), QStringLiteral("Medlar\t5\t2.5")},
    {QStringLiteral("Second page about pruning")},
    {QStringLiteral("Third page about harvest")},
};

} // namespace

void TestServiceFromPdf::initTestCase()
{
    QVERIFY(mDir.isValid());
    mService = std::make_unique<ServiceProcess>(mDir.filePath(QStringLiteral("data")));
    QVERIFY(mService->start({QStringLiteral("--workers"), QStringLiteral("2")}));
    mClient = std::make_unique<ServiceClient>(*mService);
    mToken = mClient->apiToken();
    mReport = mClient->upload(mToken, QStringLiteral("report.pdf"), TestDocuments::pdf(kReport));
    mOnePage = mClient->upload(mToken, QStringLiteral("single.pdf"), TestDocuments::pdf({kReport.first()}));
    mLandscape = mClient->upload(mToken, QStringLiteral("wide.pdf"),
                                 TestDocuments::pdf({{QStringLiteral("Landscape page")}}, QSizeF(841.89, 595.28)));
    QVERIFY(!mReport.isEmpty() && !mOnePage.isEmpty() && !mLandscape.isEmpty());
}

void TestServiceFromPdf::cleanupTestCase()
{
    QVERIFY(mService->stop());
}

QString TestServiceFromPdf::convert(const QString &type, const QString &fileId, const QJsonObject &args, QString *name)
{
    const QString task = mClient->taskId(mClient->createTask(mToken, type, {fileId}, args));
    const QJsonObject data = mClient->waitForTask(mToken, task, 240000);
    const QJsonObject target = data.value(QStringLiteral("target_file")).toObject();
    if (data.value(QStringLiteral("progress")).toInt() != 100 || target.isEmpty()) {
        qWarning("task failed: %s", qPrintable(data.value(QStringLiteral("errors")).toString()));
        return {};
    }
    *name = target.value(QStringLiteral("filename")).toString();
    const ServiceClient::Reply download = mClient->get(QUrl(target.value(QStringLiteral("url")).toString()));
    QDir().mkpath(mDir.filePath(task));
    const QString path = mDir.filePath(task + QLatin1Char('/') + *name);
    return download.status == 200 && TestDocuments::write(path, download.body) ? path : QString();
}

void TestServiceFromPdf::toOfficeDocument_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("name");
    QTest::newRow("docx") << QStringLiteral("pdf-to-word") << QStringLiteral("docx") << QStringLiteral("report.docx");
    QTest::newRow("doc") << QStringLiteral("pdf-to-word") << QStringLiteral("doc") << QStringLiteral("report.doc");
    QTest::newRow("pptx") << QStringLiteral("pdf-to-ppt") << QString() << QStringLiteral("report.pptx");
}

void TestServiceFromPdf::toOfficeDocument()
{
    QFETCH(QString, type);
    QFETCH(QString, format);
    QJsonObject args;
    if (format.isEmpty()) {
        args = {{QStringLiteral("ransition_type"), QStringLiteral("random")},
                {QStringLiteral("transition_speed"), QStringLiteral("fast")}};
    } else {
        args = {{QStringLiteral("format"), format}};
    }
    QString name;
    const QString result = convert(type, mReport, args, &name);
    QVERIFY(!result.isEmpty());
    QTEST(name, "name");
    // LibreOffice opens it, and every page came along as a page of its own.
    const QString pdf =
        TestDocuments::office(result, QStringLiteral("pdf"), mDir.filePath(QStringLiteral("check-") + name));
    QVERIFY(!pdf.isEmpty());
    QCOMPARE(TestDocuments::pageCount(pdf), 3);
    const QStringList pages = TestDocuments::pdfText(pdf).split(QLatin1Char('\f'));
    QVERIFY2(pages.value(0).simplified().contains(QStringLiteral("Quarterly figures of the orchard")),
             qPrintable(pages.value(0)));
    QVERIFY2(pages.value(2).simplified().contains(QStringLiteral("Third page about harvest")),
             qPrintable(pages.value(2)));
}

void TestServiceFromPdf::sidewaysPageKeepsTextAndLinks()
{
    // A page shown turned, with a link: the tools the engine runs for them
    // (qpdf, a MuPDF script) work within a job as they do alone.
    LayoutPdf source;
    source.newPage().turn(90);
    source.text(60, 80, QStringLiteral("Read the manual online before you start"));
    source.link(100, 70, 68, 14, QStringLiteral("https://example.org/manual"));
    source.text(60, 100, QStringLiteral("Second line of the turned page"));
    const QString file = mClient->upload(mToken, QStringLiteral("turned.pdf"), source.bytes());
    QVERIFY(!file.isEmpty());
    QString name;
    const QString result =
        convert(QStringLiteral("pdf-to-word"), file, {{QStringLiteral("format"), QStringLiteral("docx")}}, &name);
    QVERIFY(!result.isEmpty());
    const QString xml = QString::fromUtf8(TestDocuments::zipEntry(result, QStringLiteral("word/document.xml")));
    QVERIFY2(xml.contains(QStringLiteral("Read the ")) &&
                 xml.contains(QStringLiteral("Second line of the turned page")),
             qPrintable(xml.left(2000)));
    QVERIFY(xml.contains(QStringLiteral("<w:pgSz w:w=\"11900\" w:h=\"16840\"/>"))); // upright again
    QVERIFY(xml.contains(QStringLiteral("<w:hyperlink r:id=\"rIdLink1\"")));
    const QString relations =
        QString::fromUtf8(TestDocuments::zipEntry(result, QStringLiteral("word/_rels/document.xml.rels")));
    QVERIFY(relations.contains(QStringLiteral("Target=\"https://example.org/manual\"")));
}

void TestServiceFromPdf::toWorkbook_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
    QTest::newRow("xls") << QStringLiteral("xls");
}

void TestServiceFromPdf::toWorkbook()
{
    QFETCH(QString, format);
    QString name;
    const QString result =
        convert(QStringLiteral("pdf-to-excel"), mReport, {{QStringLiteral("format"), format}}, &name);
    QVERIFY(!result.isEmpty());
    QCOMPARE(name, QStringLiteral("report.") + format);
    // The first sheet as LibreOffice reads it: one row per line, a cell per column.
    const QString csv =
        TestDocuments::office(result, QStringLiteral("csv"), mDir.filePath(QStringLiteral("csv-") + format));
    const QStringList rows = QString::fromUtf8(TestDocuments::read(csv)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(rows.contains(QStringLiteral("Fruit,Count,Price")), qPrintable(rows.join(QLatin1Char('|'))));
    QVERIFY2(rows.contains(QStringLiteral("Quince,3,1.25")), qPrintable(rows.join(QLatin1Char('|'))));
    QVERIFY2(rows.contains(QStringLiteral("Medlar,5,2.5")), qPrintable(rows.join(QLatin1Char('|'))));
}

void TestServiceFromPdf::toText()
{
    QString name;
    const QString layout = convert(QStringLiteral("pdf-to-text"), mReport, {{QStringLiteral("layout"), 1}}, &name);
    QCOMPARE(name, QStringLiteral("report.txt"));
    const QString text = QString::fromUtf8(TestDocuments::read(layout));
    QVERIFY(QRegularExpression(QStringLiteral("Quince {2,}3 {2,}1.25")).match(text).hasMatch());
    QCOMPARE(text.count(QLatin1Char('\f')), 3);
    const QString flowing = convert(QStringLiteral("pdf-to-text"), mReport, {}, &name);
    QVERIFY(!QRegularExpression(QStringLiteral("Quince {2,}3"))
                 .match(QString::fromUtf8(TestDocuments::read(flowing)))
                 .hasMatch());
}

void TestServiceFromPdf::toHtml_data()
{
    QTest::addColumn<bool>("withImage");
    QTest::newRow("text only: one html file") << false;
    QTest::newRow("with an image: a zip") << true;
}

void TestServiceFromPdf::toHtml()
{
    QFETCH(bool, withImage);
    QString file = mReport;
    if (withImage) {
        const QString image = mDir.filePath(QStringLiteral("picture.png"));
        const QString pdf = mDir.filePath(QStringLiteral("picture.pdf"));
        QVERIFY(TestDocuments::write(image, TestDocuments::image("PNG", QSize(200, 120))));
        QVERIFY(TestDocuments::run(QStringLiteral("img2pdf"), {QStringLiteral("-o"), pdf, image}));
        file = mClient->upload(mToken, QStringLiteral("report.pdf"), TestDocuments::read(pdf));
    }
    QString name;
    const QString result = convert(QStringLiteral("pdf-to-html"), file, {}, &name);
    QVERIFY(!result.isEmpty());
    if (!withImage) {
        QCOMPARE(name, QStringLiteral("report.html"));
        const QString html = QString::fromUtf8(TestDocuments::read(result));
        QVERIFY(html.contains(QStringLiteral("<html"), Qt::CaseInsensitive));
        QVERIFY(html.contains(QStringLiteral("Second page about pruning")));
        return;
    }
    QCOMPARE(name, QStringLiteral("report.zip"));
    const std::optional<QStringList> entries = TestDocuments::zipEntries(result);
    QVERIFY(entries);
    const QStringList pages = entries->filter(QRegularExpression(QStringLiteral("\\.html$")));
    QCOMPARE(pages.size(), 1);
    const QStringList images = entries->filter(QRegularExpression(QStringLiteral("\\.(png|jpg)$")));
    QVERIFY(!images.isEmpty());
    const QByteArray html = TestDocuments::zipEntry(result, pages.first());
    for (const QString &image : images)
        QVERIFY2(html.contains(QByteArray('"' + image.toUtf8() + '"')), qPrintable(image));
}

void TestServiceFromPdf::toImages_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("entries"); // empty: a single image
    QTest::addColumn<QSize>("size");
    QTest::newRow("three pages, jpg") << QStringLiteral("report") << QStringLiteral("jpg")
                                      << QStringLiteral("report.zip")
                                      << QStringList{QStringLiteral("page-1.jpg"), QStringLiteral("page-2.jpg"),
                                                     QStringLiteral("page-3.jpg")}
                                      << QSize(1240, 1754);
    QTest::newRow("one page, png") << QStringLiteral("single") << QStringLiteral("png") << QStringLiteral("single.png")
                                   << QStringList{} << QSize(1240, 1754);
    QTest::newRow("landscape page") << QStringLiteral("wide") << QStringLiteral("jpg") << QStringLiteral("wide.jpg")
                                    << QStringList{} << QSize(1754, 1240);
}

void TestServiceFromPdf::toImages()
{
    QFETCH(QString, which);
    QFETCH(QString, format);
    QFETCH(QStringList, entries);
    QFETCH(QSize, size);
    const QString file = which == QLatin1String("report")   ? mReport
                         : which == QLatin1String("single") ? mOnePage
                                                            : mLandscape;
    QString name;
    const QString result = convert(QStringLiteral("pdf-to-image"), file,
                                   {{QStringLiteral("format"), format},
                                    {QStringLiteral("quality"), 100},
                                    {QStringLiteral("resize"), QStringLiteral("A4")}},
                                   &name);
    QVERIFY(!result.isEmpty());
    QTEST(name, "name");
    QList<QByteArray> images;
    if (entries.isEmpty()) {
        images << TestDocuments::read(result);
    } else {
        QCOMPARE(TestDocuments::zipEntries(result).value_or(QStringList()), entries);
        for (const QString &entry : entries)
            images << TestDocuments::zipEntry(result, entry);
    }
    for (const QByteArray &data : images) {
        const QImage image = QImage::fromData(data, format.toUpper().toLatin1().constData());
        QCOMPARE(image.size(), size);
    }
}

MIRELUNE_TEST_MAIN(TestServiceFromPdf)
#include "tst_service_frompdf.moc"
