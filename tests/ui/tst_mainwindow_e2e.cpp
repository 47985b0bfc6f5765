#include "app/AppDelegate.h"
#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The whole job in the window against a real mirelune-service on loopback:
// files added by the Add button, by a drop and as a folder, the run started
// with Start, the sheet, the statuses and the results on disk.
class TestMainWindowEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pdfToTextWithOneBrokenFile();
    void imageToPdfByDrop();
    void mergeAFolder();

private:
    QString input(const QString &name, const QByteArray &content);
    KDHoverButton *button(const char *name) const;
    void selectTab(quint64 mode);
    void runAndWait();
    // With MIRELUNE_E2E_SCREENSHOTS set to a folder, the X screen is saved there.
    void screenshot(const QString &name);

    QTemporaryDir mData;
    QTemporaryDir mInputs{QDir::tempPath() + QStringLiteral("/Reports-XXXXXX")};
    QTemporaryDir mOutputs{QDir::tempPath() + QStringLiteral("/Converted-XXXXXX")};
    std::unique_ptr<ServiceProcess> mService;
    std::unique_ptr<DIRADoduredode> mClient;
    std::unique_ptr<UrlRecorder> mReveals;
    AppDelegate mDelegate;
    std::unique_ptr<MainWindow> mWindow;
};

void TestMainWindowEndToEnd::initTestCase()
{
    mService = std::make_unique<ServiceProcess>(mData.path());
    QVERIFY2(mService->start(), mService->errorOutput().constData());
    mClient = std::make_unique<DIRADoduredode>();
    QVERIFY(mClient->addCaCertificatesFromFile(mService->caFile()));
    PDFConvert::setHttpClient(mClient.get());
    PDFConvert::setServiceUrlOverride(mService->baseUrl());
    CommPassport::setProcessIdentityToken(QString::fromLatin1(mService->identityToken()));
    PDFConvertTask::setQueryInterval(200);
    mReveals = std::make_unique<UrlRecorder>();

    mWindow.reset(KDWindow::loadForNib<MainWindow>());
    mDelegate.setWindow(mWindow.get());
    mWindow->move(60, 40);
    mWindow->makeKeyAndOrderFront();
    mDelegate.applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));

    // The output folder, chosen like a user does.
    ScriptedPanels panels;
    panels.answer = QStringList{mOutputs.path()};
    QTest::mouseClick(button("mBtnSelectFolder"), Qt::LeftButton);
    QCOMPARE(AppSettings::ConvertOuputFolderPath(), mOutputs.path());
}

void TestMainWindowEndToEnd::cleanupTestCase()
{
    mWindow.reset();
    PDFConvert::setHttpClient(nullptr);
    if (mService)
        QVERIFY(mService->stop());
}

QString TestMainWindowEndToEnd::input(const QString &name, const QByteArray &content)
{
    const QString path = mInputs.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    TestDocuments::write(path, content);
    return path;
}

KDHoverButton *TestMainWindowEndToEnd::button(const char *name) const
{
    return mWindow->findChild<KDHoverButton *>(QLatin1String(name));
}

void TestMainWindowEndToEnd::selectTab(quint64 mode)
{
    QTest::mousePress(mWindow->filesContentView()->tabForMode(mode), Qt::LeftButton);
}

void TestMainWindowEndToEnd::runAndWait()
{
    QTest::mouseClick(button("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    screenshot(QLatin1String(QTest::currentTestFunction()) + QStringLiteral("-sheet"));
    QTRY_VERIFY_WITH_TIMEOUT(!mWindow->attachedSheet(), 120000);
}

void TestMainWindowEndToEnd::screenshot(const QString &name)
{
    const QString folder = qEnvironmentVariable("MIRELUNE_E2E_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QTest::qWait(400); // let the window system catch up
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                 QDir(folder).filePath(name + QStringLiteral(".png"))});
}

void TestMainWindowEndToEnd::pdfToTextWithOneBrokenFile()
{
    ScriptedPanels panels;
    panels.answer =
        QStringList{input(QStringLiteral("report.pdf"), TestDocuments::pdf({{QStringLiteral("Quarterly figures")}})),
                    input(QStringLiteral("broken.pdf"), "%PDF-1.4 this is not a document")};
    selectTab(ConvertFromPdf);
    QTest::mouseClick(mWindow->filesContentView()->findChild<KDHoverButton *>(QStringLiteral("mBtnAddFiles")),
                      Qt::LeftButton);
    QCOMPARE(UiFixtures::fileNames(ConvertFromPdf),
             (QStringList{QStringLiteral("report.pdf"), QStringLiteral("broken.pdf")}));
    mWindow->findChild<QComboBox *>(QStringLiteral("mComboBoxOuputFormat"))->setCurrentIndex(5); // Text

    runAndWait();
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), (QList<qint32>{Finished, Failed}));
    QVERIFY(TestDocuments::read(mOutputs.filePath(QStringLiteral("report.txt"))).contains("Quarterly figures"));
    QVERIFY(mReveals->urls().contains(QUrl::fromLocalFile(mOutputs.path())));

    panels.answer = QStringList{input(QStringLiteral("waiting.pdf"), TestDocuments::pdf({{QStringLiteral("Later")}}))};
    mWindow->filesContentView()->actionForAddFiles();
    screenshot(QStringLiteral("statuses"));
}

void TestMainWindowEndToEnd::imageToPdfByDrop()
{
    const QString picture = input(QStringLiteral("photo.png"), TestDocuments::image("png", QSize(320, 200)));
    selectTab(ConvertToPdf);
    FilesContentView *list = mWindow->filesContentView();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(picture)});
    QDragEnterEvent enter(list->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(list->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    QCOMPARE(UiFixtures::fileNames(ConvertToPdf), QStringList{QStringLiteral("photo.png")});

    runAndWait();
    QCOMPARE(UiFixtures::statuses(ConvertToPdf), QList<qint32>{Finished});
    QCOMPARE(TestDocuments::pageCount(mOutputs.filePath(QStringLiteral("photo.pdf"))), 1);
}

void TestMainWindowEndToEnd::mergeAFolder()
{
    input(QStringLiteral("chapters/one.pdf"), TestDocuments::pdf({{QStringLiteral("One")}, {QStringLiteral("One b")}}));
    input(QStringLiteral("chapters/two.pdf"), TestDocuments::pdf({{QStringLiteral("Two")}}));
    ScriptedPanels panels;
    panels.answer = QStringList{mInputs.filePath(QStringLiteral("chapters"))};
    selectTab(MergePdf);
    QTest::mouseClick(mWindow->filesContentView()->findChild<KDHoverButton *>(QStringLiteral("mBtnAddFiles")),
                      Qt::LeftButton);
    const QStringList names = UiFixtures::fileNames(MergePdf);
    QCOMPARE(names.size(), 2);

    runAndWait();
    QCOMPARE(UiFixtures::statuses(MergePdf), (QList<qint32>{Finished, Finished}));
    const QString merged = mOutputs.filePath(names.first());
    QCOMPARE(TestDocuments::pageCount(merged), 3);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestMainWindowEndToEnd)
#include "tst_mainwindow_e2e.moc"
