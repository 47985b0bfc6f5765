#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "frameworks/CommLang.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDTableCellView.h"
#include "ui/MainWindow.h"

#include "support/ClientProbe.h"
#include "support/FakeConversionService.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor &colour)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString reason(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

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
    void lateCompletionsChangeNothing();
    void cancelClosesTheSheetAtOnce();
    void missingOutputFolderIsMadeAgain();
    void unusableOutputFolderStopsTheRun();
    void windowKeys();
    void sheetKeys();
    void sheetNamesTheCurrentFile();
    void orderOfTheListIsTheOrderOfTheMerge();
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
    // Starts with the button and waits for the sheet to show the run's end.
    ConvertProgressWindow *runToTheEnd();
    KDNoticeWindow *shownNotice() const;

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
    // What the window shows is where the run writes.
    PDFConvert::setOutputFolderOverride(QString());
    AppSettings::SetConvertOutputFolderPath(mOutputs->path());
    PDFConvert::clearToken();

    mWindow.reset(KDWindow::loadForNib<MainWindow>());
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    mWindow->move(40, 40);
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
}

void TestMainWindow::cleanup()
{
    // Deleting a notice takes its mask with it, so the list is guarded.
    QList<QPointer<KDNoticeWindow>> notices;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *notice = qobject_cast<KDNoticeWindow *>(window))
            notices.append(notice);
    }
    for (const QPointer<KDNoticeWindow> &notice : std::as_const(notices))
        delete notice.data();
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

KDNoticeWindow *TestMainWindow::shownNotice() const
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *notice = qobject_cast<KDNoticeWindow *>(window); notice && notice->isVisible())
            return notice;
    }
    return nullptr;
}

ConvertProgressWindow *TestMainWindow::runToTheEnd()
{
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return mWindow->attachedSheet() != nullptr; }, 5000))
        return nullptr;
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    // The sheet stays with the summary until it is closed.
    if (!QTest::qWaitFor([this] { return !mWindow->runSummary().isEmpty(); }, 30000))
        return nullptr;
    QTest::qWait(50);
    return mWindow->attachedSheet() == sheet ? sheet : nullptr;
}

void TestMainWindow::startFollowsTheListAndRefitsIt()
{
    KDHoverButton *start = child("mBtnStartConvert");
    QWidget *box = child<QWidget>("mBoxListOperate");
    FilesContentView *list = mWindow->filesContentView();
    const int contentHeight = mWindow->contextView()->height();
    const int boxBottom = contentHeight - box->geometry().bottom() - 1;
    const auto titleColour = [start] {
        return start->textFiled()->palette().color(start->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                   QPalette::WindowText);
    };
    const QColor face = start->bgColorForState(KDHoverButton::State::Normal);

    // Disabled, the title stays readable on its face and still looks disabled.
    QVERIFY(!start->isEnabled() && box->isHidden());
    QVERIFY(start->graphicsEffect() == nullptr);
    QVERIFY2(contrast(titleColour(), face) >= 3.0, qPrintable(titleColour().name()));
    QVERIFY(titleColour() != QColor(Qt::black));
    QCOMPARE(list->geometry(), QRect(list->x(), 0, list->width(), contentHeight - boxBottom));

    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QVERIFY(start->isEnabled() && box->isVisible());
    QCOMPARE(titleColour(), QColor(Qt::black));
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
    // Titles keep clear of the border: 12 on each side, centred vertically.
    const auto checkFittedText = [](KDHoverButton *button) {
        const QSize title = KDButtonFitting::titleSize(button);
        QVERIFY(!button->title().isEmpty());
        QCOMPARE(button->width(), title.width() + 24);
        QCOMPARE(button->textFiled()->geometry(),
                 QRect(0, (button->height() - title.height()) / 2, button->width(), title.height()));
    };
    KDHoverButton *files = child("mBtnTitlebarFiles");
    KDHoverButton *lang = child("mBtnTitlebarLang");
    KDHoverButton *help = child("mBtnTitlebarHelp");
    for (KDHoverButton *button : {files, lang, help})
        checkFittedText(button);
    QCOMPARE(lang->x(), files->x() + files->width() + 10);
    QCOMPARE(help->x(), lang->x() + lang->width() + 10);

    QWidget *box = child<QWidget>("mBoxListOperate");
    KDHoverButton *down = operation("mBtnMoveDown");
    KDHoverButton *up = operation("mBtnMoveUp");
    QCOMPARE(down->geometry(), QRect(box->width() - 6 - 28, 6, 28, 28));
    QCOMPARE(up->geometry(), QRect(down->x() - 4 - 28, 6, 28, 28));
    QList<KDHoverButton *> operations{operation("mBtnAddFiles"), operation("mBtnRemoveSelectFiles"),
                                      operation("mBtnClearList")};
    int total = 16;
    for (KDHoverButton *button : operations) {
        const QSize title = KDButtonFitting::titleSize(button);
        QCOMPARE(button->width(), 8 + button->imageSize().width() + 6 + title.width() + 12);
        QCOMPARE(button->textFiled()->x(), button->imageView()->geometry().right() + 1 + 6);
        total += button->width();
    }
    QCOMPARE(operations[0]->x(), std::min((box->width() - total) / 2, up->x() - 8 - total));
    QCOMPARE(operations[1]->x(), operations[0]->x() + operations[0]->width() + 8);
    QCOMPARE(operations[2]->x(), operations[1]->x() + operations[1]->width() + 8);
    QVERIFY(operations[2]->geometry().right() < up->x());

    const int contentWidth = mWindow->contextView()->width();
    auto *formatCaption = child<QLabel>("mLabelOuputFormat");
    auto *folderCaption = child<QLabel>("mLabelOuputFolder");
    const int captions = std::max(formatCaption->sizeHint().width(), folderCaption->sizeHint().width());
    QCOMPARE(formatCaption->x(), 10);
    QCOMPARE(folderCaption->geometry().topLeft().x(), 10);
    QCOMPARE(folderCaption->width(), captions);
    KDHoverButton *start = child("mBtnStartConvert");
    checkFittedText(start);
    QCOMPARE(start->x() + start->width(), contentWidth - 10);
    const int rowsRight = std::min(contentWidth - 115, start->x() - 12);
    auto *combo = child<QComboBox>("mComboBoxOuputFormat");
    QCOMPARE(combo->x(), captions + 18);
    QCOMPARE(combo->x() + combo->width(), rowsRight);
    KDHoverButton *openFolder = child("mBtnOpenFolder");
    checkFittedText(openFolder);
    QCOMPARE(openFolder->x() + openFolder->width(), rowsRight - 3);
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
    QTest::addColumn<QString>("failing");        // how the service fails b.pdf (all three: "all")
    QTest::addColumn<QList<qint32>>("statuses"); // of a.pdf, b.pdf, c.pdf
    QTest::addColumn<QString>("reason");         // of every failed file
    QTest::addColumn<QString>("summary");
    const QList<qint32> bFails{Finished, Failed, Finished};
    const QList<qint32> allFail{Failed, Failed, Failed};
    QTest::newRow("one task without a result")
        << quint64(ConvertFromPdf) << "task" << bFails << reason("ReasonConvert") << "2 converted, 1 failed";
    QTest::newRow("one upload refused") << quint64(ConvertFromPdf) << "upload" << bFails << reason("ReasonUpload")
                                        << "2 converted, 1 failed";
    QTest::newRow("one download missing")
        << quint64(ConvertFromPdf) << "download" << bFails << reason("ReasonDownload") << "2 converted, 1 failed";
    QTest::newRow("every file fails") << quint64(ConvertFromPdf) << "all" << allFail << reason("ReasonConvert")
                                      << "0 converted, 3 failed";
    QTest::newRow("merge") << quint64(MergePdf) << QString() << QList<qint32>{Finished, Finished, Finished} << QString()
                           << "3 converted";
    QTest::newRow("merge leaves out a file")
        << quint64(MergePdf) << "upload" << bFails << reason("ReasonUpload") << "2 converted, 1 failed";
    QTest::newRow("failed run") << quint64(ConvertFromPdf) << "credentials" << allFail << reason("ReasonCredentials")
                                << "0 converted, 3 failed";
}

// Every row ends finished with its result or failed with its reason, the
// sheet ends with the summary and Close, and the results are shown.
void TestMainWindow::runStatuses()
{
    QFETCH(quint64, mode);
    QFETCH(QString, failing);
    QFETCH(QList<qint32>, statuses);
    QFETCH(QString, reason);
    QFETCH(QString, summary);
    const QString b = QStringLiteral("b.pdf");
    if (failing == QLatin1String("task"))
        mService->failTaskFor.insert(b);
    else if (failing == QLatin1String("upload"))
        mService->failUploadFor.insert(b);
    else if (failing == QLatin1String("download"))
        mService->failDownloadFor.insert(b);
    else if (failing == QLatin1String("credentials"))
        mService->failCredentialsFor.insert(b);
    else if (failing == QLatin1String("all"))
        mService->failTaskFor = {QStringLiteral("a.pdf"), b, QStringLiteral("c.pdf")};
    UrlRecorder reveals;
    add({QStringLiteral("a.pdf"), b, QStringLiteral("c.pdf")}, mode);
    clickTab(mode);
    const KDConvertFileList &records = KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode);
    for (const KDConvertFileRecord &record : records)
        record->setOutcome(Failed, QString(), QStringLiteral("an earlier run")); // a run starts from Waiting

    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QCOMPARE(UiFixtures::statuses(mode), (QList<qint32>{Waiting, Waiting, Waiting}));
    QVERIFY(records.first()->failureReason().isEmpty());
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QCOMPARE(mWindow->attachedSheet(), sheet);
    QCOMPARE(sheet->geometry().top(), mWindow->geometry().top() + mWindow->titleBarHeight());

    QTRY_COMPARE_WITH_TIMEOUT(mWindow->runSummary(), summary, 30000);
    QTRY_COMPARE(sheet->convertLabel()->text(), summary);
    QCOMPARE(sheet->btnCancel()->title(), QStringLiteral("Close"));
    QTest::qWait(1200); // the sheet no longer goes away by itself
    QCOMPARE(mWindow->attachedSheet(), sheet);
    QCOMPARE(UiFixtures::statuses(mode), statuses);

    QAbstractItemModel *rows = mWindow->filesContentView()->tableView()->model();
    for (int row = 0; row < records.size(); ++row) {
        const KDConvertFileRecord &record = records.at(row);
        const QString tooltip = rows->index(row, 0).data(Qt::ToolTipRole).toString();
        KDTableCellView *cell = mWindow->filesContentView()->tableViewViewForTableColumnRow(row);
        if (record->convertStatus() == Failed) {
            QVERIFY2(record->failureReason().startsWith(reason), qPrintable(record->failureReason()));
            QVERIFY(record->resultPath().isEmpty());
            QCOMPARE(tooltip, record->failureReason());
            QVERIFY(cell->detailLineShowsFailure());
            QVERIFY(!cell->filePathLabel()->text().isEmpty());
        } else {
            QVERIFY(QFileInfo(record->resultPath()).isFile());
            QCOMPARE(QFileInfo(record->resultPath()).path(), mOutputs->path());
            QCOMPARE(tooltip, QStringLiteral("Result: %1").arg(record->resultPath()));
            QVERIFY(!cell->detailLineShowsFailure());
        }
    }
    const bool anyConverted = statuses.contains(Finished);
    QCOMPARE(reveals.urls().contains(QUrl::fromLocalFile(mOutputs->path())), anyConverted);

    QTest::mouseClick(sheet->btnCancel(), Qt::LeftButton);
    QVERIFY(!mWindow->attachedSheet());
    QVERIFY(sheet->isHidden());
    QCOMPARE(UiFixtures::statuses(mode), statuses);
    QVERIFY(!shownNotice());
}

// A failed credential request ends the run, and the uploads of the other
// files may still report; nothing after the end changes the rows or the sheet.
void TestMainWindow::lateCompletionsChangeNothing()
{
    mService->failCredentialsFor.insert(QStringLiteral("a.pdf"));
    mService->credentialDelayFor.insert(QStringLiteral("b.pdf"), 500);
    add({QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}, ConvertFromPdf);
    ConvertProgressWindow *sheet = runToTheEnd();
    QVERIFY(sheet);
    const QString shown = sheet->convertLabel()->text();
    QCOMPARE(shown, QStringLiteral("0 converted, 2 failed"));
    QCOMPARE(sheet->fileLabel()->toolTip(), reason("ReasonCredentials"));
    QTRY_COMPARE_WITH_TIMEOUT(mService->uploadedNames(), QStringList{QStringLiteral("b.pdf")}, 15000);
    QVERIFY(probeClient(*mClient, mService->server().origin()));
    QTest::qWait(300);
    QCOMPARE(sheet->convertLabel()->text(), shown);
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), (QList<qint32>{Failed, Failed}));
}

void TestMainWindow::cancelClosesTheSheetAtOnce()
{
    mService->credentialDelayFor.insert(QStringLiteral("a.pdf"), 3000);
    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QCOMPARE(sheet->btnCancel()->title(), QStringLiteral("Cancel"));
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

// The folder the window shows was deleted: Start makes it again and the
// results go there, not to a default folder.
void TestMainWindow::missingOutputFolderIsMadeAgain()
{
    const QString folder = mDir->filePath(QStringLiteral("chosen/results"));
    QVERIFY(QDir().mkpath(folder));
    ScriptedPanels panels;
    panels.answer = QStringList{folder};
    QTest::mouseClick(child("mBtnSelectFolder"), Qt::LeftButton);
    QCOMPARE(child<QLabel>("mLabelOuputFolderValue")->text(), folder);
    QVERIFY(QDir(mDir->filePath(QStringLiteral("chosen"))).removeRecursively());

    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QVERIFY(runToTheEnd());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), QList<qint32>{Finished});
    const KDConvertFileRecord record =
        KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(ConvertFromPdf).first();
    QCOMPARE(QFileInfo(record->resultPath()).path(), folder);
    QVERIFY(QFileInfo(record->resultPath()).isFile());
    QCOMPARE(child<QLabel>("mLabelOuputFolderValue")->text(), folder);
    QVERIFY(QDir(mOutputs->path()).isEmpty());
}

// A folder that cannot be made (a file stands where a folder would go): the
// run does not start and a notice names the folder.
void TestMainWindow::unusableOutputFolderStopsTheRun()
{
    const QString blocker = UiFixtures::writeFile(mDir->path(), QStringLiteral("plain-file"));
    const QString folder = blocker + QStringLiteral("/results");
    ScriptedPanels panels;
    panels.answer = QStringList{folder};
    QTest::mouseClick(child("mBtnSelectFolder"), Qt::LeftButton);
    add({QStringLiteral("a.pdf")}, ConvertFromPdf);

    QVERIFY(!mWindow->beginConvert());
    KDNoticeWindow *notice = shownNotice();
    QVERIFY(notice);
    QCOMPARE(notice->messageLabel()->text(), reason("OutputFolderUnusable"));
    QCOMPARE(notice->detail(), folder);
    QVERIFY(!mWindow->attachedSheet());
    QTest::qWait(MainWindow::kSheetDelayMs + 100);
    QVERIFY(!mWindow->attachedSheet());
    QVERIFY(mService->server().requests().isEmpty());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), QList<qint32>{Waiting});
    QTest::keyClick(notice, Qt::Key_Escape);
    QTRY_VERIFY(!shownNotice());
}

// Ctrl+O adds files, Ctrl+Return starts (only with files to convert).
void TestMainWindow::windowKeys()
{
    QVERIFY(QTest::qWaitForWindowActive(mWindow.get()));
    ScriptedPanels panels;
    QTest::keyClick(mWindow.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(panels.shown.size(), 1);
    QVERIFY(panels.shown.first().canChooseFiles);

    QTest::keyClick(mWindow.get(), Qt::Key_Return, Qt::ControlModifier);
    QTest::qWait(MainWindow::kSheetDelayMs + 100);
    QVERIFY(!mWindow->attachedSheet());
    QVERIFY(mService->server().requests().isEmpty());

    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QTest::keyClick(mWindow.get(), Qt::Key_Return, Qt::ControlModifier);
    QTRY_VERIFY(mWindow->attachedSheet());
}

// Escape cancels a running run; at the end Return closes the sheet.
void TestMainWindow::sheetKeys()
{
    mService->credentialDelayFor.insert(QStringLiteral("a.pdf"), 2000);
    add({QStringLiteral("a.pdf")}, ConvertFromPdf);
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    // The sheet's keys work once it is the application's active window; on a
    // slow build the main window's own activation can still come after the sheet's.
    QTRY_COMPARE(QApplication::activeWindow(), sheet);
    QTest::keyClick(sheet, Qt::Key_Escape);
    QVERIFY(!mWindow->attachedSheet());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), QList<qint32>{Waiting});

    mService->credentialDelayFor.clear();
    QTRY_VERIFY(QTest::qWaitForWindowActive(mWindow.get()));
    sheet = runToTheEnd();
    QVERIFY(sheet);
    QTRY_COMPARE(QApplication::activeWindow(), sheet);
    QTest::keyClick(sheet, Qt::Key_Return);
    QVERIFY(!mWindow->attachedSheet());
    QCOMPARE(UiFixtures::statuses(ConvertFromPdf), QList<qint32>{Finished});
}

// While the run goes on, the sheet names the file it is on and how far it
// is; results come one second apart here, so each file has its turn.
void TestMainWindow::sheetNamesTheCurrentFile()
{
    add({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")}, ConvertFromPdf);
    QTest::mouseClick(child("mBtnStartConvert"), Qt::LeftButton);
    QTRY_VERIFY(mWindow->attachedSheet());
    ConvertProgressWindow *sheet = mWindow->sheetConvertProgressWindow();
    QStringList seen;
    QElapsedTimer clock;
    clock.start();
    while (mWindow->runSummary().isEmpty() && clock.elapsed() < 20000) {
        const QString line = sheet->fileLabel()->toolTip();
        if (!line.isEmpty() && (seen.isEmpty() || seen.constLast() != line))
            seen.append(line);
        QTest::qWait(20);
    }
    QCOMPARE(mWindow->runSummary(), QStringLiteral("3 converted"));
    const QStringList expected{QStringLiteral("a.pdf (1 of 3)"), QStringLiteral("b.pdf (2 of 3)"),
                               QStringLiteral("c.pdf (3 of 3)")};
    // Sampled, so a busy machine may skip a line; what was shown is the
    // expected lines in order, and the sheet moved on at least once.
    QVERIFY2(seen.size() >= 2, qPrintable(seen.join(QLatin1String(" | "))));
    auto next = expected.cbegin();
    for (const QString &line : seen) {
        next = std::find(next, expected.cend(), line);
        QVERIFY2(next != expected.cend(), qPrintable(seen.join(QLatin1String(" | "))));
        ++next;
    }
    QVERIFY(sheet->fileLabel()->text().isEmpty()); // an ended run that did not fail as a whole
}

// The files go to the service in the list's order, after moving rows.
void TestMainWindow::orderOfTheListIsTheOrderOfTheMerge()
{
    add({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")}, MergePdf);
    clickTab(MergePdf);
    FilesContentView *list = mWindow->filesContentView();
    list->moveRows({2}, 0);
    QCOMPARE(UiFixtures::fileNames(MergePdf),
             (QStringList{QStringLiteral("c.pdf"), QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}));
    QVERIFY(runToTheEnd());
    QCOMPARE(mService->createdTasks(),
             (QList<QStringList>{{QStringLiteral("c.pdf"), QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}}));
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
    const QString other = mDir->path();
    if (confirmed)
        panels.answer = QStringList{other};
    QTest::mouseClick(child("mBtnSelectFolder"), Qt::LeftButton);
    QCOMPARE(panels.shown.size(), 1);
    QVERIFY(!panels.shown.first().canChooseFiles && panels.shown.first().canChooseDirectories);
    QCOMPARE(panels.shown.first().directory, before);
    const QString expected = confirmed ? other : before;
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
