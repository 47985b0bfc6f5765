#include "frameworks/CommFeedback.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/UpdateChecker.h"

#include "support/FakeHttpsServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSysInfo>
#include <QTcpServer>
#include <QUrlQuery>

#include <optional>

class TestUpdateCheck : public QObject {
    Q_OBJECT

    std::optional<UpdateChecker::Result> checkAgainst(const QString &feed, const QString &current)
    {
        DIRADoduredode client;
        client.addCaCertificatesFromFile(TestCertificates::instance().caFile());
        client.setTransferTimeout(scaledMs(2000));
        QMutex mutex;
        std::optional<UpdateChecker::Result> result;
        UpdateChecker::check(client, feed, current, [&](const UpdateChecker::Result &r) {
            QMutexLocker lock(&mutex);
            result = r;
        });
        [[maybe_unused]] const bool arrived = QTest::qWaitFor(
            [&] {
                QMutexLocker lock(&mutex);
                return result.has_value();
            },
            10000);
        QMutexLocker lock(&mutex);
        return result;
    }

private slots:
    void versions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("numeric, not text") << "1.10.0"
                                           << "1.9.3" << 1;
        QTest::newRow("same") << "1.0.0"
                              << "1.0.0 (06/08/2020)" << 0;
        QTest::newRow("missing parts") << "1.0"
                                       << "1.0.1" << -1;
        QTest::newRow("major") << "2"
                               << "1.99.99" << 1;
    }

    void versions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int result = UpdateChecker::compareVersions(a, b);
        QCOMPARE((result > 0) - (result < 0), sign);
    }

    void feedAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("outcome");
        QTest::newRow("newer") << QByteArray(
                                      "{\"version\":\"9.0.0\",\"url\":\"https://example.org/dl\",\"notes\":\"n\"}")
                               << int(UpdateChecker::Outcome::NewerVersion);
        QTest::newRow("same") << QByteArray(R"({"version":"1.0.0"})") << int(UpdateChecker::Outcome::UpToDate);
        QTest::newRow("older") << QByteArray(R"({"version":"0.9"})") << int(UpdateChecker::Outcome::UpToDate);
        QTest::newRow("broken JSON") << QByteArray("{\"version\":") << int(UpdateChecker::Outcome::Failed);
        QTest::newRow("no version") << QByteArray(R"({"url":"x"})") << int(UpdateChecker::Outcome::Failed);
    }

    void feedAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, outcome);
        FakeHttpsServer server;
        QVERIFY(server.listen());
        server.setHandler([body](const RecordedRequest &) { return FakeResponse::json(body); });
        const auto result =
            checkAgainst(server.origin() + QStringLiteral("/feed.json"), QStringLiteral("1.0.0 (06/08/2020)"));
        QVERIFY(result.has_value());
        QCOMPARE(int(result->outcome), outcome);
        if (result->outcome == UpdateChecker::Outcome::NewerVersion) {
            QCOMPARE(result->latestVersion, QStringLiteral("9.0.0"));
            QCOMPARE(result->downloadUrl, QStringLiteral("https://example.org/dl"));
        }
        if (result->outcome == UpdateChecker::Outcome::Failed)
            QVERIFY(!result->failure.isEmpty());
    }

    void unreachableAndUnconfigured()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        const auto unreachable =
            checkAgainst(QStringLiteral("https://127.0.0.1:%1/feed.json").arg(port), QStringLiteral("1.0.0"));
        QVERIFY(unreachable.has_value());
        QCOMPARE(int(unreachable->outcome), int(UpdateChecker::Outcome::Failed));
        QVERIFY(unreachable->failure.contains(QStringLiteral("could not be reached")));

        for (const QString &feed : {QString(), QStringLiteral("http://127.0.0.1/feed.json")}) {
            const auto result = checkAgainst(feed, QStringLiteral("1.0.0"));
            QVERIFY(result.has_value());
            QCOMPARE(int(result->outcome), int(UpdateChecker::Outcome::NotConfigured));
        }
    }

    void feedbackAddress()
    {
        const QUrl mail = CommFeedback::feedbackUrl(QStringLiteral("help@mirelune.com"), QStringLiteral("1.0.0"),
                                                    QStringLiteral("Mac version: 12"));
        QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
        QCOMPARE(mail.path(), QStringLiteral("help@mirelune.com"));
        const QUrlQuery query(mail);
        QVERIFY(query.queryItemValue(QStringLiteral("subject")).contains(QStringLiteral("1.0.0")));
        QVERIFY(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                    .contains(QStringLiteral("Mac version: 12")));
        QCOMPARE(
            CommFeedback::feedbackUrl(QStringLiteral("https://mirelune.com/feedback"), QStringLiteral("1"), QString())
                .scheme(),
            QStringLiteral("https"));
        QVERIFY(!CommFeedback::feedbackUrl(QStringLiteral("javascript:alert(1)"), QStringLiteral("1"), QString())
                     .isValid());
    }

    // The mail names this system as a person knows it, not the request
    // header's value.
    void feedbackNamesThisSystem()
    {
        const QString system = CommFeedback::systemDescription();
        QVERIFY(system.contains(QSysInfo::kernelVersion()));
        if (!QSysInfo::prettyProductName().isEmpty())
            QVERIFY(system.startsWith(QSysInfo::prettyProductName()));
        QVERIFY(!system.contains(QStringLiteral("Mac")));
        const QString body =
            QUrlQuery(CommFeedback::submissionUrl()).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
        QVERIFY2(body.contains(QStringLiteral("System: ") + system), qPrintable(body));
        QCOMPARE(CommFeedback::submissionUrl().path(), QStringLiteral("feedback@mirelune.com"));
    }
};

MIRELUNE_TEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
