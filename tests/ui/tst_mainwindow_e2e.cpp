#include "app/AppDelegate.h"
#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/RunOutcome.h"
#include "frameworks/CommLang.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDOpenPanel.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// The whole job in the window against a real mirelune-service on loopback:
// files added by the Add button, by a drop and as a folder, the run started
// with Start, the sheet, the statuses and the results on disk; and a run
// done with the keyboard alone, from the open panel to a failure's reason.
class TestMainWindowEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pdfToTextWithOneBrokenFile();
    void imageToPdfByDrop();
    void mergeAFolder();
    void keyboardOnly();

private:
    QString input(const QString &name, const QByteArray &content);
    KDHoverButton *button(const char *name) const;
    void selectTab(quint64 mode);
    void runAndWait();
    // Keys to whatever has the keyboard focus now.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void type(const QString &text);
    // Tab until the widget has the focus (bounded).
    bool tabTo(QWidget *widget);
    KDOpenPanel *openPanel() const;
    KDNoticeWindow *shownNotice() const;
    // The interface language: screenshots are taken in several.
    static QString language() { return VAZevediZeziz::appInfo().appLang(); }
    // With MIRELUNE_E2E_SCREENSHOTS set to a folder, the X screen is saved
    // there; the interface follows the system language (LANGUAGE, LC_ALL).
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
    // For screenshots the service paces polls slowly, so a run is caught while it goes on.
    const QStringList pace = qEnvironmentVariableIsEmpty("MIRELUNE_E2E_SCREENSHOTS")
                                 ? QStringList()
                                 : QStringList{QStringLiteral("--poll-interval"), QStringLiteral("1500")};
    QVERIFY2(mService->start(pace), mService->errorOutput().constData());
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
    screenshot(QStringLiteral("empty"));
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

// The sheet stays with the summary until it is closed.
void TestMainWindowEndToEnd::runAndWait()
{
    QTest::mouseClick(button("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    screenshot(QLatin1String(QTest::currentTestFunction()) + QStringLiteral("-sheet"));
    QTRY_VERIFY_WITH_TIMEOUT(!mWindow->runSummary().isEmpty(), 120000);
    QTest::mouseClick(mWindow->sheetConvertProgressWindow()->btnCancel(), Qt::LeftButton);
    QVERIFY(!mWindow->attachedSheet());
}

void TestMainWindowEndToEnd::press(int key, Qt::KeyboardModifiers modifiers)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

void TestMainWindowEndToEnd::type(const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClicks(target, text);
}

bool TestMainWindowEndToEnd::tabTo(QWidget *widget)
{
    for (int step = 0; step < 40 && !widget->hasFocus(); ++step) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        if (!target)
            return false;
        QTest::keyClick(target, Qt::Key_Tab);
    }
    return widget->hasFocus();
}

KDOpenPanel *TestMainWindowEndToEnd::openPanel() const
{
    auto *panel = mWindow->findChild<KDOpenPanel *>();
    return panel && panel->isVisible() ? panel : nullptr;
}

KDNoticeWindow *TestMainWindowEndToEnd::shownNotice() const
{
    auto *notice = mWindow->findChild<KDNoticeWindow *>();
    return notice && notice->isVisible() ? notice : nullptr;
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

// With the keys alone: files added through the open panel (a typed folder
// opens, typed names are chosen), rows moved with Alt+Up, a merge started
// with Ctrl+Return, its summary read, then a conversion with a bad file
// whose reason Return on its row brings up.
void TestMainWindowEndToEnd::keyboardOnly()
{
    input(QStringLiteral("keys/one.pdf"), TestDocuments::pdf({{QStringLiteral("Chapter one")}}));
    input(QStringLiteral("keys/two.pdf"), TestDocuments::pdf({{QStringLiteral("Chapter two")}}));
    input(QStringLiteral("keys/three.pdf"), TestDocuments::pdf({{QStringLiteral("Chapter three")}}));
    input(QStringLiteral("keys/broken.pdf"), "%PDF-1.4 this is not a document");
    UiFixtures::clearStore();
    FilesContentView *list = mWindow->filesContentView();
    QTableView *table = list->tableView();
    mWindow->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), mWindow.get());

    // The mode: Tab to the tabs, the arrow keys to Merge PDFs.
    QVERIFY(tabTo(list->tabForMode(list->currentConvertMode())));
    for (int step = 0; step < 3 && list->currentConvertMode() != MergePdf; ++step)
        press(Qt::Key_Right);
    QCOMPARE(list->currentConvertMode(), quint64(MergePdf));
    QVERIFY(UiFixtures::fileNames(MergePdf).isEmpty());

    // Ctrl+O, a typed folder opens, typed names are added in their order.
    press(Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(openPanel());
    KDOpenPanel *panel = openPanel();
    QTRY_COMPARE(QApplication::activeWindow(), panel);
    auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QTRY_VERIFY(name->hasFocus());
    type(mInputs.filePath(QStringLiteral("keys")));
    press(Qt::Key_Return);
    QTRY_COMPARE(panel->directory().absolutePath(), mInputs.filePath(QStringLiteral("keys")));
    type(QStringLiteral("\"one.pdf\" \"two.pdf\" \"three.pdf\""));
    screenshot(QStringLiteral("keyboard-open-panel"));
    press(Qt::Key_Return);
    QTRY_VERIFY(!openPanel());
    const QStringList added = UiFixtures::fileNames(MergePdf);
    QStringList sorted = added;
    sorted.sort();
    QCOMPARE(sorted, (QStringList{QStringLiteral("one.pdf"), QStringLiteral("three.pdf"), QStringLiteral("two.pdf")}));

    // The last row to the top: End, then Alt+Up twice.
    QTRY_COMPARE(QApplication::activeWindow(), mWindow.get());
    QVERIFY(tabTo(table));
    press(Qt::Key_End);
    press(Qt::Key_Up, Qt::AltModifier);
    press(Qt::Key_Up, Qt::AltModifier);
    const QStringList order{added[2], added[0], added[1]};
    QCOMPARE(UiFixtures::fileNames(MergePdf), order);

    // Ctrl+Return merges; the sheet ends with the summary; Return closes it.
    press(Qt::Key_Return, Qt::ControlModifier);
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QTRY_COMPARE_WITH_TIMEOUT(mWindow->runSummary(), RunOutcome::summary(3, 0, language()), 120000);
    QTRY_COMPARE(sheet->convertLabel()->text(), RunOutcome::summary(3, 0, language()));
    QCOMPARE(sheet->btnCancel()->title(), CommLang::GetAppLang(QStringLiteral("Close")));
    QTRY_COMPARE(QApplication::activeWindow(), sheet);
    press(Qt::Key_Return);
    QTRY_VERIFY(!mWindow->attachedSheet());
    const QString merged =
        KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(MergePdf).first()->resultPath();
    const QString text = TestDocuments::pdfText(merged);
    const auto at = [&text](const QString &file) {
        return text.indexOf(QStringLiteral("Chapter ") + QString(file).remove(QStringLiteral(".pdf")));
    };
    QVERIFY2(at(order[0]) >= 0 && at(order[0]) < at(order[1]) && at(order[1]) < at(order[2]), qPrintable(text));

    // From PDF to text with a bad file: the summary counts it, its row says why.
    QTRY_COMPARE(QApplication::activeWindow(), mWindow.get());
    QVERIFY(tabTo(list->tabForMode(MergePdf)));
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    QCOMPARE(list->currentConvertMode(), quint64(ConvertFromPdf));
    auto *format = mWindow->findChild<QComboBox *>(QStringLiteral("mComboBoxOuputFormat"));
    QVERIFY(tabTo(format));
    for (int step = 0; step < 8 && format->currentIndex() != 5; ++step)
        press(Qt::Key_Down); // to Text
    QCOMPARE(format->currentIndex(), 5);
    UiFixtures::clearStore();
    press(Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(openPanel());
    QTRY_VERIFY(openPanel()->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->hasFocus());
    type(QStringLiteral("\"three.pdf\" \"broken.pdf\""));
    press(Qt::Key_Return);
    QTRY_VERIFY(!openPanel());
    QCOMPARE(UiFixtures::fileNames(ConvertFromPdf),
             (QStringList{QStringLiteral("three.pdf"), QStringLiteral("broken.pdf")}));
    QTRY_COMPARE(QApplication::activeWindow(), mWindow.get());
    press(Qt::Key_Return, Qt::ControlModifier);
    QTRY_VERIFY(mWindow->attachedSheet());
    QTRY_COMPARE_WITH_TIMEOUT(mWindow->runSummary(), RunOutcome::summary(1, 1, language()), 120000);
    screenshot(QStringLiteral("keyboard-summary"));
    QTRY_COMPARE(QApplication::activeWindow(), mWindow->sheetConvertProgressWindow());
    press(Qt::Key_Escape);
    QTRY_VERIFY(!mWindow->attachedSheet());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), (QList<qint32>{Finished, Failed}));
    QVERIFY(TestDocuments::read(mOutputs.filePath(QStringLiteral("three.txt"))).contains("Chapter three"));

    QTRY_COMPARE(QApplication::activeWindow(), mWindow.get());
    QVERIFY(tabTo(table));
    press(Qt::Key_End);
    screenshot(QStringLiteral("keyboard-failed-row"));
    press(Qt::Key_Return);
    QTRY_VERIFY(shownNotice());
    KDNoticeWindow *notice = shownNotice();
    const KDConvertFileRecord broken =
        KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(ConvertFromPdf).last();
    QCOMPARE(notice->messageLabel()->text(), QStringLiteral("broken.pdf"));
    QCOMPARE(notice->detail(), broken->failureReason());
    QVERIFY(broken->failureReason().startsWith(CommLang::GetAppLang(QStringLiteral("ReasonConvert"))));
    screenshot(QStringLiteral("keyboard-reason"));
    QTRY_COMPARE(QApplication::activeWindow(), notice);
    press(Qt::Key_Escape);
    QTRY_VERIFY(!shownNotice());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestMainWindowEndToEnd)
#include "tst_mainwindow_e2e.moc"
