#include "frameworks/CommLang.h"
#include "frameworks/CommPassport.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDChildWindows.h"
#include "product/AppSettings.h"
#include "ui/DEVavuzAze.h"

#include "support/TestMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString kToken = QStringLiteral("eyJhbGciOiJIUzI1NiJ9.eyJzdWIiOiJtaXJlbHVuZSJ9.q7Wx9Qk");
const QString kMask(8, QChar(0x2022));

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

class TestAccountWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void signInStoresTheTokenAndShowsOnlyAMask();
    void signOutAndOutsideChangesAreFollowed();
    void aTokenThatCannotBeStoredIsReported();
    void oneWindowCentredOverItsParent();
    void relabelsOnLanguageChange();

private:
    std::unique_ptr<QWidget> mParent;
    QPointer<DEVavuzAze> mWindow;
    QObject mObserver;
    int mPosts = 0;
};

void TestAccountWindow::initTestCase()
{
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    mParent = std::make_unique<QWidget>();
    mParent->setGeometry(120, 90, 760, 560);
    mParent->show();
    NotificationCenter::defaultCenter().addObserver(&mObserver, CommPassport::kPassportDidUpdate,
                                                    [this](const QString &, const QVariantMap &) { ++mPosts; });
}

void TestAccountWindow::init()
{
    CommPassport::signOut();
    mPosts = 0;
    mWindow = DEVavuzAze::showRelativeToWindow(mParent.get());
    QVERIFY(mWindow && mWindow->isVisible());
}

void TestAccountWindow::cleanup()
{
    delete mWindow.data();
}

void TestAccountWindow::signInStoresTheTokenAndShowsOnlyAMask()
{
    QCOMPARE(mWindow->mLabelStatus()->text(), text("AccountSignedOut"));
    QVERIFY(mWindow->mTextFieldToken()->isVisible());
    QCOMPARE(mWindow->mTextFieldToken()->echoMode(), QLineEdit::Password);
    QVERIFY(!mWindow->mBtnSignOut()->isVisible());

    // Nothing but spaces is no token.
    QTest::keyClicks(mWindow->mTextFieldToken(), QStringLiteral("   "));
    QVERIFY(!mWindow->mBtnSignIn()->isEnabled());
    mWindow->mTextFieldToken()->clear();
    QTest::keyClicks(mWindow->mTextFieldToken(), kToken + QStringLiteral("  "));
    QVERIFY(mWindow->mBtnSignIn()->isEnabled());
    QTest::mouseClick(mWindow->mBtnSignIn(), Qt::LeftButton);

    QCOMPARE(mPosts, 1);
    CommPassport::resetCache();
    QCOMPARE(CommPassport::storedIdentityToken(), kToken);
    QCOMPARE(mWindow->mLabelStatus()->text(), text("AccountSignedIn"));
    QCOMPARE(mWindow->mLabelToken()->text(), text("AccountToken").arg(kMask + QStringLiteral("x9Qk")));
    QVERIFY(mWindow->mBtnSignOut()->isVisible());
    QVERIFY(!mWindow->mTextFieldToken()->isVisible());
    QVERIFY(!mWindow->mLabelError()->isVisible());
    QVERIFY(mWindow->mTextFieldToken()->text().isEmpty());
    // A short token shows nothing of itself.
    QCOMPARE(DEVavuzAze::maskedToken(QStringLiteral("0123456789abcde")), kMask);
}

void TestAccountWindow::signOutAndOutsideChangesAreFollowed()
{
    QVERIFY(CommPassport::signInWithIdentityToken(kToken));
    QCOMPARE(mWindow->mLabelStatus()->text(), text("AccountSignedIn"));
    // A token of this process alone (the embedded service's) is no signed-in account.
    CommPassport::setProcessIdentityToken(QStringLiteral("process-only-token-0000"));
    QCOMPARE(mWindow->mLabelToken()->text(), text("AccountToken").arg(kMask + QStringLiteral("x9Qk")));
    CommPassport::setProcessIdentityToken(QString());
    mPosts = 0;

    QTest::mouseClick(mWindow->mBtnSignOut(), Qt::LeftButton);
    QCOMPARE(mPosts, 1);
    CommPassport::resetCache();
    QVERIFY(CommPassport::storedIdentityToken().isEmpty());
    QCOMPARE(mWindow->mLabelStatus()->text(), text("AccountSignedOut"));
    QVERIFY(mWindow->mTextFieldToken()->isVisible());
    QVERIFY(!mWindow->mLabelToken()->isVisible());
}

void TestAccountWindow::aTokenThatCannotBeStoredIsReported()
{
    // A file where the token's folder should be: the store cannot write.
    const QString folder = CommPassport::fallbackFolder();
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(QFileInfo(folder).path()));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QTest::keyClicks(mWindow->mTextFieldToken(), kToken);
    QTest::mouseClick(mWindow->mBtnSignIn(), Qt::LeftButton);
    QVERIFY(blocker.remove());

    QCOMPARE(mPosts, 0);
    QVERIFY(mWindow->mLabelError()->isVisible());
    QCOMPARE(mWindow->mLabelError()->text(), text("AccountSaveFailed"));
    QCOMPARE(mWindow->mLabelStatus()->text(), text("AccountSignedOut"));
    // The token stays for another try; typing hides the error.
    QCOMPARE(mWindow->mTextFieldToken()->text(), kToken);
    QTest::keyClick(mWindow->mTextFieldToken(), Qt::Key_Backspace);
    QVERIFY(!mWindow->mLabelError()->isVisible());
}

void TestAccountWindow::oneWindowCentredOverItsParent()
{
    QCOMPARE(DEVavuzAze::showRelativeToWindow(mParent.get()), mWindow.data());
    QVERIFY(KDChildWindows::childWindows(mParent.get()).contains(mWindow.data()));
    const QPoint offset = mWindow->geometry().center() - mParent->geometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));

    const QPointer<DEVavuzAze> first = mWindow;
    mWindow->close();
    QTRY_VERIFY(first.isNull());
    mWindow = DEVavuzAze::showRelativeToWindow(mParent.get());
    QVERIFY(mWindow && mWindow->isVisible());
}

void TestAccountWindow::relabelsOnLanguageChange()
{
    const CommAppInfo english = VAZevediZeziz::appInfo();
    CommAppInfo german = english;
    german.setAppLang(QStringLiteral("German"));
    VAZevediZeziz::setAppInfo(german);
    NotificationCenter::defaultCenter().postNotificationName(DEVavuzAze::kLangDidChangeNotification);
    const QString title = mWindow->windowTitle();
    const QString signIn = mWindow->mBtnSignIn()->text();
    const QString status = mWindow->mLabelStatus()->text();
    VAZevediZeziz::setAppInfo(english);

    QCOMPARE(title, QStringLiteral("Konto"));
    QCOMPARE(signIn, QStringLiteral("Anmelden"));
    QCOMPARE(status, QStringLiteral("Nicht angemeldet"));
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestAccountWindow)
#include "tst_accountwindow.moc"
