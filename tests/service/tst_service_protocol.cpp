#include "DownloadHandler.h"
#include "HttpRequest.h"
#include "OssSignature.h"
#include "ServiceOptions.h"
#include "TestMain.h"
#include "UploadCallback.h"

#include <QJsonDocument>
#include <QJsonObject>

// The pure parts of the wire protocol: signatures, callback parameters,
// download ranges and the listen option.
class TestServiceProtocol : public QObject {
    Q_OBJECT

private slots:
    void signatureMatchesPublishedExample();
    void stringToSign_data();
    void stringToSign();
    void authorizationHeader_data();
    void authorizationHeader();
    void callbackSubstitution_data();
    void callbackSubstitution();
    void callbackHeaderDecoding_data();
    void callbackHeaderDecoding();
    void range_data();
    void range();
    void contentDispositionKeepsNameSafe();
    void listenAddress_data();
    void listenAddress();
    void requestParametersMergeQueryAndBody_data();
    void requestParametersMergeQueryAndBody();
};

void TestServiceProtocol::signatureMatchesPublishedExample()
{
    const QByteArray toSign = "PUT\nODBGOERFMDMzQTczRUY3NUE3NzA5QzdFNUYzMDQxNEM=\ntext/html\nThu, 17 Nov 2005 18:49:58 GMT\n"
                              "x-oss-magic:abracadabra\nx-oss-meta-author:foo@bar.com\n/oss-example/nelson";
    QCOMPARE(OssSignature::sign("OtxrzxIsfpFjA7SwPzILwy8Bw21TLhquhboDYROV", toSign), QByteArray("26NBxoKdsyly4EDv6inkoDft/yA="));
    const OssSignature::Headers headers = {{"X-OSS-Meta-Author", "foo@bar.com"},
                                           {"Content-Type", "text/html"},
                                           {"Content-MD5", "ODBGOERFMDMzQTczRUY3NUE3NzA5QzdFNUYzMDQxNEM="},
                                           {"Date", "Thu, 17 Nov 2005 18:49:58 GMT"},
                                           {"x-oss-magic", "abracadabra"},
                                           {"Host", "oss-example.oss-cn-hangzhou.aliyuncs.com"}};
    QCOMPARE(OssSignature::stringToSign("PUT", headers, QStringLiteral("oss-example"), QStringLiteral("nelson")), toSign);
}

void TestServiceProtocol::stringToSign_data()
{
    QTest::addColumn<QList<QByteArray>>("headers"); // name, value, name, value, ...
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no md5, no oss headers") << QList<QByteArray>{"Content-Type", "application/pdf", "Date", "D"}
                                            << QStringLiteral("uploads/a") << QByteArray("PUT\n\napplication/pdf\nD\n/b/uploads/a");
    QTest::newRow("oss headers sorted and lower-cased")
        << QList<QByteArray>{"x-oss-security-token", "T", "X-Oss-Callback", "C", "Date", "D"} << QStringLiteral("k")
        << QByteArray("PUT\n\n\nD\nx-oss-callback:C\nx-oss-security-token:T\n/b/k");
    QTest::newRow("key signed decoded") << QList<QByteArray>{"Date", "D"} << QStringLiteral("dir/é x.pdf")
                                        << QByteArray("PUT\n\n\nD\n/b/dir/\xc3\xa9 x.pdf");
}

void TestServiceProtocol::stringToSign()
{
    QFETCH(QList<QByteArray>, headers);
    QFETCH(QString, key);
    QFETCH(QByteArray, expected);
    OssSignature::Headers list;
    for (qsizetype i = 0; i + 1 < headers.size(); i += 2)
        list.append({headers[i], headers[i + 1]});
    QCOMPARE(OssSignature::stringToSign("PUT", list, QStringLiteral("b"), key), expected);
}

void TestServiceProtocol::authorizationHeader_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("plain") << QByteArray("OSS STS.AB:c2ln=") << true << QByteArray("STS.AB") << QByteArray("c2ln=");
    QTest::newRow("other scheme") << QByteArray("AWS a:b") << false << QByteArray() << QByteArray();
    QTest::newRow("no signature") << QByteArray("OSS id:") << false << QByteArray() << QByteArray();
    QTest::newRow("no id") << QByteArray("OSS :sig") << false << QByteArray() << QByteArray();
    QTest::newRow("empty") << QByteArray() << false << QByteArray() << QByteArray();
}

void TestServiceProtocol::authorizationHeader()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, valid);
    QByteArray id;
    QByteArray signature;
    QCOMPARE(OssSignature::parseAuthorization(header, &id, &signature), valid);
    if (valid) {
        QTEST(id, "id");
        QTEST(signature, "signature");
    }
}

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
                                    << QByteArray("{\"bucket\":\"b\",\"object\":\"a\\\",\\\"object\\\":\\\"x\",\"size\":1234,"
                                                  "\"m\":\"text/plain\",\"e\":\"ABC\"}");
    QTest::newRow("form") << QStringLiteral("application/x-www-form-urlencoded") << QStringLiteral("a b&c")
                          << QByteArray("{\"bucket\":b,\"object\":a%20b%26c,\"size\":1234,\"m\":text%2Fplain,\"e\":ABC}");
}

void TestServiceProtocol::callbackSubstitution()
{
    QFETCH(QString, type);
    QFETCH(QString, object);
    const UploadCallback::Parameters parameters{
        {}, QStringLiteral("{\"bucket\":${bucket},\"object\":${object},\"size\":${size},\"m\":${mimeType},\"e\":${etag}}"),
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
    QTest::newRow("default body type") << QByteArray("{\"callbackUrl\":\"https://h/\",\"callbackBody\":\"x\"}").toBase64()
                                       << true << QStringLiteral("application/x-www-form-urlencoded");
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
    QCOMPARE(value, QByteArray("attachment; filename=\"a_b_c r_sum_.pdf\"; filename*=UTF-8''a%22b%5Cc%20r%C3%A9sum%C3%A9.pdf"));
}

void TestServiceProtocol::listenAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("address and port") << QStringLiteral("127.0.0.1:8443") << true << QStringLiteral("127.0.0.1") << 8443;
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

void TestServiceProtocol::requestParametersMergeQueryAndBody_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("token");
    QTest::newRow("json body wins") << QByteArray("application/json") << QByteArray("{\"api_token\":\"b\"}") << QStringLiteral("b");
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
#include "tst_service_protocol.moc"
