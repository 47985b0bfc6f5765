#include "frameworks/CommPassport.h"
#include "frameworks/CommUtils.h"
#include "frameworks/NotificationCenter.h"

#include "support/TestMain.h"

#include <QFile>
#include <QRegularExpression>
#include <QThread>

class TestNotifications : public QObject {
    Q_OBJECT

private slots:
    void observersInOrderWithUserInfo()
    {
        NotificationCenter center;
        QObject a;
        QObject b;
        QStringList calls;
        center.addObserver(&a, QStringLiteral("n"), [&](const QString &, const QVariantMap &info) {
            calls << QStringLiteral("a:") + info.value(QStringLiteral("k")).toString();
        });
        center.addObserver(&b, QStringLiteral("n"),
                           [&](const QString &, const QVariantMap &) { calls << QStringLiteral("b"); });
        center.addObserver(&b, QStringLiteral("other"),
                           [&](const QString &, const QVariantMap &) { calls << QStringLiteral("x"); });
        center.postNotificationName(QStringLiteral("n"), {{QStringLiteral("k"), 5}});
        QCOMPARE(calls, (QStringList{QStringLiteral("a:5"), QStringLiteral("b")}));
    }

    void destroyedObserversAreDropped()
    {
        NotificationCenter center;
        int calls = 0;
        {
            QObject gone;
            center.addObserver(&gone, QStringLiteral("n"), [&](const QString &, const QVariantMap &) { ++calls; });
            QCOMPARE(center.observerCount(QStringLiteral("n")), 1);
        }
        center.postNotificationName(QStringLiteral("n"));
        QCOMPARE(calls, 0);
        QCOMPARE(center.observerCount(QStringLiteral("n")), 0);
    }

    void removalByTokenAndByObserver()
    {
        NotificationCenter center;
        QObject a;
        int calls = 0;
        const quint64 token =
            center.addObserver(&a, QStringLiteral("n"), [&](const QString &, const QVariantMap &) { ++calls; });
        center.addObserver(&a, QStringLiteral("m"), [&](const QString &, const QVariantMap &) { ++calls; });
        center.removeObserver(token);
        center.postNotificationName(QStringLiteral("n"));
        QCOMPARE(calls, 0);
        center.removeObserver(&a);
        center.postNotificationName(QStringLiteral("m"));
        QCOMPARE(calls, 0);
    }

    void handlersMayChangeRegistrations()
    {
        // An observer removing a later one during a post: the later one is not called.
        NotificationCenter center;
        QObject a;
        QObject b;
        int bCalls = 0;
        center.addObserver(&a, QStringLiteral("n"), [&](const QString &, const QVariantMap &) {
            center.removeObserver(&b);
            center.addObserver(&a, QStringLiteral("n2"), [](const QString &, const QVariantMap &) {});
        });
        center.addObserver(&b, QStringLiteral("n"), [&](const QString &, const QVariantMap &) { ++bCalls; });
        center.postNotificationName(QStringLiteral("n"));
        QCOMPARE(bCalls, 0);
        QCOMPARE(center.observerCount(QStringLiteral("n2")), 1);
    }

    void postedOnTheCallingThread()
    {
        NotificationCenter center;
        QObject a;
        QThread *seen = nullptr;
        center.addObserver(&a, QStringLiteral("n"),
                           [&](const QString &, const QVariantMap &) { seen = QThread::currentThread(); });
        QThread *poster = QThread::create([&] { center.postNotificationName(QStringLiteral("n")); });
        poster->start();
        poster->wait();
        QCOMPARE(seen, poster);
        delete poster;
    }

    void passportSignInAndOutNotifyAndPersist()
    {
        qputenv("MIRELUNE_NO_KEYRING", "1");
        QObject observer;
        int updates = 0;
        NotificationCenter::defaultCenter().addObserver(&observer, CommPassport::kPassportDidUpdate,
                                                        [&](const QString &, const QVariantMap &) { ++updates; });
        QVERIFY(!CommPassport::isSignedIn());
        QVERIFY(!CommPassport::signInWithIdentityToken(QStringLiteral("   ")));
        QCOMPARE(updates, 0);

        QVERIFY(CommPassport::signInWithIdentityToken(QStringLiteral("identity-token-1")));
        QCOMPARE(updates, 1);
        QCOMPARE(CommPassport::identityToken(), QStringLiteral("identity-token-1"));

        // Stored readable by the user alone, and read back after a restart.
        const QString file = CommPassport::fallbackFolder() + QStringLiteral("/identity_token");
        QCOMPARE(QFile::permissions(file) &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFileDevice::Permissions());
        CommPassport::resetCache();
        QCOMPARE(CommPassport::identityToken(), QStringLiteral("identity-token-1"));

        CommPassport::signOut();
        QCOMPARE(updates, 2);
        QVERIFY(!QFile::exists(file));
        CommPassport::resetCache();
        QCOMPARE(CommPassport::identityToken(), QString());
    }

    void processTokenWinsAndIsNeverStored()
    {
        qputenv("MIRELUNE_NO_KEYRING", "1");
        QVERIFY(CommPassport::signInWithIdentityToken(QStringLiteral("stored-token")));
        CommPassport::setProcessIdentityToken(QStringLiteral("process-token"));
        QCOMPARE(CommPassport::identityToken(), QStringLiteral("process-token"));
        CommPassport::resetCache();
        CommPassport::setProcessIdentityToken(QString());
        QCOMPARE(CommPassport::identityToken(), QStringLiteral("stored-token"));
        CommPassport::signOut();
    }

    void guidIsStableAndHidesTheMachineId()
    {
        const QString a = CommUtils::guidFromMachineId("0123456789abcdef0123456789abcdef");
        QCOMPARE(a, CommUtils::guidFromMachineId("0123456789abcdef0123456789abcdef"));
        QVERIFY(a != CommUtils::guidFromMachineId("0123456789abcdef0123456789abcdee"));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(a)
                    .hasMatch());
        QVERIFY(!QString(a).remove(QLatin1Char('-')).contains(QStringLiteral("0123456789"), Qt::CaseInsensitive));
        QCOMPARE(CommUtils::GetGuid(), CommUtils::GetGuid());
        QVERIFY(!CommUtils::GetGuid().isEmpty());
        QVERIFY(CommUtils::guidFromMachineId(QByteArray()).isEmpty());
    }

    void jsonToDictionary()
    {
        QCOMPARE(CommUtils::JsonToDictionary(QStringLiteral(R"({"a":1})"))->value(QStringLiteral("a")).toInt(), 1);
        QVERIFY(!CommUtils::JsonToDictionary(QStringLiteral("[1,2]")));
        QVERIFY(!CommUtils::JsonToDictionary(QStringLiteral("{")));
        QVERIFY(!CommUtils::JsonToDictionary(QString()));
        QVERIFY(CommUtils::GetOSversion().startsWith(QStringLiteral("Mac version: ")));
    }
};

MIRELUNE_TEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
