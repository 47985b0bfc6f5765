#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/KDButtonFitting.h"
#include "ui/MainWindow.h"

#include "support/ClientProbe.h"
#include "support/FakeConversionService.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

// The main window driven by its controls, against a loopback conversion service.
class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startFollowsTheListAndRefitsIt();
    void outputFormats_data();
    void outputFormats();
    void layoutRules_data();
    void layoutRules();
    void runStatuses_data();
    void runStatuses();
    void cancelClosesTheSheetAtOnce();
    void windowPanelsAddFiles_data();
    void windowPanelsAddFiles();
    void outputFolderChooser_data();
    void outputFolderChooser();
    void openFolderOpensTheOutputFolder();

private:
    template <class T = KDHoverButton> T *child(const char *name) const
    {
        return mWindow->findChild<T *>(QLatin1String(name));
    }
    KDHoverButton *operation(const char *name) const
    {
        return child<QWidget>("mBoxListOperate")->findChild<KDHoverButton *>(QLatin1String(name));
    }
    void add(const QStringList &names, quint64 mode);
    void clickTab(quint64 mode);
    void checkLayoutRules();

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<QTemporaryDir> mOutputs;
    std::unique_ptr<FakeConversionService> mService;
    std::unique_ptr<DIRADoduredode> mClient;
    std::unique_ptr<MainWindow> mWindow;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(TestCertificates::instance().isValid());
    PDFConvertTask::setQueryInterval(50);
    CommPassport::setProcessIdentityToken(QStringLiteral("test-identity-token-000"));
}

void TestMainWindow::init()
{
    UiFixtures::clearStore();
    mDir = std::make_unique<QTemporaryDir>();
    mOutputs = std::make_unique<QTemporaryDir>();
    mService = std::make_unique<FakeConversionService>();
    QVERIFY(mService->listen());
    mClient = std::make_unique<DIRADoduredode>();
    QVERIFY(mClient->addCaCertificatesFromFile(TestCertificates::instance().caFile()));
    PDFConvert::setHttpClient(mClient.get());
    PDFConvert::setServiceUrlOverride(mService->baseUrl());
    PDFConvert::setOutputFolderOverride(mOutputs->path());
    PDFConvert::clearToken();

    mWindow.reset(KDWindow::loadForNib<MainWindow>());
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    mWindow->move(40, 40);
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
}

void TestMainWindow::cleanup()
{
    mWindow.reset();
    PDFConvert::abandonRun();
    PDFConvert::setHttpClient(nullptr);
    mClient.reset();
    mService.reset();
    UiFixtures::clearStore();
}

void TestMainWindow::add(const QStringList &names, quint64 mode)
{
    QStringList paths;
    for (const QString &name : names)
        paths.append(UiFixtures::writeFile(mDir->path(), name));
    KDConvertFileManager::defaultManager().parseInputFiles(paths, mode);
}

void TestMainWindow::clickTab(quint64 mode)
{
    QTest::mousePress(mWindow->filesContentView()->tabForMode(mode), Qt::LeftButton);
}

void TestMainWindow::startFollowsTheListAndRefitsIt()
{
    KDHoverButton *start = child("mBtnStartConvert");
    QWidget *box = child<QWidget>("mBoxListOperate");
    FilesContentView *list = mWindow->filesContentView();
    const int contentHeight = mWindow->contextView()->height();
    const int boxBottom = contentHeight - box->geometry().bottom() - 1;
    const auto opacity = [start] { return qobject_cast<QGraphicsOpacityEffect *>(start->graphicsEffect())->opacity(); };

    QVERIFY(!start->isEnabled() && box->isHidden());
    QCOMPARE(opacity(), 0.5);
    QCOMPARE(list->geometry(), QRect(list->x(), 0, list->width(), contentHeight - boxBottom));

    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QVERIFY(start->isEnabled() && box->isVisible());
    QCOMPARE(opacity(), 1.0);
    QCOMPARE(list->geometry().bottom() + 1 + 3, box->y());
    QCOMPARE(list->y(), 0);

    clickTab(MergePdf);
    QVERIFY(!start->isEnabled() && box->isHidden());
    QCOMPARE(list->height(), contentHeight - boxBottom);
}

void TestMainWindow::outputFormats_data()
{
    QTest::addColumn<quint64>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("type");
    const char *fromPdf[] = {"docx", "doc", "pptx", "xlsx", "xls", "txt", "jpg", "png"};
    for (int index = 0; index < 8; ++index)
        QTest::addRow("from pdf %d", index) << quint64(ConvertFromPdf) << index << QString::fromLatin1(fromPdf[index]);
    QTest::newRow("from pdf, none selected") << quint64(ConvertFromPdf) << -1 << QStringLiteral("docx");
    QTest::newRow("to pdf") << quint64(ConvertToPdf) << 0 << QStringLiteral("pdf");
    QTest::newRow("merge, none selected") << quint64(MergePdf) << -1 << QStringLiteral("pdf");
}

void TestMainWindow::outputFormats()
{
    QFETCH(quint64, mode);
    QFETCH(int, index);
    QFETCH(QString, type);
    auto *combo = child<QComboBox>("mComboBoxOuputFormat");
    clickTab(MergePdf);
    clickTab(mode);
    const QStringList shown = MainWindow::getComboxOutputFormatWithConvertMode(mode);
    QCOMPARE(combo->count(), mode == ConvertFromPdf ? 8 : 1);
    QCOMPARE(combo->itemText(0), shown.first());
    QCOMPARE(combo->currentIndex(), 0); // a mode change selects the first entry
    combo->setCurrentIndex(index);
    QCOMPARE(mWindow->getSelectedOutputFormatWithConvertMode(mode), type);
}

// The horizontal rules of the window's layout, for its current titles and width.
void TestMainWindow::checkLayoutRules()
{
    const auto checkFittedText = [](KDHoverButton *button) {
        const QSize title = KDButtonFitting::titleSize(button);
        QVERIFY(!button->title().isEmpty());
        QCOMPARE(button->width(), title.width() + 6);
        QCOMPARE(button->textFiled()->geometry(),
                 QRect(0, button->height() - 4 - title.height(), button->width(), title.height()));
    };
    KDHoverButton *files = child("mBtnTitlebarFiles");
    KDHoverButton *lang = child("mBtnTitlebarLang");
    KDHoverButton *help = child("mBtnTitlebarHelp");
    for (KDHoverButton *button : {files, lang, help})
        checkFittedText(button);
    QCOMPARE(lang->x(), files->x() + files->width() + 10);
    QCOMPARE(help->x(), lang->x() + lang->width() + 10);

    QWidget *box = child<QWidget>("mBoxListOperate");
    QList<KDHoverButton *> operations{operation("mBtnAddFiles"), operation("mBtnRemoveSelectFiles"),
                                      operation("mBtnClearList")};
    int total = 16;
    for (KDHoverButton *button : operations) {
        const QSize title = KDButtonFitting::titleSize(button);
        QCOMPARE(button->width(), title.width() + 6 + button->imageSize().width() + 6);
        QCOMPARE(button->textFiled()->x(), button->imageView()->x() + 6);
        total += button->width();
    }
    QCOMPARE(operations[0]->x(), (box->width() - total) / 2);
    QCOMPARE(operations[1]->x(), operations[0]->x() + operations[0]->width() + 8);
    QCOMPARE(operations[2]->x(), operations[1]->x() + operations[1]->width() + 8);

    const int contentWidth = mWindow->contextView()->width();
    auto *formatCaption = child<QLabel>("mLabelOuputFormat");
    auto *folderCaption = child<QLabel>("mLabelOuputFolder");
    const int captions = std::max(formatCaption->sizeHint().width(), folderCaption->sizeHint().width());
    QCOMPARE(formatCaption->x(), 10);
    QCOMPARE(folderCaption->geometry().topLeft().x(), 10);
    QCOMPARE(folderCaption->width(), captions);
    auto *combo = child<QComboBox>("mComboBoxOuputFormat");
    QCOMPARE(combo->x(), captions + 18);
    QCOMPARE(combo->x() + combo->width(), contentWidth - 115);
    KDHoverButton *start = child("mBtnStartConvert");
    checkFittedText(start);
    QCOMPARE(start->x() + start->width(), contentWidth - 10);
    KDHoverButton *openFolder = child("mBtnOpenFolder");
    checkFittedText(openFolder);
    QCOMPARE(openFolder->x() + openFolder->width(), contentWidth - 115 - 3);
    KDHoverButton *selectFolder = child("mBtnSelectFolder");
    QCOMPARE(selectFolder->x() + selectFolder->width(), openFolder->x() - 8);
    auto *path = child<QLabel>("mLabelOuputFolderValue");
    QCOMPARE(path->x(), captions + 18);
    QCOMPARE(path->x() + path->width(), selectFolder->x() - 8);
}

void TestMainWindow::layoutRules_data()
{
    QTest::addColumn<QSize>("grow");
    QTest::newRow("after the language change") << QSize(0, 0);
    QTest::newRow("after a resize") << QSize(230, 120);
}

void TestMainWindow::layoutRules()
{
    QFETCH(QSize, grow);
    add({QStringLiteral("a.pdf")}, ConvertFromPdf); // shows the operations box
    QCOMPARE(child("mBtnStartConvert")->title(), QStringLiteral("Start"));
    QCOMPARE(child<QLabel>("mLabelOuputFormat")->text(), QStringLiteral("Output Format:"));
    QWidget *box = child<QWidget>("mBoxListOperate");
    const int boxBottom = mWindow->contextView()->height() - box->geometry().bottom();
    mWindow->resize(mWindow->size() + grow);
    QTRY_COMPARE(mWindow->contextView()->width(), mWindow->width());
    checkLayoutRules();
    QCOMPARE(mWindow->contextView()->height() - box->geometry().bottom(), boxBottom);
    QCOMPARE(mWindow->filesContentView()->geometry().bottom() + 1 + 3, box->y());
}

void TestMainWindow::runStatuses_data()
{
    QTest::addColumn<quint64>("mode");
    QTest::addColumn<QString>("failing");        // how the service fails one file, if at all
    QTest::addColumn<QList<qint32>>("statuses"); // of a.pdf, b.pdf, c.pdf
    QTest::addColumn<bool>("revealed");
    QTest::newRow("one task without a result")
        << quint64(ConvertFromPdf) << QStringLiteral("task") << QList<qint32>{Finished, Failed, Finished} << true;
    QTest::newRow("merge") << quint64(MergePdf) << QString() << QList<qint32>{Finished, Finished, Finished} << true;
    QTest::newRow("failed run") << quint64(ConvertFromPdf) << QStringLiteral("credentials")
                                << QList<qint32>{Waiting, Waiting, Waiting} << false;
}

void TestMainWindow::runStatuses()
{
    QFETCH(quint64, mode);
    QFETCH(QString, failing);
    QFETCH(QList<qint32>, statuses);
    QFETCH(bool, revealed);
    if (failing == QLatin1String("task"))
        mService->failTaskFor.insert(QStringLiteral("b.pdf"));
    else if (failing == QLatin1String("credentials"))
        mService->failCredentialsFor.insert(QStringLiteral("b.pdf"));
    UrlRecorder reveals;
    add({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")}, mode);
    clickTab(mode);
    for (const KDConvertFileRecord &record : KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode))
        record->setConvertStatus(Failed); // a run starts from Waiting

    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QCOMPARE(UiFixtures::statuses(mode), (QList<qint32>{Waiting, Waiting, Waiting}));
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QCOMPARE(mWindow->attachedSheet(), sheet);
    QCOMPARE(sheet->geometry().top(), mWindow->geometry().top() + mWindow->titleBarHeight());
    QTRY_VERIFY_WITH_TIMEOUT(!mWindow->attachedSheet(), 30000);
    QVERIFY(sheet->isHidden());
    QCOMPARE(UiFixtures::statuses(mode), statuses);
    QCOMPARE(reveals.urls().contains(QUrl::fromLocalFile(mOutputs->path())), revealed);
    if (revealed)
        QVERIFY(!QDir(mOutputs->path()).isEmpty());
}

void TestMainWindow::cancelClosesTheSheetAtOnce()
{
    mService->credentialDelayFor.insert(QStringLiteral("a.pdf"), 3000);
    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QTest::mouseClick(sheet->btnCancel(), Qt::LeftButton);
    QVERIFY(!mWindow->attachedSheet());
    QVERIFY(sheet->isHidden());
    // The cancelled run still gets its late credentials and uploads, and that
    // is all it does: once the service has the upload and the client has
    // handled its reply, the sheet and the statuses are still as cancel left them.
    QTRY_COMPARE_WITH_TIMEOUT(mService->uploadedNames(), QStringList{QStringLiteral("a.pdf")}, 15000);
    QVERIFY(probeClient(*mClient, mService->server().origin()));
    QVERIFY(!mWindow->attachedSheet());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), QList<qint32>{Waiting});

    // Start works again, with a new sheet.
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    QVERIFY(mWindow->sheetConvertProgressWindow() != sheet);
}

void TestMainWindow::windowPanelsAddFiles_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("Add Files") << false;
    QTest::newRow("Add a folder") << true;
}

void TestMainWindow::windowPanelsAddFiles()
{
    QFETCH(bool, folder);
    ScriptedPanels panels;
    const QString inFolder = UiFixtures::writeFile(mDir->path(), QStringLiteral("in/x.pdf"));
    UiFixtures::writeFile(mDir->path(), QStringLiteral("in/y.txt"));
    panels.answer = folder ? QStringList{QFileInfo(inFolder).absolutePath()}
                           : QStringList{inFolder, UiFixtures::writeFile(mDir->path(), QStringLiteral("note.txt"))};
    if (folder)
        mWindow->actionForSelectFilesFromFolder();
    else
        mWindow->actionForAddFiles();
    QCOMPARE(panels.shown.size(), 1);
    const KDOpenPanel::Options options = panels.shown.first();
    QCOMPARE(options.canChooseFiles, !folder);
    QCOMPARE(options.canChooseDirectories, folder);
    QCOMPARE(options.allowsMultipleSelection, !folder);
    QCOMPARE(options.allowedFileTypes, QStringList{QStringLiteral("pdf")});
    QCOMPARE(UiFixtures::fileNames(ConvertFromPdf), QStringList{QStringLiteral("x.pdf")});
}

void TestMainWindow::outputFolderChooser_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
}

void TestMainWindow::outputFolderChooser()
{
    QFETCH(bool, confirmed);
    const QString before = AppSettings::ConvertOuputFolderPath();
    auto *label = child<QLabel>("mLabelOuputFolderValue");
    QCOMPARE(label->text(), before);
    ScriptedPanels panels;
    if (confirmed)
        panels.answer = QStringList{mOutputs->path()};
    QTest::mouseClick(child("mBtnSelectFolder"), Qt::LeftButton);
    QCOMPARE(panels.shown.size(), 1);
    QVERIFY(!panels.shown.first().canChooseFiles && panels.shown.first().canChooseDirectories);
    QCOMPARE(panels.shown.first().directory, before);
    const QString expected = confirmed ? mOutputs->path() : before;
    QCOMPARE(label->text(), expected);
    QCOMPARE(AppSettings::ConvertOuputFolderPath(), expected);
}

void TestMainWindow::openFolderOpensTheOutputFolder()
{
    UrlRecorder opened;
    QTest::mouseClick(child("mBtnOpenFolder"), Qt::LeftButton);
    QCOMPARE(opened.urls(), QList<QUrl>{QUrl::fromLocalFile(AppSettings::ConvertOuputFolderPath())});
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestMainWindow)
#include "tst_mainwindow.moc"
