#include "convert/PDFConvert.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/VAZevediZeziz.h"
#include "product/AppSettings.h"
#include "tools/Log.h"

#include "support/ClientProbe.h"
#include "support/FakeHttpsServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"

#include <QFile>
#include <QJsonArray>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

namespace {

const QString kIdentity = QStringLiteral("IDENTITY-TOKEN-SECRET-0001");
const QString kApiToken = QStringLiteral("APITOKEN-FROM-SERVICE-0002");
const QString kAccountApiToken = QStringLiteral("ACCOUNT-APITOKEN-0003");
const QString kAccessSecret = QStringLiteral("ACCESS-SECRET-VALUE-0004");
const QString kSecurityToken = QStringLiteral("SECURITY-TOKEN-VALUE-0005");

// The result of one asynchronous call, filled on the client's thread.
struct Result {
    QMutex mutex;
    int completions = 0;
    int steps = 0;
    bool ok = false;
    QString text;
    std::optional<QVariantMap> map;

    int count()
    {
        QMutexLocker lock(&mutex);
        return completions;
    }
};

QByteArray sessionReply(const QString &token)
{
    return QStringLiteral(R"({"status":1,"data":{"user":{"api_token":"%1"}}})").arg(token).toUtf8();
}

} // namespace

class TestServiceRequests : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHttpsServer> mServer;
    std::unique_ptr<DIRADoduredode> mClient;
    QByteArray mSessionReply;

    std::shared_ptr<Result> obtainToken()
    {
        auto result = std::make_shared<Result>();
        PDFConvert::obtainApiToken(
            [result] {
                QMutexLocker lock(&result->mutex);
                ++result->steps;
            },
            [result](bool ok, const QString &text) {
                QMutexLocker lock(&result->mutex);
                ++result->completions;
                result->ok = ok;
                result->text = text;
            });
        return result;
    }

    // Waits for the completion, then for a probe through the same client: a
    // reply that had come in and would complete the call again has been
    // handled when the probe is answered.
    void waitForOne(const std::shared_ptr<Result> &result)
    {
        QTRY_COMPARE_WITH_TIMEOUT(result->count(), 1, 15000);
        QVERIFY(probeClient(*mClient, mServer->origin()));
        QCOMPARE(result->count(), 1);
    }

    static void checkSevenHeaders(const RecordedRequest &request)
    {
        const CommAppInfo info = VAZevediZeziz::appInfo();
        QCOMPARE(request.header("App"), info.appName().toUtf8());
        QCOMPARE(request.header("Brand"), QByteArray("Orvanta"));
        QCOMPARE(request.header("App-Version"), info.appVersion().toUtf8());
        QCOMPARE(request.header("Cli-Os"), QByteArray("mac"));
        QVERIFY(request.header("Cli-Os-Version").startsWith("Mac version: "));
        QVERIFY(!request.header("Cli-Id").isEmpty());
        QCOMPARE(request.header("accept_lang"), QByteArray("en"));
        // Sent with its underscore, not turned into a hyphen.
        QVERIFY(std::any_of(request.headers.begin(), request.headers.end(),
                            [](const auto &h) { return h.first == "accept_lang"; }));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestCertificates::instance().isValid());
        VAZevediZeziz::initWithCommAppInfo(AppSettings::GetAppInfo(), nullptr);
    }

    void init()
    {
        mServer = std::make_unique<FakeHttpsServer>();
        QVERIFY(mServer->listen());
        mClient = std::make_unique<DIRADoduredode>();
        QVERIFY(mClient->addCaCertificatesFromFile(TestCertificates::instance().caFile()));
        mClient->setTransferTimeout(scaledMs(1500));
        PDFConvert::setHttpClient(mClient.get());
        qputenv("MIRELUNE_SERVICE_URL", (mServer->origin() + QStringLiteral("/api")).toUtf8());
        PDFConvert::clearToken();
        CommPassport::setApiToken(QString());
        QVERIFY(CommPassport::signInWithIdentityToken(kIdentity));
        mSessionReply = sessionReply(kApiToken);
        mServer->setHandler([this](const RecordedRequest &request) {
            if (request.path == QLatin1String("/api/sessions"))
                return FakeResponse::json(mSessionReply);
            if (request.path == QLatin1String("/api/authentications"))
                return FakeResponse::json(
                    QStringLiteral(
                        R"({"status":1,"data":{"endpoint":"127.0.0.1:1","access_id":"ID","access_secret":"%1","security_token":"%2","bucket":"b","callback_url":{"callbackUrl":"x"},"objects":{"a b.pdf":"k/1"}}})")
                        .arg(kAccessSecret, kSecurityToken)
                        .toUtf8());
            if (request.path == QLatin1String("/api/tasks"))
                return FakeResponse::json(R"({"status":"1","data":{"task_id":4711}})");
            if (request.path == QLatin1String("/api/tasks/4711"))
                return FakeResponse::json(R"({"status":1,"data":{"status":1,"progress":40}})");
            return FakeResponse::json(R"({"status":0})", 404);
        });
    }

    void cleanup()
    {
        PDFConvert::setHttpClient(nullptr);
        mClient.reset();
        mServer.reset();
        CommPassport::signOut();
    }

    void tokenIsObtainedThenCached()
    {
        auto first = obtainToken();
        waitForOne(first);
        QVERIFY2(first->ok, qPrintable(first->text));
        QCOMPARE(first->steps, 1);
        QCOMPARE(PDFConvert::apiToken(), kApiToken);
        const QList<RecordedRequest> sessions = mServer->requestsTo(QStringLiteral("/api/sessions"));
        QCOMPARE(sessions.size(), 1);
        QCOMPARE(sessions.first().json().value(QStringLiteral("identity_token")).toString(), kIdentity);
        checkSevenHeaders(sessions.first());

        // The next run sends no token request at all.
        CommPassport::setProcessIdentityToken(QStringLiteral("must-not-be-read"));
        auto second = obtainToken();
        QCOMPARE(second->count(), 1);
        QVERIFY(second->ok);
        QCOMPARE(second->steps, 1);
        // A token request started by the cached call would have gone out
        // ahead of this probe.
        QVERIFY(probeClient(*mClient, mServer->origin()));
        QCOMPARE(mServer->requestsTo(QStringLiteral("/api/sessions")).size(), 1);
        CommPassport::setProcessIdentityToken(QString());
    }

    void accountChangeClearsTheToken()
    {
        QObject owner;
        PDFConvert::clearTokenOnAccountChange(&owner);
        waitForOne(obtainToken());
        QCOMPARE(PDFConvert::apiToken(), kApiToken);
        QVERIFY(CommPassport::signInWithIdentityToken(QStringLiteral("another-identity-token")));
        QVERIFY(PDFConvert::apiToken().isEmpty());
        waitForOne(obtainToken());
        const QList<RecordedRequest> sessions = mServer->requestsTo(QStringLiteral("/api/sessions"));
        QCOMPARE(sessions.size(), 2);
        QCOMPARE(sessions.last().json().value(QStringLiteral("identity_token")).toString(),
                 QStringLiteral("another-identity-token"));
    }

    void tokenReplyJudgement_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("steps");
        QTest::newRow("status as text") << sessionReply(kApiToken).replace("\"status\":1", "\"status\":\"1\"") << true
                                        << 1;
        QTest::newRow("status 0") << QByteArray(R"({"status":0,"message":"bad identity"})") << false << 0;
        QTest::newRow("status 2") << QByteArray(R"({"status":2})") << false << 0;
        QTest::newRow("status absent") << QByteArray(R"({"data":{}})") << false << 0;
        QTest::newRow("not JSON") << QByteArray("<html>oops</html>") << false << 0;
    }

    void tokenReplyJudgement()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, ok);
        QFETCH(int, steps);
        mSessionReply = reply;
        auto result = obtainToken();
        waitForOne(result);
        QCOMPARE(result->ok, ok);
        QCOMPARE(result->steps, steps);
        if (!ok)
            QCOMPARE(result->text, QStringLiteral("token 数据获取异常 ") + QString::fromUtf8(reply));
    }

    void missingApiTokenInTheReply()
    {
        mSessionReply = R"({"status":1,"data":{"user":{}}})";
        auto without = obtainToken();
        waitForOne(without);
        QVERIFY(!without->ok);
        QCOMPARE(without->steps, 1);
        QCOMPARE(without->text, QStringLiteral("token 数据获取异常"));

        QVERIFY(CommPassport::setApiToken(kAccountApiToken));
        auto with = obtainToken();
        waitForOne(with);
        QVERIFY(with->ok);
        QCOMPARE(PDFConvert::apiToken(), kAccountApiToken);
    }

    void accountApiTokenReplacesTheServicesToken()
    {
        QVERIFY(CommPassport::setApiToken(kAccountApiToken));
        waitForOne(obtainToken());
        QCOMPARE(PDFConvert::apiToken(), kAccountApiToken);
    }

    void credentialRequest()
    {
        waitForOne(obtainToken());
        auto result = std::make_shared<Result>();
        PDFConvert::requestUploadConfig(QStringLiteral("a b.pdf"), [result](const std::optional<QVariantMap> &data) {
            QMutexLocker lock(&result->mutex);
            ++result->completions;
            result->map = data;
        });
        waitForOne(result);
        QVERIFY(result->map);
        QCOMPARE(result->map->value(QStringLiteral("bucket")).toString(), QStringLiteral("b"));
        const RecordedRequest request = mServer->requestsTo(QStringLiteral("/api/authentications")).value(0);
        checkSevenHeaders(request);
        const QJsonObject body = request.json();
        QCOMPARE(body.value(QStringLiteral("files")).toArray(), QJsonArray{QStringLiteral("a b.pdf")});
        QCOMPARE(body.value(QStringLiteral("api_token")).toString(), kApiToken);
        QCOMPARE(body.value(QStringLiteral("Cli-Os")).toString(), QStringLiteral("mac"));
    }

    void creationRequest()
    {
        waitForOne(obtainToken());
        auto result = std::make_shared<Result>();
        PDFConvert::requestCreateTask(QStringLiteral("merge-pdf"), {QStringLiteral("f1"), QStringLiteral("f2")}, {},
                                      [result](const QString &taskId, const QVariantMap &) {
                                          QMutexLocker lock(&result->mutex);
                                          ++result->completions;
                                          result->text = taskId;
                                      });
        waitForOne(result);
        QCOMPARE(result->text, QStringLiteral("4711"));
        const RecordedRequest request = mServer->requestsTo(QStringLiteral("/api/tasks")).value(0);
        checkSevenHeaders(request);
        const QJsonObject body = request.json();
        QCOMPARE(body.value(QStringLiteral("autostart")), QJsonValue(QStringLiteral("1")));
        QCOMPARE(body.value(QStringLiteral("product_id")), QJsonValue(QStringLiteral("202")));
        QCOMPARE(body.value(QStringLiteral("service_type")).toString(), QStringLiteral("merge-pdf"));
        const QJsonArray files = body.value(QStringLiteral("files")).toArray();
        QCOMPARE(files.size(), 2);
        for (const QJsonValue &file : files)
            QCOMPARE(file.toObject().value(QStringLiteral("password")), QJsonValue(QString()));
        QVERIFY(body.value(QStringLiteral("args")).isObject());
    }

    void failedCreationGivesNoTaskId()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::close(); });
        auto result = std::make_shared<Result>();
        result->text = QStringLiteral("unset");
        PDFConvert::requestCreateTask(QString(), {QStringLiteral("f1")}, {},
                                      [result](const QString &taskId, const QVariantMap &) {
                                          QMutexLocker lock(&result->mutex);
                                          ++result->completions;
                                          result->text = taskId;
                                      });
        waitForOne(result);
        QVERIFY(result->text.isNull());
        QVERIFY(!mServer->requests().first().json().contains(QStringLiteral("service_type")));
    }

    void statusRequestCarriesNoHeaders()
    {
        waitForOne(obtainToken());
        auto result = std::make_shared<Result>();
        PDFConvert::requestTaskStatus(QStringLiteral("4711"), [result](const std::optional<QVariantMap> &reply) {
            QMutexLocker lock(&result->mutex);
            ++result->completions;
            result->map = reply;
        });
        waitForOne(result);
        QVERIFY(result->map);
        QCOMPARE(result->map->value(QStringLiteral("data")).toMap().value(QStringLiteral("progress")).toInt(), 40);
        const RecordedRequest request = mServer->requestsTo(QStringLiteral("/api/tasks/4711")).value(0);
        QCOMPARE(request.method, QByteArray("GET"));
        for (const char *name : {"App", "Brand", "App-Version", "Cli-Os", "Cli-Os-Version", "Cli-Id", "accept_lang"})
            QVERIFY2(!request.hasHeader(name), name);
        QCOMPARE(request.query().queryItemValue(QStringLiteral("api_token")), kApiToken);
        QCOMPARE(request.query().queryItemValue(QStringLiteral("Cli-Os")), QStringLiteral("mac"));
    }

    void transportFailuresEndTheTokenProcedureOnce_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("closed") << int(FakeResponse::Action::Close);
        QTest::newRow("garbage") << int(FakeResponse::Action::Garbage);
        QTest::newRow("time-out") << int(FakeResponse::Action::Hang);
    }

    void transportFailuresEndTheTokenProcedureOnce()
    {
        QFETCH(int, action);
        mServer->setHandler([action](const RecordedRequest &) {
            FakeResponse response;
            response.action = FakeResponse::Action(action);
            return response;
        });
        auto result = obtainToken();
        waitForOne(result);
        QVERIFY(!result->ok);
        QCOMPARE(result->text, QStringLiteral("token 数据获取异常 "));
    }

    void noSecretReachesTheLog()
    {
        const QString logName = QStringLiteral("secret-scan");
        logFileOpen(logName);
        const QString logPath = logFilePath();
        QVERIFY(!logPath.isEmpty());

        // A failing reply that carries a token, then a full exchange.
        mSessionReply = QStringLiteral(R"({"status":0,"data":{"user":{"api_token":"%1"}}})").arg(kApiToken).toUtf8();
        auto failed = obtainToken();
        waitForOne(failed);
        QVERIFY(!failed->text.contains(kApiToken));
        mSessionReply = sessionReply(kApiToken);
        waitForOne(obtainToken());
        auto credentials = std::make_shared<Result>();
        PDFConvert::requestUploadConfig(QStringLiteral("a b.pdf"), [credentials](const std::optional<QVariantMap> &) {
            QMutexLocker lock(&credentials->mutex);
            ++credentials->completions;
        });
        waitForOne(credentials);
        auto creation = std::make_shared<Result>();
        PDFConvert::requestCreateTask(QStringLiteral("pdf-to-word"), {QStringLiteral("f1")},
                                      {{QStringLiteral("format"), QStringLiteral("docx")}},
                                      [creation](const QString &, const QVariantMap &) {
                                          QMutexLocker lock(&creation->mutex);
                                          ++creation->completions;
                                      });
        waitForOne(creation);

        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logged = QString::fromUtf8(log.readAll());
        QVERIFY(logged.contains(QStringLiteral("I: 获取转换用的令牌")));
        QVERIFY(logged.contains(QStringLiteral("I: 用户帐户的identifyToken:IDEN…")));
        QVERIFY(logged.contains(QStringLiteral("I: 创建任务 : ")));
        QVERIFY(logged.contains(QStringLiteral(" , url - ") + mServer->origin() + QStringLiteral("/api/tasks")));
        for (const QString &secret : {kIdentity, kApiToken, kAccessSecret, kSecurityToken})
            QVERIFY2(!logged.contains(secret), qPrintable(secret));
    }
};

MIRELUNE_TEST_MAIN(TestServiceRequests)
#include "tst_servicerequests.moc"
