#include "protocol/OssSignature.h"
#include "protocol/ServiceTypes.h"
#include "support/TestMain.h"

// What client and service share: the object-store signature, checked once
// against the store's published example, and the service-type names.
class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void signatureMatchesPublishedExample();
    void stringToSign_data();
    void stringToSign();
    void authorizationHeader_data();
    void authorizationHeader();
    void httpDate();
    void serviceTypesAreDistinct();
};

void TestProtocol::signatureMatchesPublishedExample()
{
    const QByteArray toSign =
        "PUT\nODBGOERFMDMzQTczRUY3NUE3NzA5QzdFNUYzMDQxNEM=\ntext/html\nThu, 17 Nov 2005 18:49:58 GMT\n"
        "x-oss-magic:abracadabra\nx-oss-meta-author:foo@bar.com\n/oss-example/nelson";
    QCOMPARE(OssSignature::sign("OtxrzxIsfpFjA7SwPzILwy8Bw21TLhquhboDYROV", toSign),
             QByteArray("26NBxoKdsyly4EDv6inkoDft/yA="));
    const OssSignature::Headers headers = {{"X-OSS-Meta-Author", "foo@bar.com"},
                                           {"Content-Type", "text/html"},
                                           {"Content-MD5", "ODBGOERFMDMzQTczRUY3NUE3NzA5QzdFNUYzMDQxNEM="},
                                           {"Date", "Thu, 17 Nov 2005 18:49:58 GMT"},
                                           {"x-oss-magic", "abracadabra"},
                                           {"Host", "oss-example.store.example"}};
    QCOMPARE(OssSignature::stringToSign("PUT", headers, QStringLiteral("oss-example"), QStringLiteral("nelson")),
             toSign);
}

void TestProtocol::stringToSign_data()
{
    QTest::addColumn<QList<QByteArray>>("headers"); // name, value, name, value, ...
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no md5, no oss headers")
        << QList<QByteArray>{"Content-Type", "application/pdf", "Date", "D"} << QStringLiteral("uploads/a")
        << QByteArray("PUT\n\napplication/pdf\nD\n/b/uploads/a");
    QTest::newRow("oss headers sorted and lower-cased")
        << QList<QByteArray>{"x-oss-security-token", "T", "X-Oss-Callback", "C", "Date", "D"} << QStringLiteral("k")
        << QByteArray("PUT\n\n\nD\nx-oss-callback:C\nx-oss-security-token:T\n/b/k");
    QTest::newRow("key signed decoded") << QList<QByteArray>{"Date", "D"} << QStringLiteral("dir/é x.pdf")
                                        << QByteArray("PUT\n\n\nD\n/b/dir/\xc3\xa9 x.pdf");
    // An SDK dates its request by x-oss-date alone: that value takes the Date
    // position and is signed again among the x-oss- headers.
    QTest::newRow("x-oss-date in place of Date")
        << QList<QByteArray>{"Content-Type",         "application/octet-stream",
                             "X-OSS-Date",           "Wed, 02 Dec 2026 10:00:00 GMT",
                             "x-oss-security-token", "T"}
        << QStringLiteral("k")
        << QByteArray("PUT\n\napplication/octet-stream\nWed, 02 Dec 2026 10:00:00 GMT\n"
                      "x-oss-date:Wed, 02 Dec 2026 10:00:00 GMT\nx-oss-security-token:T\n/b/k");
    QTest::newRow("Date kept when x-oss-date is there too")
        << QList<QByteArray>{"x-oss-date", "E", "Date", "D"} << QStringLiteral("k")
        << QByteArray("PUT\n\n\nD\nx-oss-date:E\n/b/k");
}

void TestProtocol::stringToSign()
{
    QFETCH(QList<QByteArray>, headers);
    QFETCH(QString, key);
    QFETCH(QByteArray, expected);
    OssSignature::Headers list;
    for (qsizetype i = 0; i + 1 < headers.size(); i += 2)
        list.append({headers[i], headers[i + 1]});
    QCOMPARE(OssSignature::stringToSign("PUT", list, QStringLiteral("b"), key), expected);
}

void TestProtocol::authorizationHeader_data()
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

void TestProtocol::authorizationHeader()
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

void TestProtocol::httpDate()
{
    const QDateTime time(QDate(2005, 11, 17), QTime(18, 49, 58), Qt::UTC);
    QCOMPARE(OssSignature::httpDate(time), QStringLiteral("Thu, 17 Nov 2005 18:49:58 GMT"));
    const QDateTime local(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::OffsetFromUTC, 3600);
    QCOMPARE(OssSignature::httpDate(local), QStringLiteral("Fri, 02 Jan 2026 02:04:05 GMT"));
}

void TestProtocol::serviceTypesAreDistinct()
{
    QSet<QString> seen;
    for (const QString &type : ServiceTypes::all()) {
        QVERIFY2(!type.isEmpty() && !seen.contains(type), qPrintable(type));
        seen.insert(type);
    }
    QCOMPARE(seen.size(), 11);
    QVERIFY(seen.contains(QStringLiteral("merge-pdf")));
}

MIRELUNE_TEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
