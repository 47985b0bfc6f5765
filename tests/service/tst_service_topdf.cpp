#include "support/TestMain.h"
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>

#include <csignal>

// Conversions to PDF end to end: office documents made with LibreOffice at
// test time, images, and merges, each result checked with poppler-utils.
class TestServiceToPdf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void officeToPdf_data();
    void officeToPdf();
    void protectedOrDamagedOfficeFile_data();
    void protectedOrDamagedOfficeFile();
    void rtfSavedAsDocConverts();
    void imageToPdf_data();
    void imageToPdf();
    void mislabelledImageFails();
    void mergeKeepsOrder();
    void warmOfficeSurvivesItsCrash();
    void coldOfficeConverts();
    void cleanupTestCase();

private:
    // Runs one task to its end; the downloaded result's path and its offered name.
    QString convert(const QString &type, const QStringList &fileIds, const QJsonObject &args, QString *name,
                    QString *errors = nullptr);
    QString sourceDocument(const QString &kind);

    QTemporaryDir mDir;
    std::unique_ptr<ServiceProcess> mService;
    std::unique_ptr<ServiceClient> mClient;
    QString mToken;
};

namespace {

// The concatenated IDAT chunks of a PNG: its compressed pixels.
QByteArray pngPixelData(const QByteArray &png)
{
    QByteArray pixels;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        if (png.mid(at + 4, 4) == "IDAT")
            pixels += png.mid(at + 8, length);
        at += 12 + length;
    }
    return pixels;
}

} // namespace

void TestServiceToPdf::initTestCase()
{
    QVERIFY(mDir.isValid());
    mService = std::make_unique<ServiceProcess>(mDir.filePath(QStringLiteral("data")));
    QVERIFY(mService->start({QStringLiteral("--workers"), QStringLiteral("2")}));
    mClient = std::make_unique<ServiceClient>(*mService);
    mToken = mClient->apiToken();
    QVERIFY(!mToken.isEmpty());
}

void TestServiceToPdf::cleanupTestCase()
{
    QVERIFY(mService->stop());
}

QString TestServiceToPdf::convert(const QString &type, const QStringList &fileIds, const QJsonObject &args,
                                  QString *name, QString *errors)
{
    const QString task = mClient->taskId(mClient->createTask(mToken, type, fileIds, args));
    const QJsonObject data = mClient->waitForTask(mToken, task, 240000);
    if (errors)
        *errors = data.value(QStringLiteral("errors")).toString();
    const QJsonObject target = data.value(QStringLiteral("target_file")).toObject();
    if (data.value(QStringLiteral("progress")).toInt() != 100 || target.isEmpty())
        return {};
    *name = target.value(QStringLiteral("filename")).toString();
    const ServiceClient::Reply download = mClient->get(QUrl(target.value(QStringLiteral("url")).toString()));
    const QString path = mDir.filePath(QStringLiteral("results/") + task + QLatin1Char('-') + *name);
    QDir().mkpath(mDir.filePath(QStringLiteral("results")));
    return download.status == 200 && TestDocuments::write(path, download.body) ? path : QString();
}

QString TestServiceToPdf::sourceDocument(const QString &kind)
{
    const QString folder = mDir.filePath(QStringLiteral("sources"));
    QDir().mkpath(folder);
    const QString text = folder + QStringLiteral("/memo.txt");
    const QString csv = folder + QStringLiteral("/sheet.csv");
    const QString pdf = folder + QStringLiteral("/slides.pdf");
    TestDocuments::write(text, "Mirelune memo about the harbour\nSecond paragraph of the memo\n");
    TestDocuments::write(csv, "Fruit,Count\nQuince,3\nMedlar,5\n");
    TestDocuments::write(pdf, TestDocuments::pdf({{QStringLiteral("Slide about lighthouses")}}, QSizeF(720, 540)));
    if (kind == QLatin1String("docx"))
        return TestDocuments::office(text, QStringLiteral("docx:MS Word 2007 XML"), folder);
    if (kind == QLatin1String("doc"))
        return TestDocuments::office(text, QStringLiteral("doc:MS Word 97"), folder);
    if (kind == QLatin1String("xlsx"))
        return TestDocuments::office(csv, QStringLiteral("xlsx:Calc MS Excel 2007 XML"), folder);
    if (kind == QLatin1String("xls"))
        return TestDocuments::office(csv, QStringLiteral("xls:MS Excel 97"), folder);
    return TestDocuments::office(pdf, QStringLiteral("pptx:Impress MS PowerPoint 2007 XML"), folder,
                                 QStringLiteral("impress_pdf_import"));
}

void TestServiceToPdf::officeToPdf_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("docx") << QStringLiteral("docx") << QStringLiteral("word-to-pdf")
                          << QStringLiteral("Mirelune memo about the harbour");
    QTest::newRow("doc") << QStringLiteral("doc") << QStringLiteral("word-to-pdf")
                         << QStringLiteral("Second paragraph of the memo");
    QTest::newRow("xlsx") << QStringLiteral("xlsx") << QStringLiteral("excel-to-pdf") << QStringLiteral("Quince");
    QTest::newRow("xls") << QStringLiteral("xls") << QStringLiteral("excel-to-pdf") << QStringLiteral("Medlar");
    QTest::newRow("pptx") << QStringLiteral("pptx") << QStringLiteral("ppt-to-pdf")
                          << QStringLiteral("Slide about lighthouses");
}

void TestServiceToPdf::officeToPdf()
{
    QFETCH(QString, kind);
    QFETCH(QString, type);
    QFETCH(QString, text);
    const QString source = sourceDocument(kind);
    QVERIFY2(!source.isEmpty(), "LibreOffice could not make the source document");
    const QString name = QStringLiteral("Annual ") + kind + QLatin1Char('.') + kind;
    const QString file = mClient->upload(mToken, name, TestDocuments::read(source));
    QVERIFY(!file.isEmpty());
    QString resultName;
    QString errors;
    const QString result = convert(type, {file}, {}, &resultName, &errors);
    QVERIFY2(!result.isEmpty(), qPrintable(errors));
    QCOMPARE(resultName, QStringLiteral("Annual ") + kind + QStringLiteral(".pdf"));
    QCOMPARE(TestDocuments::pageCount(result), 1);
    const QString extracted = TestDocuments::pdfText(result).simplified();
    QVERIFY2(extracted.contains(text), qPrintable(extracted));
}

void TestServiceToPdf::protectedOrDamagedOfficeFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QByteArray ole = QByteArray::fromHex("d0cf11e0a1b11ae1");
    ole.append(4096, '\0');
    QTest::newRow("encrypted OOXML") << ole << QStringLiteral("protected by a password");
    // Neither is a Word document; LibreOffice would have read them as text.
    QTest::newRow("broken zip") << QByteArray("PK\x03\x04 this is no document at all")
                                << QStringLiteral("secret.docx is not a Word document");
    QByteArray random(8192, Qt::Uninitialized);
    for (qsizetype i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    QTest::newRow("random bytes") << random << QStringLiteral("secret.docx is not a Word document");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("The file is empty");
}

void TestServiceToPdf::protectedOrDamagedOfficeFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString file = mClient->upload(mToken, QStringLiteral("secret.docx"), content);
    QVERIFY(!file.isEmpty());
    QString name;
    QString errors;
    QVERIFY(convert(QStringLiteral("word-to-pdf"), {file}, {}, &name, &errors).isEmpty());
    QVERIFY2(errors.contains(expected), qPrintable(errors));
}

void TestServiceToPdf::rtfSavedAsDocConverts()
{
    const QString file =
        mClient->upload(mToken, QStringLiteral("letter.doc"),
                        "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard A letter about the harbour\\par}");
    QString name;
    QString errors;
    const QString result = convert(QStringLiteral("word-to-pdf"), {file}, {}, &name, &errors);
    QVERIFY2(!result.isEmpty(), qPrintable(errors));
    QVERIFY(TestDocuments::pdfText(result).contains(QStringLiteral("A letter about the harbour")));
}

void TestServiceToPdf::imageToPdf_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("jpg landscape") << QByteArray("JPG") << QSize(640, 480);
    QTest::newRow("png portrait") << QByteArray("PNG") << QSize(300, 500);
    QTest::newRow("bmp") << QByteArray("BMP") << QSize(120, 80);
}

void TestServiceToPdf::imageToPdf()
{
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    const QByteArray image = TestDocuments::image(format.constData(), size);
    const QString file =
        mClient->upload(mToken, QStringLiteral("photo.") + QString::fromLatin1(format.toLower()), image);
    QString name;
    QString errors;
    const QString result = convert(QStringLiteral("image-to-pdf"), {file},
                                   {{QStringLiteral("position"), QStringLiteral("center")},
                                    {QStringLiteral("background-color"), QStringLiteral("white")},
                                    {QStringLiteral("border-color"), QString()},
                                    {QStringLiteral("border"), QStringLiteral("0")}},
                                   &name, &errors);
    QVERIFY2(!result.isEmpty(), qPrintable(errors));
    QCOMPARE(name, QStringLiteral("photo.pdf"));
    const QList<QSizeF> pages = TestDocuments::pageSizes(result);
    QCOMPARE(pages.size(), 1);
    QVERIFY(qAbs(pages.first().width() - 595.28) < 1 && qAbs(pages.first().height() - 841.89) < 1);
    const QByteArray pdf = TestDocuments::read(result);
    // JPEG and PNG go in untouched: the JPEG file, or the PNG's compressed pixel data, sits in the PDF as it is.
    if (format == "JPG")
        QVERIFY(pdf.contains(image));
    if (format == "PNG")
        QVERIFY(pdf.contains(pngPixelData(image)));
    const QString listing = QString::fromUtf8(
        TestDocuments::run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), result}).value_or(QByteArray()));
    const QRegularExpression dimensions(QStringLiteral("\\s%1\\s+%2\\s").arg(size.width()).arg(size.height()));
    QVERIFY2(dimensions.match(listing).hasMatch(), qPrintable(listing));
}

void TestServiceToPdf::mislabelledImageFails()
{
    const QString png = mClient->upload(mToken, QStringLiteral("photo.png"), TestDocuments::image("PNG", QSize(9, 9)));
    const QString jpeg = mClient->upload(mToken, QStringLiteral("scan.jpg"), TestDocuments::image("PNG", QSize(9, 9)));
    QString name;
    QString errors;
    QVERIFY(convert(QStringLiteral("image-to-pdf"), {png, jpeg}, {}, &name, &errors).isEmpty());
    QCOMPARE(errors, QStringLiteral("File 2: scan.jpg is not a JPEG image"));
}

void TestServiceToPdf::mergeKeepsOrder()
{
    const QString a =
        mClient->upload(mToken, QStringLiteral("a.pdf"),
                        TestDocuments::pdf({{QStringLiteral("Alpha one")}, {QStringLiteral("Alpha two")}}));
    const QString b = mClient->upload(
        mToken, QStringLiteral("b.pdf"),
        TestDocuments::pdf(
            {{QStringLiteral("Beta one")}, {QStringLiteral("Beta two")}, {QStringLiteral("Beta three")}}));
    QString name;
    const QString result = convert(QStringLiteral("merge-pdf"), {b, a}, {}, &name);
    QVERIFY(!result.isEmpty());
    QCOMPARE(name, QStringLiteral("b.pdf"));
    QCOMPARE(TestDocuments::pageCount(result), 5);
    const QStringList pages = TestDocuments::pdfText(result).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QStringList texts;
    for (const QString &page : pages) {
        if (!page.trimmed().isEmpty())
            texts << page.trimmed();
    }
    QCOMPARE(texts, (QStringList{QStringLiteral("Beta one"), QStringLiteral("Beta two"), QStringLiteral("Beta three"),
                                 QStringLiteral("Alpha one"), QStringLiteral("Alpha two")}));
}

void TestServiceToPdf::warmOfficeSurvivesItsCrash()
{
    const QString source = sourceDocument(QStringLiteral("docx"));
    const QString first = mClient->upload(mToken, QStringLiteral("crash.docx"), TestDocuments::read(source));
    QString name;
    QVERIFY(!convert(QStringLiteral("word-to-pdf"), {first}, {}, &name).isEmpty());
    const QList<qint64> offices = TestDocuments::processes({"soffice.bin", mService->dataFolder().toUtf8()});
    QVERIFY(!offices.isEmpty());
    for (const qint64 pid : offices)
        ::kill(pid_t(pid), SIGKILL);
    const QString second = mClient->upload(mToken, QStringLiteral("after.docx"), TestDocuments::read(source));
    const QString result = convert(QStringLiteral("word-to-pdf"), {second}, {}, &name);
    QVERIFY(!result.isEmpty());
    QVERIFY(TestDocuments::pdfText(result).contains(QStringLiteral("harbour")));
}

void TestServiceToPdf::coldOfficeConverts()
{
    ServiceProcess cold(mDir.filePath(QStringLiteral("cold")));
    QVERIFY(cold.start({QStringLiteral("--cold-office"), QStringLiteral("--workers"), QStringLiteral("1")}));
    ServiceClient client(cold);
    const QString token = client.apiToken();
    const QString file =
        client.upload(token, QStringLiteral("memo.docx"), TestDocuments::read(sourceDocument(QStringLiteral("docx"))));
    const QString task = client.taskId(client.createTask(token, QStringLiteral("word-to-pdf"), {file}));
    const QJsonObject data = client.waitForTask(token, task, 240000);
    QCOMPARE(data.value(QStringLiteral("progress")).toInt(), 100);
    const ServiceClient::Reply pdf =
        client.get(QUrl(data.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString()));
    QVERIFY(pdf.body.startsWith("%PDF-"));
    // Cold runs leave no office behind.
    QVERIFY(TestDocuments::processes({"soffice.bin", cold.dataFolder().toUtf8()}).isEmpty());
    QVERIFY(cold.stop());
}

MIRELUNE_TEST_MAIN(TestServiceToPdf)
#include "tst_service_topdf.moc"
