#include "convert/PDFConvert.h"
#include "convert/ServiceProtocol.h"

#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>

class TestServiceProtocol : public QObject {
    Q_OBJECT

    static std::optional<QVariantMap> reply(const QByteArray &json) { return ServiceProtocol::parseReply(json); }

private slots:
    void successIsStatusExactlyOne_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::newRow("number 1") << QByteArray(R"({"status":1})") << true;
        QTest::newRow("text 1") << QByteArray(R"({"status":"1"})") << true;
        QTest::newRow("text with blanks") << QByteArray(R"({"status":" 1 "})") << true;
        QTest::newRow("1.0") << QByteArray(R"({"status":1.0})") << true;
        QTest::newRow("0") << QByteArray(R"({"status":0})") << false;
        QTest::newRow("2") << QByteArray(R"({"status":2})") << false;
        QTest::newRow("absent") << QByteArray(R"({"data":{}})") << false;
        QTest::newRow("not numeric text") << QByteArray(R"({"status":"ok"})") << false;
        QTest::newRow("1 followed by text") << QByteArray(R"({"status":"1abc"})") << false;
        QTest::newRow("boolean") << QByteArray(R"({"status":true})") << false;
        QTest::newRow("null") << QByteArray(R"({"status":null})") << false;
        QTest::newRow("array reply") << QByteArray(R"([{"status":1}])") << false;
        QTest::newRow("garbage") << QByteArray("<html>502</html>") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("invalid UTF-8") << QByteArray("{\"status\":1, \"x\":\"\xff\xfe\"}") << true;
    }

    void successIsStatusExactlyOne()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QCOMPARE(ServiceProtocol::isSuccess(reply(body)), success);
    }

    void integerValues()
    {
        QCOMPARE(ServiceProtocol::integerValue(QVariant(qint64(40))), 40);
        QCOMPARE(ServiceProtocol::integerValue(QStringLiteral("-3")), -3);
        QCOMPARE(ServiceProtocol::integerValue(QStringLiteral("99.9")), 99);
        QCOMPARE(ServiceProtocol::integerValue(QVariant(1e300)), 0);
        QCOMPARE(ServiceProtocol::integerValue(QStringLiteral("99999999999999999999999")), 0);
        QCOMPARE(ServiceProtocol::integerValue(QVariant()), 0);
        QCOMPARE(ServiceProtocol::integerValue(QVariantMap()), 0);
    }

    void valueAtPath()
    {
        const QVariantMap map = *reply(R"({"data":{"user":{"api_token":"T"}},"list":[1]})");
        const QStringList path{QStringLiteral("data"), QStringLiteral("user"), QStringLiteral("api_token")};
        QCOMPARE(ServiceProtocol::valueAtPath(map, path).toString(), QStringLiteral("T"));
        QVERIFY(!ServiceProtocol::valueAtPath(map, {QStringLiteral("data"), QStringLiteral("nobody")}).isValid());
        QVERIFY(!ServiceProtocol::valueAtPath(map, {QStringLiteral("list"), QStringLiteral("x")}).isValid());
    }

    void requestParameters()
    {
        const auto json = [](const QVariantMap &map) {
            return QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact);
        };
        QCOMPARE(json(ServiceProtocol::tokenParameters(QStringLiteral("ID"))),
                 QByteArray(R"({"identity_token":"ID"})"));
        QCOMPARE(json(ServiceProtocol::credentialParameters(QStringLiteral("a b.pdf"), QStringLiteral("T"))),
                 QByteArray(R"({"Cli-Os":"mac","api_token":"T","files":["a b.pdf"]})"));
        QCOMPARE(json(ServiceProtocol::statusParameters(QStringLiteral("T"))),
                 QByteArray(R"({"Cli-Os":"mac","api_token":"T"})"));
        const QVariantMap creation = ServiceProtocol::creationParameters(
            QStringLiteral("T"), QStringLiteral("merge-pdf"), {QStringLiteral("f1"), QStringLiteral("f2")}, {});
        QCOMPARE(
            json(creation),
            QByteArray(
                R"({"Cli-Os":"mac","api_token":"T","args":{},"autostart":"1","files":[{"file_id":"f1","password":""},{"file_id":"f2","password":""}],"product_id":"202","service_type":"merge-pdf"})"));
        const QVariantMap untyped = ServiceProtocol::creationParameters(QStringLiteral("T"), QString(), {}, {});
        QVERIFY(!untyped.contains(QStringLiteral("service_type")));
    }

    void masking()
    {
        QCOMPARE(ServiceProtocol::maskSecret(QStringLiteral("0123456789abcdef")), QStringLiteral("0123…"));
        QCOMPARE(ServiceProtocol::maskSecret(QStringLiteral("short")), QStringLiteral("…"));
        QCOMPARE(ServiceProtocol::maskSecret(QString()), QString());

        const QString described = ServiceProtocol::describeParameters(ServiceProtocol::creationParameters(
            QStringLiteral("SECRETAPITOKEN123"), QStringLiteral("pdf-to-word"), {QStringLiteral("f1")}, {}));
        QVERIFY(!described.contains(QStringLiteral("SECRETAPITOKEN123")));
        QVERIFY(described.contains(QStringLiteral("SECR…")));
        QVERIFY(described.contains(QStringLiteral("pdf-to-word")));

        const QVariantMap nested{{QStringLiteral("data"), QVariantList{QVariantMap{{QStringLiteral("access_secret"),
                                                                                    QStringLiteral("SSSSSSSSSSSS")}}}}};
        QVERIFY(!ServiceProtocol::describeParameters(nested).contains(QStringLiteral("SSSSSSSSSSSS")));
    }

    void maskingReplyText()
    {
        // Escaped quotes inside a secret value must not end the masking early.
        const QString text = QStringLiteral("{\"status\":0,\"data\":{\"user\":{\"api_token\" : \"APITOKEN-VALUE-1234\","
                                            "\"name\":\"x\"}},\"security_token\":\"STS\\\"TOKEN\\\"VALUE\"} trailing");
        const QString masked = ServiceProtocol::maskSecretsInText(text);
        QVERIFY(!masked.contains(QStringLiteral("APITOKEN-VALUE-1234")));
        QVERIFY(!masked.contains(QStringLiteral("TOKEN\\\"VALUE")));
        QVERIFY(masked.contains(QStringLiteral(R"("name":"x")")));
        QVERIFY(masked.endsWith(QStringLiteral(" trailing")));
        QCOMPARE(ServiceProtocol::maskSecretsInText(QStringLiteral("no secrets")), QStringLiteral("no secrets"));
    }

    void maskingEverySecretField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("secret");
        QTest::newRow("identity_token") << QStringLiteral("identity_token") << true;
        QTest::newRow("api_token") << QStringLiteral("api_token") << true;
        QTest::newRow("access_secret") << QStringLiteral("access_secret") << true;
        QTest::newRow("security_token") << QStringLiteral("security_token") << true;
        QTest::newRow("access_id") << QStringLiteral("access_id") << false;
        QTest::newRow("secret name inside another") << QStringLiteral("old_api_token") << false;
        QTest::newRow("secret name as a prefix") << QStringLiteral("api_token_hint") << false;
    }

    // A log line of the parameters and one of the reply text hide the same fields.
    void maskingEverySecretField()
    {
        QFETCH(QString, field);
        QFETCH(bool, secret);
        const QString value = QStringLiteral("VALUE-0123456789");
        const QString reply = QStringLiteral("{\"status\":1,\"data\":{\"%1\" : \"%2\"}}").arg(field, value);
        QCOMPARE(!ServiceProtocol::maskSecretsInText(reply).contains(value), secret);
        QCOMPARE(!ServiceProtocol::describeParameters({{field, value}}).contains(value), secret);
    }

    void serviceUrl_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "https://svc.example.org/api"
                               << "https://svc.example.org/api";
        QTest::newRow("api appended") << "https://127.0.0.1:8443"
                                      << "https://127.0.0.1:8443/api";
        QTest::newRow("trailing slash") << "https://svc.example.org/api/"
                                        << "https://svc.example.org/api";
        QTest::newRow("sub path") << " https://h.example.org/v2/ "
                                  << "https://h.example.org/v2/api";
        QTest::newRow("upper-case scheme") << "HTTPS://h.example.org/api"
                                           << "https://h.example.org/api";
        QTest::newRow("http refused") << "http://svc.example.org/api"
                                      << "";
        QTest::newRow("no scheme") << "svc.example.org/api"
                                   << "";
        QTest::newRow("query refused") << "https://h.example.org/api?x=1"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void serviceUrl()
    {
        QFETCH(QString, configured);
        QFETCH(QString, expected);
        QCOMPARE(PDFConvert::normalizedServiceUrl(configured), expected);
    }
};

MIRELUNE_TEST_MAIN(TestServiceProtocol)
#include "tst_serviceprotocol.moc"
