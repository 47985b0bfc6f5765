#include "frameworks/CommLang.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDChildWindows.h"
#include "product/AppSettings.h"
#include "settings/UserDefaults.h"
#include "ui/CommUpdate.h"
#include "ui/KDUpdateWindow.h"

#include "support/FakeHttpsServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

enum Feed { Newer, NewerElsewhere, Same, BrokenJson, Unreachable, NotConfigured };

const QByteArray kNewerFeed("{\"version\":\"9.0.0\",\"url\":\"https://example.org/dl\",\"notes\":\"Faster merging.\"}");

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

struct Answer {
    UpdateChecker::Outcome outcome = UpdateChecker::Outcome::Failed;
    QPointer<KDUpdateWindow> window;
    bool onMainThread = false;
};

} // namespace

class TestCommUpdate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void downloadOpensTheFeedsPage();
    void aWindowClosedWhileCheckingStaysClosed();

private:
    void serve(Feed feed);
    QList<KDUpdateWindow *> visibleUpdateWindows() const;
    bool centredHorizontally(const QWidget *window) const;

    std::unique_ptr<QWidget> mParent;
    std::unique_ptr<FakeHttpsServer> mServer;
    QList<Answer> mAnswers;
};

void TestCommUpdate::initTestCase()
{
    QVERIFY(TestCertificates::instance().isValid());
    DIRADoduredode::shared().addCaCertificatesFromFile(TestCertificates::instance().caFile());
    DIRADoduredode::shared().setTransferTimeout(5000);
    mParent = std::make_unique<QWidget>();
    mParent->setGeometry(100, 80, 800, 600);
    mParent->show();
    VAZevediZeziz::initWithCommAppInfo(AppSettings::GetAppInfo(), mParent.get());
    CommUpdate::setAnswerObserverForTesting([this](const UpdateChecker::Result &result, KDUpdateWindow *window) {
        mAnswers.append({result.outcome, window, QThread::currentThread() == qApp->thread()});
    });
}

void TestCommUpdate::init()
{
    mAnswers.clear();
    mServer = std::make_unique<FakeHttpsServer>();
    QVERIFY(mServer->listen());
}

void TestCommUpdate::cleanup()
{
    for (KDUpdateWindow *window : mParent->findChildren<KDUpdateWindow *>())
        delete window;
    mServer.reset();
}

void TestCommUpdate::serve(Feed feed)
{
    QString url = mServer->origin() + QStringLiteral("/feed.json");
    QByteArray body;
    switch (feed) {
    case Newer:
        body = kNewerFeed;
        break;
    case NewerElsewhere:
        body = "{\"version\":\"9.0.0\",\"url\":\"file:///etc/passwd\"}";
        break;
    case Same:
        body = "{\"version\":\"1.0.0\"}";
        break;
    case BrokenJson:
        body = "{\"version\":";
        break;
    case Unreachable: {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        url = QStringLiteral("https://127.0.0.1:%1/feed.json").arg(probe.serverPort());
        break;
    }
    case NotConfigured:
        url.clear();
        break;
    }
    mServer->setHandler([body](const RecordedRequest &) { return FakeResponse::json(body); });
    QVERIFY(saveObjectToUserDefaults(url.isEmpty() ? QVariant() : QVariant(url), UpdateChecker::kFeedUrlKey));
}

QList<KDUpdateWindow *> TestCommUpdate::visibleUpdateWindows() const
{
    QList<KDUpdateWindow *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<KDUpdateWindow *>(widget); window && window->isVisible())
            shown.append(window);
    }
    return shown;
}

// The answer may change the window's height after it was placed, never its width.
bool TestCommUpdate::centredHorizontally(const QWidget *window) const
{
    return qAbs(window->geometry().center().x() - mParent->geometry().center().x()) <= 1;
}

void TestCommUpdate::answers_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("feed");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("headlineKey"); // empty: no window
    QTest::addColumn<bool>("offersDownload");

    using O = UpdateChecker::Outcome;
    const QString newer = QStringLiteral("UpdateAvailable");
    const QString failed = QStringLiteral("UpdateFailed");
    QTest::newRow("user: newer") << false << int(Newer) << int(O::NewerVersion) << newer << true;
    QTest::newRow("user: newer, link not a web page")
        << false << int(NewerElsewhere) << int(O::NewerVersion) << newer << false;
    QTest::newRow("user: same") << false << int(Same) << int(O::UpToDate) << QStringLiteral("UpdateUpToDate") << false;
    QTest::newRow("user: broken JSON") << false << int(BrokenJson) << int(O::Failed) << failed << false;
    QTest::newRow("user: unreachable") << false << int(Unreachable) << int(O::Failed) << failed << false;
    QTest::newRow("user: not configured")
        << false << int(NotConfigured) << int(O::NotConfigured) << QStringLiteral("UpdateNotConfigured") << false;
    QTest::newRow("silent: newer") << true << int(Newer) << int(O::NewerVersion) << newer << true;
    QTest::newRow("silent: same") << true << int(Same) << int(O::UpToDate) << QString() << false;
    QTest::newRow("silent: broken JSON") << true << int(BrokenJson) << int(O::Failed) << QString() << false;
    QTest::newRow("silent: unreachable") << true << int(Unreachable) << int(O::Failed) << QString() << false;
    QTest::newRow("silent: not configured")
        << true << int(NotConfigured) << int(O::NotConfigured) << QString() << false;
}

void TestCommUpdate::answers()
{
    QFETCH(bool, silent);
    QFETCH(int, feed);
    QFETCH(int, outcome);
    QFETCH(QString, headlineKey);
    QFETCH(bool, offersDownload);
    serve(Feed(feed));

    if (silent) {
        CommUpdate::checkSilent(mParent.get());
        QVERIFY(visibleUpdateWindows().isEmpty());
    } else {
        CommUpdate::check(mParent.get());
        KDUpdateWindow *checking = CommUpdate::currentWindow();
        QVERIFY(checking && checking->isVisible() && checking->isChecking());
        QCOMPARE(checking->mLabelHeadline()->text(), text("UpdateChecking"));
        QVERIFY(KDChildWindows::childWindows(mParent.get()).contains(checking));
    }
    QTRY_COMPARE(mAnswers.size(), 1);
    QVERIFY(mAnswers[0].onMainThread);
    QCOMPARE(int(mAnswers[0].outcome), outcome);

    KDUpdateWindow *window = mAnswers[0].window;
    if (headlineKey.isEmpty()) {
        QVERIFY(!window);
        QVERIFY(visibleUpdateWindows().isEmpty());
        return;
    }
    QVERIFY(window && window->isVisible() && !window->isChecking());
    QCOMPARE(visibleUpdateWindows(), QList<KDUpdateWindow *>{window});
    QVERIFY(KDChildWindows::childWindows(mParent.get()).contains(window));
    QVERIFY(centredHorizontally(window));
    QCOMPARE(window->mLabelHeadline()->text(), CommLang::GetAppLang(headlineKey));
    QVERIFY(!window->mLabelDetail()->text().isEmpty());
    QCOMPARE(window->mBtnDownload()->isVisibleTo(window), offersDownload);
    QCOMPARE(window->downloadUrl().isValid(), offersDownload);
    if (outcome == int(UpdateChecker::Outcome::NewerVersion)) {
        QCOMPARE(window->mLabelDetail()->text(),
                 text("UpdateAvailableDetail").arg(QStringLiteral("9.0.0"), QStringLiteral("1.0.0")));
        QCOMPARE(window->mBtnClose()->text(), text("Later"));
    } else {
        QCOMPARE(window->mBtnClose()->text(), text("OK"));
    }
}

void TestCommUpdate::downloadOpensTheFeedsPage()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    serve(Newer);
    CommUpdate::checkSilent(mParent.get());
    QTRY_COMPARE(mAnswers.size(), 1);
    const QPointer<KDUpdateWindow> window = mAnswers[0].window;
    QVERIFY(window);
    QCOMPARE(window->mTextNotes()->toPlainText(), QStringLiteral("Faster merging."));
    QTest::mouseClick(window->mBtnDownload(), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(recorder.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/dl"))});
    QTRY_VERIFY(window.isNull());
}

void TestCommUpdate::aWindowClosedWhileCheckingStaysClosed()
{
    serve(Newer);
    mServer->setHandler([](const RecordedRequest &) {
        FakeResponse response = FakeResponse::json(kNewerFeed);
        response.delayMs = 300;
        return response;
    });
    CommUpdate::check(mParent.get());
    const QPointer<KDUpdateWindow> checking = CommUpdate::currentWindow();
    QVERIFY(checking);
    QTest::mouseClick(checking->mBtnClose(), Qt::LeftButton);
    QTRY_COMPARE(mAnswers.size(), 1);
    QCOMPARE(mAnswers[0].outcome, UpdateChecker::Outcome::NewerVersion);
    QVERIFY(!mAnswers[0].window);
    QVERIFY(visibleUpdateWindows().isEmpty());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestCommUpdate)
#include "tst_commupdate.moc"
