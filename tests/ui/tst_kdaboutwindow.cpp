#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDUnderlinedButton.h"
#include "product/AppSettings.h"
#include "ui/KDAboutWindow.h"

#include "support/TestMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QtTest>

namespace {

// Receives the addresses the application asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

const QColor kLinkColor(87, 142, 243);

} // namespace

class TestKDAboutWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsTheProductFacts();
    void relabelsOnLanguageChange();
    void linkOpensItsOwnTitle();
    void titleBarButtonsNeverShow();

private:
    QPointer<KDAboutWindow> mWindow;
};

void TestKDAboutWindow::init()
{
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    mWindow = KDAboutWindow::LoadFromNib();
    QVERIFY(mWindow);
}

void TestKDAboutWindow::cleanup()
{
    delete mWindow.data();
}

void TestKDAboutWindow::showsTheProductFacts()
{
    QCOMPARE(mWindow->mLabelAppName()->text(), AppSettings::AppName());
    QCOMPARE(mWindow->mLabelVersion()->text(), AppSettings::AppVersion());
    QVERIFY(!AppSettings::AppCopyright().isEmpty());
    QCOMPARE(mWindow->mLabelCopyright()->text(), AppSettings::AppCopyright());
    KDUnderlinedButton *link = mWindow->mLbtnHomeLink();
    QCOMPARE(link->title(), AppSettings::ProductLink());
    QCOMPARE(link->size(), link->sizeHint());
    for (auto state : {KDUnderlinedButton::Normal, KDUnderlinedButton::Highlighted, KDUnderlinedButton::Disabled})
        QCOMPARE(link->titleColor(state), kLinkColor);
    QCOMPARE(link->underlineColor(), kLinkColor);
    QCOMPARE(mWindow->backgroundColor(), QColor(Qt::white));
}

void TestKDAboutWindow::relabelsOnLanguageChange()
{
    mWindow->mLabelVersion()->setText(QStringLiteral("kept"));
    CommAppInfo info = VAZevediZeziz::appInfo();
    info.setAppLocalizedName(QStringLiteral("Mirelune Convertisseur PDF"));
    VAZevediZeziz::setAppInfo(info);
    mWindow->mLabelCopyright()->clear();
    NotificationCenter::defaultCenter().postNotificationName(KDAboutWindow::kLangDidChangeNotification);

    QCOMPARE(mWindow->mLabelAppName()->text(), QStringLiteral("Mirelune Convertisseur PDF"));
    QCOMPARE(mWindow->mLabelCopyright()->text(), AppSettings::AppCopyright());
    QCOMPARE(mWindow->mLbtnHomeLink()->title(), AppSettings::ProductLink());
    QCOMPARE(mWindow->mLabelVersion()->text(), QStringLiteral("kept"));
}

void TestKDAboutWindow::linkOpensItsOwnTitle()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    mWindow->show();
    QTest::mouseClick(mWindow->mLbtnHomeLink(), Qt::LeftButton);
    QCOMPARE(recorder.opened, QList<QUrl>{QUrl(AppSettings::ProductLink())});

    // Only web addresses leave the window.
    mWindow->mLbtnHomeLink()->setTitle(QStringLiteral("file:///etc/passwd"));
    QTest::mouseClick(mWindow->mLbtnHomeLink(), Qt::LeftButton);
    QCOMPARE(recorder.opened.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestKDAboutWindow::titleBarButtonsNeverShow()
{
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    QVERIFY(!mWindow->minButton()->isVisible());
    QVERIFY(!mWindow->zoomButton()->isVisible());
    QVERIFY(mWindow->closeButton()->isVisible());
    // Past the delayed second hiding.
    QTest::qWait(150);
    QVERIFY(!mWindow->minButton()->isVisible());
    QVERIFY(!mWindow->zoomButton()->isVisible());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestKDAboutWindow)
#include "tst_kdaboutwindow.moc"
