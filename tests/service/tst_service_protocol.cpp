#include "api/DownloadHandler.h"
#include "api/UploadCallback.h"
#include "core/ServiceOptions.h"
#include "http/HttpRequest.h"
#include "jobs/TaskDurations.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>

// The pure parts of the service's side of the wire: callback parameters,
// download ranges and the listen option.
class TestServiceProtocol : public QObject {
    Q_OBJECT

private slots:
    void callbackSubstitution_data();
    void callbackSubstitution();
    void callbackHeaderDecoding_data();
    void callbackHeaderDecoding();
    void range_data();
    void range();
    void contentDispositionKeepsNameSafe();
    void listenAddress_data();
    void listenAddress();
    void suggestedPace_data();
    void suggestedPace();
    void paceFollowsTheLikelyEndOfATask();
    void queuedTaskIsDoneAfterThoseAhead();
    void requestParametersMergeQueryAndBody_data();
    void requestParametersMergeQueryAndBody();
};

void TestServiceProtocol::callbackSubstitution_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("expected");
    const QString body = QStringLiteral("{\"bucket\":${bucket},\"object\":${object},\"size\":${size},\"m\":${mimeType},"
                                        "\"e\":${etag}}");
    QTest::newRow("json") << QStringLiteral("application/json") << QStringLiteral("uploads/k")
                          << QByteArray("{\"bucket\":\"b\",\"object\":\"uploads/k\",\"size\":1234,\"m\":\"text/plain\","
                                        "\"e\":\"ABC\"}");
    // A key that tries to close its string and add a field stays one string.
    QTest::newRow("json injection") << QStringLiteral("application/json") << QStringLiteral("a\",\"object\":\"x")
                                    << QByteArray(
                                           "{\"bucket\":\"b\",\"object\":\"a\\\",\\\"object\\\":\\\"x\",\"size\":1234,"
                                           "\"m\":\"text/plain\",\"e\":\"ABC\"}");
    QTest::newRow("form") << QStringLiteral("application/x-www-form-urlencoded") << QStringLiteral("a b&c")
                          << QByteArray(
                                 "{\"bucket\":b,\"object\":a%20b%26c,\"size\":1234,\"m\":text%2Fplain,\"e\":ABC}");
}

void TestServiceProtocol::callbackSubstitution()
{
    QFETCH(QString, type);
    QFETCH(QString, object);
    const UploadCallback::Parameters parameters{
        {},
        QStringLiteral("{\"bucket\":${bucket},\"object\":${object},\"size\":${size},\"m\":${mimeType},\"e\":${etag}}"),
        type};
    const UploadCallback::Facts facts{QStringLiteral("b"), object, 1234, QStringLiteral("text/plain"),
                                      QStringLiteral("ABC")};
    const QByteArray body = UploadCallback::substitute(parameters, facts);
    QTEST(body, "expected");
    if (type == QLatin1String("application/json"))
        QCOMPARE(QJsonDocument::fromJson(body).object().value(QStringLiteral("object")).toString(), object);
}

void TestServiceProtocol::callbackHeaderDecoding_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("type");
    const QJsonObject parameters = UploadCallback::parametersFor(QStringLiteral("https://127.0.0.1:9"));
    QTest::newRow("as issued") << QJsonDocument(parameters).toJson(QJsonDocument::Compact).toBase64() << true
                               << QStringLiteral("application/json");
    QTest::newRow("default body type")
        << QByteArray("{\"callbackUrl\":\"https://h/\",\"callbackBody\":\"x\"}").toBase64() << true
        << QStringLiteral("application/x-www-form-urlencoded");
    QTest::newRow("not base64") << QByteArray("%%%") << false << QString();
    QTest::newRow("no url") << QByteArray("{\"callbackBody\":\"x\"}").toBase64() << false << QString();
    QTest::newRow("not json") << QByteArray("callbackUrl=x").toBase64() << false << QString();
}

void TestServiceProtocol::callbackHeaderDecoding()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, valid);
    QString error;
    const std::optional<UploadCallback::Parameters> parameters = UploadCallback::decode(header, &error);
    QCOMPARE(parameters.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (valid)
        QTEST(parameters->bodyType, "type");
}

void TestServiceProtocol::range_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("length"); // 0: unsatisfiable
    QTest::newRow("resume") << QByteArray("bytes=100-") << true << qint64(100) << qint64(900);
    QTest::newRow("span") << QByteArray("bytes=0-9") << true << qint64(0) << qint64(10);
    QTest::newRow("end clipped") << QByteArray("bytes=990-5000") << true << qint64(990) << qint64(10);
    QTest::newRow("suffix") << QByteArray("bytes=-10") << true << qint64(990) << qint64(10);
    QTest::newRow("suffix larger than file") << QByteArray("bytes=-5000") << true << qint64(0) << qint64(1000);
    QTest::newRow("past the end") << QByteArray("bytes=1000-") << true << qint64(0) << qint64(0);
    QTest::newRow("empty suffix") << QByteArray("bytes=-0") << true << qint64(0) << qint64(0);
    QTest::newRow("reversed") << QByteArray("bytes=9-0") << false << qint64(0) << qint64(0);
    QTest::newRow("several ranges") << QByteArray("bytes=0-1,5-6") << false << qint64(0) << qint64(0);
    QTest::newRow("other unit") << QByteArray("items=0-1") << false << qint64(0) << qint64(0);
    QTest::newRow("garbage") << QByteArray("bytes=a-b") << false << qint64(0) << qint64(0);
}

void TestServiceProtocol::range()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, partial);
    const std::optional<DownloadHandler::Range> range = DownloadHandler::parseRange(header, 1000);
    QCOMPARE(range.has_value(), partial);
    if (partial) {
        QTEST(range->first, "first");
        QTEST(range->length, "length");
    }
}

void TestServiceProtocol::contentDispositionKeepsNameSafe()
{
    const QByteArray value = DownloadHandler::contentDisposition(QStringLiteral("a\"b\\c résumé.pdf"));
    QCOMPARE(
        value,
        QByteArray("attachment; filename=\"a_b_c r_sum_.pdf\"; filename*=UTF-8''a%22b%5Cc%20r%C3%A9sum%C3%A9.pdf"));
}

void TestServiceProtocol::listenAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("address and port") << QStringLiteral("127.0.0.1:8443") << true << QStringLiteral("127.0.0.1")
                                      << 8443;
    QTest::newRow("address only") << QStringLiteral("0.0.0.0") << true << QStringLiteral("0.0.0.0") << 0;
    QTest::newRow("localhost") << QStringLiteral("localhost:9") << true << QStringLiteral("127.0.0.1") << 9;
    QTest::newRow("ipv6") << QStringLiteral("[::1]:7") << true << QStringLiteral("::1") << 7;
    QTest::newRow("bare ipv6") << QStringLiteral("::1") << true << QStringLiteral("::1") << 0;
    QTest::newRow("port too large") << QStringLiteral("127.0.0.1:70000") << false << QString() << 0;
    QTest::newRow("host name") << QStringLiteral("example.org:1") << false << QString() << 0;
    QTest::newRow("unclosed bracket") << QStringLiteral("[::1:7") << false << QString() << 0;
}

void TestServiceProtocol::listenAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QHostAddress address;
    quint16 port = 1;
    QCOMPARE(ServiceOptions::parseListen(text, &address, &port), valid);
    if (valid) {
        QTEST(address.toString(), "address");
        QTEST(int(port), "port");
    }
}

void TestServiceProtocol::suggestedPace_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("pollMs");
    QTest::addColumn<int>("staggerMs");
    QTest::newRow("defaults") << QStringList{} << true << 200 << 0;
    QTest::newRow("both set") << QStringList{QStringLiteral("--poll-interval"), QStringLiteral("500"),
                                             QStringLiteral("--download-stagger"), QStringLiteral("1000")}
                              << true << 500 << 1000;
    QTest::newRow("capped at a minute") << QStringList{QStringLiteral("--poll-interval"), QStringLiteral("999999"),
                                                       QStringLiteral("--download-stagger"), QStringLiteral("999999")}
                                        << true << 60000 << 60000;
    QTest::newRow("poll below the floor")
        << QStringList{QStringLiteral("--poll-interval"), QStringLiteral("50")} << false << 0 << 0;
    QTest::newRow("negative stagger") << QStringList{QStringLiteral("--download-stagger"), QStringLiteral("-1")}
                                      << false << 0 << 0;
    QTest::newRow("not a number") << QStringList{QStringLiteral("--poll-interval"), QStringLiteral("fast")} << false
                                  << 0 << 0;
}

void TestServiceProtocol::suggestedPace()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QString message;
    int exitCode = 0;
    const std::optional<ServiceOptions> options =
        ServiceOptions::parse(QStringList{QStringLiteral("mirelune-service")} + arguments, &message, &exitCode);
    QCOMPARE(options.has_value(), valid);
    if (!valid) {
        QCOMPARE(exitCode, 2);
        QVERIFY(!message.isEmpty());
        return;
    }
    QTEST(options->pollIntervalMs, "pollMs");
    QTEST(options->downloadStaggerMs, "staggerMs");
}

void TestServiceProtocol::requestParametersMergeQueryAndBody_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("token");
    QTest::newRow("json body wins") << QByteArray("application/json") << QByteArray("{\"api_token\":\"b\"}")
                                    << QStringLiteral("b");
    QTest::newRow("form body") << QByteArray("application/x-www-form-urlencoded") << QByteArray("api_token=c+d%21")
                               << QStringLiteral("c d!");
    QTest::newRow("query only") << QByteArray("application/json") << QByteArray() << QStringLiteral("q");
}

void TestServiceProtocol::requestParametersMergeQueryAndBody()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    HttpRequest request;
    request.query = QUrlQuery(QStringLiteral("api_token=q&Cli-Os=mac"));
    request.headers = {{"content-type", contentType}};
    request.body = body;
    const QJsonObject parameters = request.parameters();
    QTEST(parameters.value(QStringLiteral("api_token")).toString(), "token");
    QCOMPARE(parameters.value(QStringLiteral("Cli-Os")).toString(), QStringLiteral("mac"));
}

MIRELUNE_TEST_MAIN(TestServiceProtocol)
void TestServiceProtocol::paceFollowsTheLikelyEndOfATask()
{
    TaskDurations durations;
    const QString text = QStringLiteral("pdf-to-text");
    const QString office = QStringLiteral("word-to-pdf");
    // Nothing known of a kind: the configured pace.
    durations.started(QStringLiteral("a"), text, 1000);
    QCOMPARE(durations.remainingMs(QStringLiteral("a"), text, false, 1010), std::nullopt);
    QCOMPARE(TaskDurations::pollHintMs(200, std::nullopt), 200);
    // A failed run teaches nothing; a finished one sets the kind's time.
    durations.ended(QStringLiteral("a"), false, 1500);
    QCOMPARE(durations.remainingMs(QStringLiteral("b"), text, true, 2000), std::nullopt);
    durations.started(QStringLiteral("b"), text, 2000);
    durations.ended(QStringLiteral("b"), true, 2040);
    QCOMPARE(durations.remainingMs(QStringLiteral("c"), text, true, 3000), 60);
    QCOMPARE(TaskDurations::pollHintMs(200, 60), 100);
    // A task of that kind waiting behind busy workers: the node cannot tell.
    QCOMPARE(durations.remainingMs(QStringLiteral("c"), text, false, 3000), std::nullopt);
    // A running task: its kind's time less what it has run, never below the margin.
    durations.started(QStringLiteral("c"), text, 3000);
    QCOMPARE(durations.remainingMs(QStringLiteral("c"), text, false, 3030), 30);
    QCOMPARE(durations.remainingMs(QStringLiteral("c"), text, false, 9000), 20);
    // One slow run moves the time part of the way, not all of it.
    durations.ended(QStringLiteral("c"), true, 3440);
    QCOMPARE(durations.remainingMs(QStringLiteral("d"), text, true, 4000), qint64(40 + 0.3 * 400) + 20);
    // Kinds are apart; a long one keeps the configured pace.
    durations.started(QStringLiteral("e"), office, 5000);
    durations.ended(QStringLiteral("e"), true, 7000);
    QCOMPARE(TaskDurations::pollHintMs(200, durations.remainingMs(QStringLiteral("f"), office, true, 8000)), 200);
    QCOMPARE(durations.remainingMs(QStringLiteral("f"), text, true, 8000), qint64(40 + 0.3 * 400) + 20);
    // Never below half the configured pace, nor below 100 ms, nor above it.
    QCOMPARE(TaskDurations::pollHintMs(1500, 20), 750);
    QCOMPARE(TaskDurations::pollHintMs(1500, 1000), 1000);
    QCOMPARE(TaskDurations::pollHintMs(100, 0), 100);
    QCOMPARE(TaskDurations::pollHintMs(150, 9999), 150);
    // An end a little past the pace: a shorter wait first, so that the last
    // poll still has the floor's room to land at the end, not a floor after it.
    QCOMPARE(TaskDurations::pollHintMs(200, 207), 107);
    QCOMPARE(TaskDurations::pollHintMs(200, 299), 199);
    QCOMPARE(TaskDurations::pollHintMs(200, 300), 200);
    QCOMPARE(TaskDurations::pollHintMs(1500, 1600), 850);
    // A task waiting for a worker comes back a floor before its likely end,
    // at most five paces away; near it, as a running one does.
    QCOMPARE(TaskDurations::pollHintMs(200, 480, true), 380);
    QCOMPARE(TaskDurations::pollHintMs(200, 480), 200);
    QCOMPARE(TaskDurations::pollHintMs(200, 4000, true), 1000);
    QCOMPARE(TaskDurations::pollHintMs(200, 250, true), 150);
    QCOMPARE(TaskDurations::pollHintMs(200, 120, true), 120);
}

void TestServiceProtocol::queuedTaskIsDoneAfterThoseAhead()
{
    TaskDurations durations;
    const QString text = QStringLiteral("pdf-to-text");
    const QString office = QStringLiteral("word-to-pdf");
    // A kind never timed: nothing to tell.
    QCOMPARE(durations.queuedRemainingMs(text, 0, 1, 0), std::nullopt);
    durations.started(QStringLiteral("t"), text, 0);
    durations.ended(QStringLiteral("t"), true, 100); // a text task takes 100 ms
    // One worker, busy for 80 ms more: two tasks ahead, then this one; 20 ms margin.
    durations.started(QStringLiteral("r"), text, 1000);
    QCOMPARE(durations.queuedRemainingMs(text, 2, 1, 1020), 80 + 3 * 100 + 20);
    // Two workers, one of them free: the first task ahead takes the free one,
    // this one the worker free in 80 ms.
    QCOMPARE(durations.queuedRemainingMs(text, 0, 2, 1020), 100 + 20);
    QCOMPARE(durations.queuedRemainingMs(text, 1, 2, 1020), 80 + 100 + 20);
    QCOMPARE(durations.queuedRemainingMs(text, 3, 2, 1020), 180 + 100 + 20);
    // A queue far longer than the pace: still an end, and far past the pace.
    const std::optional<qint64> far = durations.queuedRemainingMs(text, 1000000, 2, 1020);
    QVERIFY(far && *far > 2000);
    QCOMPARE(TaskDurations::pollHintMs(200, far), 200);
    // A worker running a kind not timed yet: when it is free is unknown.
    durations.started(QStringLiteral("o"), office, 1000);
    QCOMPARE(durations.queuedRemainingMs(text, 0, 2, 1020), std::nullopt);
}

#include "tst_service_protocol.moc"
