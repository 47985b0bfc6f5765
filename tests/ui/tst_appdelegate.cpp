#include "app/AppDelegate.h"
#include "convert/PDFConvert.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/FilesContentView.h"
#include "ui/MainWindow.h"

#include "support/FakeConversionService.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <atomic>

// Start-up: the window in the stored language, a fresh token after an account
// change, and quitting with the main window.
class TestAppDelegate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void launchLabelsTheWindow();
    void accountChangeDropsTheToken();
    void closingTheMainWindowQuits();

private:
    void obtainToken();

    AppDelegate mDelegate;
    MainWindow *mWindow = nullptr;
};

void TestAppDelegate::initTestCase()
{
    mWindow = KDWindow::loadForNib<MainWindow>();
    mWindow->setAttribute(Qt::WA_DeleteOnClose);
    mDelegate.setWindow(mWindow);
}

void TestAppDelegate::launchLabelsTheWindow()
{
    auto *start = mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnStartConvert"));
    QVERIFY(start->title().isEmpty());
    mWindow->show();
    mDelegate.applicationDidFinishLaunching();
    QCOMPARE(start->title(), QStringLiteral("Start"));
    QCOMPARE(mWindow->findChild<QLabel *>(QStringLiteral("mLabelDragFiles"))->text(),
             QStringLiteral("Drag files here or click Add Files"));
    QCOMPARE(mWindow->windowTitle(), AppSettings::AppName());
    QCOMPARE(VAZevediZeziz::parentWindow(), mWindow);
}

void TestAppDelegate::obtainToken()
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    PDFConvert::obtainApiToken([] {}, [done](bool, const QString &) { *done = true; });
    QTRY_VERIFY_WITH_TIMEOUT(*done, 15000);
}

void TestAppDelegate::accountChangeDropsTheToken()
{
    QVERIFY(TestCertificates::instance().isValid());
    FakeConversionService service;
    QVERIFY(service.listen());
    DIRADoduredode client;
    QVERIFY(client.addCaCertificatesFromFile(TestCertificates::instance().caFile()));
    PDFConvert::setHttpClient(&client);
    PDFConvert::setServiceUrlOverride(service.baseUrl());
    CommPassport::setProcessIdentityToken(QStringLiteral("test-identity-token-000"));

    obtainToken();
    QCOMPARE(PDFConvert::apiToken(), service.apiToken);
    NotificationCenter::defaultCenter().postNotificationName(CommPassport::kPassportDidUpdate);
    QVERIFY(PDFConvert::apiToken().isEmpty());
    obtainToken(); // the next run asks the service again
    QCOMPARE(service.server().requestsTo(QStringLiteral("/api/sessions")).size(), 2);
    PDFConvert::setHttpClient(nullptr);
}

void TestAppDelegate::closingTheMainWindowQuits()
{
    QVERIFY(QApplication::quitOnLastWindowClosed());
    QTimer::singleShot(0, mWindow, &QWidget::close);
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); }); // fails the check below
    QCOMPARE(QApplication::exec(), 0);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestAppDelegate)
#include "tst_appdelegate.moc"
