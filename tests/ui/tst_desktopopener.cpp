#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "frameworks/CommFeedback.h"
#include "frameworks/CommLang.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDUnderlinedButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/DesktopOpener.h"
#include "ui/KDAboutWindow.h"
#include "ui/KDNoticeWindow.h"
#include "ui/MainWindow.h"

#include "support/FakeConversionService.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

// A desktop without a file manager, browser or mail program (the test
// empties PATH): whatever the window would hand to the desktop is shown in
// a notice to copy instead.
class TestDesktopOpener : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noticeOffersTheAddress_data();
    void noticeOffersTheAddress();
    void noticeWithoutADetail();
    void windowActionsOfferTheirAddress_data();
    void windowActionsOfferTheirAddress();
    void resultsThatCannotBeShownAreOffered();

private:
    KDNoticeWindow *shownNotice() const;
    void checkNotice(const QString &message, const QString &detail);

    std::unique_ptr<QTemporaryDir> mOutputs;
    std::unique_ptr<MainWindow> mWindow;
};

void TestDesktopOpener::initTestCase()
{
    QVERIFY(TestCertificates::instance().isValid());
    // From here on no helper program can be found; the desktop services look
    // for one at their first use.
    qputenv("PATH", "/nonexistent/mirelune-no-helpers");
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    QVERIFY(QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty());
    PDFConvertTask::setQueryInterval(50);
    CommPassport::setProcessIdentityToken(QStringLiteral("test-identity-token-000"));
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
}

void TestDesktopOpener::init()
{
    UiFixtures::clearStore();
    mOutputs = std::make_unique<QTemporaryDir>();
    AppSettings::SetConvertOutputFolderPath(mOutputs->path());
    mWindow.reset(KDWindow::loadForNib<MainWindow>());
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
}

void TestDesktopOpener::cleanup()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<KDNoticeWindow *>(window) || qobject_cast<KDAboutWindow *>(window))
            windows.append(window);
    }
    for (const QPointer<QWidget> &window : std::as_const(windows))
        delete window.data();
    mWindow.reset();
    PDFConvert::abandonRun();
    UiFixtures::clearStore();
}

KDNoticeWindow *TestDesktopOpener::shownNotice() const
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *notice = qobject_cast<KDNoticeWindow *>(window); notice && notice->isVisible())
            return notice;
    }
    return nullptr;
}

// The notice names what could not be opened; Copy puts it on the
// clipboard, Escape closes it.
void TestDesktopOpener::checkNotice(const QString &message, const QString &detail)
{
    KDNoticeWindow *notice = shownNotice();
    QVERIFY(notice);
    QCOMPARE(notice->messageLabel()->text(), message);
    QCOMPARE(notice->detail(), detail);
    QVERIFY(notice->detailField()->isReadOnly());
    QCOMPARE(notice->copyButton()->text(), text("Copy"));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(notice->copyButton(), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), detail);
    QVERIFY(QTest::qWaitForWindowActive(notice));
    QTest::keyClick(notice, Qt::Key_Escape);
    QTRY_VERIFY(!shownNotice());
}

void TestDesktopOpener::noticeOffersTheAddress_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    const QString folder = QDir::tempPath();
    QTest::newRow("a folder") << QUrl::fromLocalFile(folder) << text("OpenFolderFailed") << folder;
    const QString file = QCoreApplication::applicationFilePath();
    QTest::newRow("a file") << QUrl::fromLocalFile(file) << text("OpenFileFailed") << file;
    QTest::newRow("a web page") << QUrl(QStringLiteral("https://www.mirelune.com/support/")) << text("OpenLinkFailed")
                                << QStringLiteral("https://www.mirelune.com/support/");
    QTest::newRow("a mail") << QUrl(QStringLiteral("mailto:feedback@mirelune.com?subject=Hello&body=Text"))
                            << text("OpenMailFailed") << QStringLiteral("feedback@mirelune.com");
}

void TestDesktopOpener::noticeOffersTheAddress()
{
    QFETCH(QUrl, url);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QVERIFY(!DesktopOpener::open(url, mWindow.get()));
    checkNotice(message, detail);
}

// Without a detail there is nothing to copy; Return closes it.
void TestDesktopOpener::noticeWithoutADetail()
{
    KDNoticeWindow *notice = KDNoticeWindow::showOver(mWindow.get(), QStringLiteral("Something to know"));
    QVERIFY(notice->detailField()->isHidden() && notice->copyButton()->isHidden());
    QCOMPARE(notice->closeButton()->text(), text("OK"));
    QCOMPARE(notice->width(), KDNoticeWindow::kWidth);
    QVERIFY(QTest::qWaitForWindowActive(notice));
    QTest::keyClick(notice, Qt::Key_Return);
    QTRY_VERIFY(!shownNotice());
}

void TestDesktopOpener::windowActionsOfferTheirAddress_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::newRow("Open Folder") << "open folder" << text("OpenFolderFailed") << QString();
    QTest::newRow("Support") << "support" << text("OpenLinkFailed") << AppSettings::SupportLink();
    QTest::newRow("Feedback") << "feedback" << text("OpenMailFailed") << QStringLiteral("feedback@mirelune.com");
    QTest::newRow("About's link") << "about" << text("OpenLinkFailed") << AppSettings::ProductLink();
}

void TestDesktopOpener::windowActionsOfferTheirAddress()
{
    QFETCH(QString, action);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    if (action == QLatin1String("open folder")) {
        QTest::mouseClick(mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnOpenFolder")), Qt::LeftButton);
        detail = mOutputs->path();
    } else if (action == QLatin1String("support")) {
        mWindow->actionForSupport();
    } else if (action == QLatin1String("feedback")) {
        mWindow->actionForFeedback();
    } else {
        auto *about = KDAboutWindow::LoadFromNib();
        about->show();
        QTest::mouseClick(about->mLbtnHomeLink(), Qt::LeftButton);
    }
    checkNotice(message, detail);
}

// After a run the results cannot be shown: once the summary has been read
// and the sheet closed, a notice offers their folder.
void TestDesktopOpener::resultsThatCannotBeShownAreOffered()
{
    FakeConversionService service;
    QVERIFY(service.listen());
    DIRADoduredode client;
    QVERIFY(client.addCaCertificatesFromFile(TestCertificates::instance().caFile()));
    PDFConvert::setHttpClient(&client);
    PDFConvert::setServiceUrlOverride(service.baseUrl());
    PDFConvert::clearToken();
    QTemporaryDir inputs;
    KDConvertFileManager::defaultManager().parseInputFiles(
        {UiFixtures::writeFile(inputs.path(), QStringLiteral("a.pdf"))}, ConvertFromPdf);

    QTest::mouseClick(mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnStartConvert")), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    QTRY_COMPARE_WITH_TIMEOUT(mWindow->runSummary(), QStringLiteral("1 converted"), 30000);
    QVERIFY(!shownNotice()); // not over the summary
    QTest::mouseClick(mWindow->sheetConvertProgressWindow()->btnCancel(), Qt::LeftButton);
    QVERIFY(!mWindow->attachedSheet());
    checkNotice(text("OpenFolderFailed"), mOutputs->path());
    PDFConvert::setHttpClient(nullptr);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestDesktopOpener)
#include "tst_desktopopener.moc"
