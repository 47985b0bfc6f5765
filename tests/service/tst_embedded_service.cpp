#include "convert/EmbeddedService.h"
#include "support/TestMain.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <future>
#include <unistd.h>

// The launcher of the embedded service: start once, reuse, survive stale
// ready files and concurrent launchers, and fail clearly without a program.
class TestEmbeddedService : public QObject {
    Q_OBJECT

private slots:
    void startsAndReuses();
    void concurrentLaunchersShareOneService();
    void staleReadyFileIsReplaced_data();
    void staleReadyFileIsReplaced();
    void missingProgramIsReported();
    void cleanup();

private:
    qint64 readyPid(const QString &folder) const;
    QByteArray sessionStatus(const EmbeddedService::Endpoint &endpoint);

    QTemporaryDir mDir;
    QStringList mFolders;
};

qint64 TestEmbeddedService::readyPid(const QString &folder) const
{
    QFile file(folder + QStringLiteral("/ready.json"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("pid")).toInteger();
}

QByteArray TestEmbeddedService::sessionStatus(const EmbeddedService::Endpoint &endpoint)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(endpoint.baseUrl + QStringLiteral("/sessions")));
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setCaCertificates(QSslCertificate::fromPath(endpoint.caFile));
    request.setSslConfiguration(ssl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply *reply = manager.post(
        request, QJsonDocument(QJsonObject{{QStringLiteral("identity_token"), endpoint.identityToken}}).toJson());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

void TestEmbeddedService::cleanup()
{
    for (const QString &folder : std::as_const(mFolders)) {
        const qint64 pid = readyPid(folder);
        if (pid <= 0)
            continue;
        ::kill(pid_t(pid), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(pid), 0) != 0, 30000);
    }
    mFolders.clear();
}

void TestEmbeddedService::startsAndReuses()
{
    QVERIFY(!EmbeddedService::findProgram().isEmpty());
    mFolders << EmbeddedService::dataFolder();
    QString error;
    const std::optional<EmbeddedService::Endpoint> first = EmbeddedService::ensureRunning(&error);
    QVERIFY2(first, qPrintable(error));
    QVERIFY(first->baseUrl.startsWith(QStringLiteral("https://127.0.0.1:")));
    QVERIFY(QJsonDocument::fromJson(sessionStatus(*first)).object().value(QStringLiteral("status")).toInt() == 1);
    const qint64 pid = readyPid(EmbeddedService::dataFolder());
    // Its own session: a terminal's Ctrl-C for the launcher does not reach it.
    QVERIFY(::getsid(pid_t(pid)) != ::getsid(0));
    const std::optional<EmbeddedService::Endpoint> second = EmbeddedService::ensureRunning(&error);
    QVERIFY(second);
    QCOMPARE(second->baseUrl, first->baseUrl);
    QCOMPARE(readyPid(EmbeddedService::dataFolder()), pid);
}

void TestEmbeddedService::concurrentLaunchersShareOneService()
{
    const QString folder = mDir.filePath(QStringLiteral("shared"));
    mFolders << folder;
    const QString program = EmbeddedService::findProgram();
    std::vector<std::future<std::optional<EmbeddedService::Endpoint>>> launches;
    for (int i = 0; i < 3; ++i) {
        launches.push_back(std::async(std::launch::async, [folder, program] {
            return EmbeddedService::ensureRunning(folder, program, nullptr);
        }));
    }
    QStringList urls;
    for (auto &launch : launches) {
        const std::optional<EmbeddedService::Endpoint> endpoint = launch.get();
        QVERIFY(endpoint);
        urls << endpoint->baseUrl;
    }
    urls.removeDuplicates();
    QCOMPARE(urls.size(), 1);
    QVERIFY(EmbeddedService::runningEndpoint(folder));
}

void TestEmbeddedService::staleReadyFileIsReplaced_data()
{
    QTest::addColumn<QByteArray>("ready");
    QTest::newRow("process gone") << QByteArray("{\"base_url\":\"https://127.0.0.1:9/api\",\"ca_file\":\"x\","
                                                "\"identity_token\":\"t\",\"pid\":999999999}");
    // A live process that is no service: this test itself, on a port nobody serves.
    QTest::newRow("someone else's pid") << QByteArray("{\"base_url\":\"https://127.0.0.1:9/api\",\"ca_file\":\"x\","
                                                      "\"identity_token\":\"t\",\"pid\":") +
                                               QByteArray::number(QCoreApplication::applicationPid()) + '}';
    QTest::newRow("garbage") << QByteArray("not json");
}

void TestEmbeddedService::staleReadyFileIsReplaced()
{
    QFETCH(QByteArray, ready);
    const QString folder = mDir.filePath(QStringLiteral("stale-") + QString::fromLatin1(QTest::currentDataTag()));
    mFolders << folder;
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/ready.json"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ready) == ready.size());
    file.close();
    QString error;
    const std::optional<EmbeddedService::Endpoint> endpoint =
        EmbeddedService::ensureRunning(folder, EmbeddedService::findProgram(), &error);
    QVERIFY2(endpoint, qPrintable(error));
    QVERIFY(endpoint->baseUrl != QStringLiteral("https://127.0.0.1:9/api"));
    QVERIFY(readyPid(folder) != QCoreApplication::applicationPid());
}

void TestEmbeddedService::missingProgramIsReported()
{
    const QString folder = mDir.filePath(QStringLiteral("none"));
    QString error;
    QVERIFY(!EmbeddedService::ensureRunning(folder, QString(), &error));
    QVERIFY(error.contains(QStringLiteral("mirelune-service")));
    QVERIFY(!EmbeddedService::ensureRunning(folder, mDir.filePath(QStringLiteral("no-such-program")), &error));
    QVERIFY(!error.isEmpty());
}

MIRELUNE_TEST_MAIN(TestEmbeddedService)
#include "tst_embedded_service.moc"
