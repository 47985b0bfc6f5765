#include "convert/ResultNames.h"
#include "convert/RunProgress.h"
#include "convert/oss/OssClient.h"
#include "protocol/OssSignature.h"

#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The object-store signing, addressing and reply reading, and the pure parts
// of a run: its progress arithmetic and the naming of results.
class TestOssClient : public QObject {
    Q_OBJECT

private slots:
    void objectUrl_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("host name") << "oss.example.com"
                                   << "a/b c.pdf" << QByteArray("https://bkt.oss.example.com/a/b%20c.pdf");
        QTest::newRow("ip with port") << "127.0.0.1:8443"
                                      << "k/1" << QByteArray("https://127.0.0.1:8443/bkt/k/1");
        QTest::newRow("ip") << "10.0.0.1"
                            << "k" << QByteArray("https://10.0.0.1/bkt/k");
        QTest::newRow("localhost") << "localhost:9000"
                                   << "k" << QByteArray("https://localhost:9000/bkt/k");
        QTest::newRow("ipv6") << "[::1]:9000"
                              << "k" << QByteArray("https://[::1]:9000/bkt/k");
        QTest::newRow("scheme tolerated") << "https://127.0.0.1:1/"
                                          << "k" << QByteArray("https://127.0.0.1:1/bkt/k");
        QTest::newRow("kept characters") << "h.example"
                                         << "A-z_0.9~/x" << QByteArray("https://bkt.h.example/A-z_0.9~/x");
        QTest::newRow("utf-8 key") << "h.example"
                                   << "报告 ü+&?.pdf"
                                   << QByteArray("https://bkt.h.example/%E6%8A%A5%E5%91%8A%20%C3%BC%2B%26%3F.pdf");
    }

    void objectUrl()
    {
        QFETCH(QString, endpoint);
        QFETCH(QString, key);
        QFETCH(QByteArray, expected);
        QCOMPARE(OssClient::objectUrl(endpoint, QStringLiteral("bkt"), key).toEncoded(), expected);
    }

    void signedHeaders()
    {
        const OssStsTokenCredentialProvider credentials{QStringLiteral("AKID"), QStringLiteral("SECRET"),
                                                        QStringLiteral("STS")};
        OssPutObjectRequest request;
        request.bucketName = QStringLiteral("b");
        request.objectKey = QStringLiteral("k/报告.pdf");
        request.callbackParam = QVariantMap{{QStringLiteral("callbackUrl"), QStringLiteral("https://x/cb")},
                                            {QStringLiteral("callbackBody"), QStringLiteral("{\"o\":${object}}")}};
        const QString date = QStringLiteral("Thu, 17 Nov 2005 18:49:58 GMT");
        const QVariantMap headers =
            OssClient::signedHeaders(credentials, request, QStringLiteral("application/pdf"), date);
        const QString callback = headers.value(QStringLiteral("x-oss-callback")).toString();
        QCOMPARE(QByteArray::fromBase64(callback.toLatin1()),
                 QByteArray("{\"callbackBody\":\"{\\\"o\\\":${object}}\",\"callbackUrl\":\"https://x/cb\"}"));
        QCOMPARE(headers.value(QStringLiteral("x-oss-security-token")).toString(), QStringLiteral("STS"));
        const QString expectedToSign = QStringLiteral("PUT\n\napplication/pdf\n") + date +
                                       QStringLiteral("\nx-oss-callback:") + callback +
                                       QStringLiteral("\nx-oss-security-token:STS\n/b/k/报告.pdf");
        QCOMPARE(headers.value(QStringLiteral("Authorization")).toString(),
                 QStringLiteral("OSS AKID:") +
                     QString::fromLatin1(OssSignature::sign("SECRET", expectedToSign.toUtf8())));

        request.callbackParam = QStringLiteral("already-encoded");
        QCOMPARE(OssClient::signedHeaders(credentials, request, QStringLiteral("x/y"), date)
                     .value(QStringLiteral("x-oss-callback"))
                     .toString(),
                 QStringLiteral("already-encoded"));
    }

    void contentTypes()
    {
        QCOMPARE(OssClient::contentTypeForFile(QStringLiteral("/a/b.pdf")), QStringLiteral("application/pdf"));
        QCOMPARE(OssClient::contentTypeForFile(QStringLiteral("/a/b.PNG")), QStringLiteral("image/png"));
        QCOMPARE(OssClient::contentTypeForFile(QStringLiteral("/a/noext")), QStringLiteral("application/octet-stream"));
    }

    void uploadResults_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<QString>("description");
        QTest::newRow("200") << 200 << QByteArray(R"({"status":1})") << true << QString();
        QTest::newRow("203 callback failed")
            << 203 << QByteArray("<Error><Code>CallbackFailed</Code><Message>callback said no</Message></Error>")
            << false << QStringLiteral("callback said no");
        QTest::newRow("403 xml") << 403
                                 << QByteArray(
                                        "<Error><Code>SignatureDoesNotMatch</Code><Message> bad sig </Message></Error>")
                                 << false << QStringLiteral("bad sig");
        QTest::newRow("500 plain") << 500 << QByteArray("oops") << false << QStringLiteral("Server Trouble");
        QTest::newRow("transport") << 0 << QByteArray() << false << QStringLiteral("Connection refused");
    }

    void uploadResults()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, completed);
        QFETCH(QString, description);
        const OssPutObjectResult result =
            OssClient::resultFor(status, status == 500 ? QByteArray("Server Trouble") : QByteArray(), body,
                                 QStringLiteral("Connection refused"));
        QCOMPARE(result.completed, completed);
        QCOMPARE(result.errorDescription, description);
        if (completed)
            QCOMPARE(result.serverReturnJsonString, QString::fromUtf8(body));
    }

    void progressOfOneFile()
    {
        RunProgress progress(1);
        QList<int> reports{
            progress.tokenDone(),          progress.credentialReply(),     progress.uploadStep(50, 100),
            progress.uploadStep(100, 100), progress.uploadStep(100, 100),  progress.queryStep(40, 100),
            progress.queryStep(100, 100),  progress.downloadStep(50, 100), progress.downloadStep(100, 100)};
        QCOMPARE(reports, (QList<int>{10, 20, 35, 50, 50, 58, 70, 85, 100}));
    }

    void progressOfThreeFiles()
    {
        RunProgress progress(3);
        // Every finished step is reported twice, as uploads and downloads do.
        QList<int> reports{progress.tokenDone(),
                           progress.credentialReply(),
                           progress.credentialReply(),
                           progress.credentialReply(),
                           progress.uploadStep(300, 300),
                           progress.uploadStep(300, 300),
                           progress.queryStep(300, 300),
                           progress.queryStep(300, 300),
                           progress.downloadStep(150, 300),
                           progress.downloadStep(300, 300),
                           progress.downloadStep(300, 300)};
        QCOMPARE(reports, (QList<int>{10, 13, 16, 19, 49, 49, 69, 69, 84, 99, 99}));
    }

    void resultNames_data()
    {
        QTest::addColumn<QString>("serviceName");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "report.docx"
                               << "report.docx";
        QTest::newRow("folders dropped") << "../../etc/passwd"
                                         << "passwd";
        QTest::newRow("windows folders") << "..\\..\\x.pdf"
                                         << "x.pdf";
        QTest::newRow("dot-dot only") << ".."
                                      << "result";
        QTest::newRow("empty") << ""
                               << "result";
        QTest::newRow("control characters") << QStringLiteral("a\nb\x01.zip") << "ab.zip";
        QTest::newRow("hidden") << ".bashrc"
                                << "bashrc";
        QTest::newRow("slash at end") << "dir/"
                                      << "result";
    }

    void resultNames()
    {
        QFETCH(QString, serviceName);
        QFETCH(QString, safe);
        QCOMPARE(ResultNames::safeFileName(serviceName), safe);
        const QString temporary = ResultNames::temporaryDownloadName(serviceName);
        QVERIFY(temporary.startsWith(QLatin1Char('.')));
        QVERIFY(!temporary.contains(QLatin1Char('/')));
        QVERIFY(temporary != ResultNames::temporaryDownloadName(serviceName));
    }

    void finalNames()
    {
        QCOMPARE(
            ResultNames::finalPath(QStringLiteral("/out"), QStringLiteral("/in/report.pdf"), QStringLiteral("x.docx")),
            QStringLiteral("/out/report.docx"));
        QCOMPARE(
            ResultNames::finalPath(QStringLiteral("/out"), QStringLiteral("/in/a.b.pdf"), QStringLiteral("../r.zip")),
            QStringLiteral("/out/a.b.zip"));
        QCOMPARE(ResultNames::finalPath(QStringLiteral("/out"), QStringLiteral("/in/a.pdf"), QStringLiteral("noext")),
                 QStringLiteral("/out/a"));
        const QString longName(300, QLatin1Char('x'));
        QVERIFY(ResultNames::safeFileName(longName + QStringLiteral(".pdf")).toUtf8().size() <= 255);
    }

    void resultsNeverReplaceInputs()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.pdf"));
        const QString a1 = dir.filePath(QStringLiteral("a(1).pdf"));
        for (const QString &path : {a, a1}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(ResultNames::avoidingClaimed(a, {a}), dir.filePath(QStringLiteral("a(2).pdf")));
        QCOMPARE(ResultNames::avoidingClaimed(a, {dir.filePath(QStringLiteral("b.pdf"))}), a);
        // A path spelled differently is still the same input.
        QCOMPARE(ResultNames::avoidingClaimed(a, {dir.path() + QStringLiteral("/./a.pdf")}),
                 dir.filePath(QStringLiteral("a(2).pdf")));
        // A name the run has claimed stays taken even when its file is gone.
        QCOMPARE(ResultNames::avoidingClaimed(a, {a, dir.filePath(QStringLiteral("a(2).pdf"))}),
                 dir.filePath(QStringLiteral("a(3).pdf")));
        // Placeholders in a name are text, not format markers.
        const QString percent = dir.filePath(QStringLiteral("r%1.pdf"));
        QCOMPARE(ResultNames::avoidingClaimed(percent, {percent}), dir.filePath(QStringLiteral("r%1(1).pdf")));
    }
};

MIRELUNE_TEST_MAIN(TestOssClient)
#include "tst_ossclient.moc"
