#include "ui/MainWindow.h"

#include "ui_MainWindow.h"

#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/RunOutcome.h"
#include "files/KDConvertFileManager.h"
#include "frameworks/CommFeedback.h"
#include "frameworks/CommLang.h"
#include "frameworks/CommLog.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDMenu.h"
#include "frameworks/widgets/KDMenuSeparatorItem.h"
#include "frameworks/widgets/KDTitleOnlyMenuItem.h"
#include "product/AppSettings.h"
#include "tools/Log.h"
#include "tools/ToolFile.h"
#include "ui/CommUpdate.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/DEVavuzAze.h"
#include "ui/DesktopOpener.h"
#include "ui/FilesContentView.h"
#include "ui/KDAboutWindow.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDInputPDFPasswordAlertWindow.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDWindowPresenter.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

namespace {

const QColor kFace(215, 215, 215);
const QColor kPressed(200, 200, 200);
// A disabled Start stays readable: 3.5:1 against the face, and clearly not black.
const QColor kDisabledTitle(110, 110, 110);
const QColor kBoxBorder(170, 170, 170, 128);

// The window buttons keep to the title bar's top row, beside the title.
constexpr int kWindowButtonRowHeight = 28;
// The title text's bottom edge, measured up from the title bar's bottom.
constexpr int kWindowTitleBottom = 36;
// The menu buttons' row in the title bar.
constexpr QRect kFirstMenuButton(12, 32, 60, 22);
constexpr int kMenuButtonGap = 10;
// The gap between the operation buttons.
constexpr int kOperationGap = 8;
// Move Up and Move Down: square image buttons at the box's right end.
constexpr int kMoveButtonSize = 28;
constexpr int kMoveButtonsRight = 6;
// Menus of the title-bar buttons.
constexpr qreal kMenuRowHeight = 22.0;
const QColor kMenuHover(225, 225, 225);
const QColor kMenuSeparator(200, 200, 200);
// Bottom rows.
constexpr int kCaptionX = 10;
constexpr int kCaptionToControl = 18;
constexpr int kStartRightMargin = 10;
constexpr int kComboRightMargin = 115;
constexpr int kComboToStart = 12;
constexpr int kOpenFolderToComboRight = 3;
constexpr int kButtonGap = 8;
// The list stands this far above the operations box while the box shows.
constexpr int kListAboveBox = 3;

struct OutputFormat {
    const char *key;
    const char *type;
};

// Display strings of the ConvertFromPdf formats and the file types they stand for.
constexpr OutputFormat kFromPdfFormats[] = {
    {"Microsoft Word (*.docx)", "docx"},
    {"Microsoft Word (97-2003) (*.doc)", "doc"},
    {"Microsoft PowerPoint (*.pptx)", "pptx"},
    {"Microsoft Excel (*.xlsx)", "xlsx"},
    {"Microsoft Excel (97-2003) (*.xls)", "xls"},
    {"Text (*.txt)", "txt"},
    {"JPEG (*.jpg)", "jpg"},
    {"PNG (*.png)", "png"},
};

QIcon iconNamed(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

int rightEdge(const QWidget *widget)
{
    return widget->x() + widget->width();
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : KDWindow(parent), ui(std::make_unique<Ui::MainWindow>())
{
    setTitleBarHeight(kTitleBarHeight);
    for (KDHoverButton *button : {minButton(), zoomButton(), closeButton()}) {
        button->setFixedHeight(kWindowButtonRowHeight);
        titleBar()->layout()->setAlignment(button, Qt::AlignTop);
    }
    setupContent(*ui);
    createTitlebarButtons();
    setUpAutoresizing();
    setResizable(true);
    setMinimumSize(kMinimumSize);
}

MainWindow::~MainWindow()
{
    // The run's callbacks hold this window; nothing of a run may reach it now.
    if (mRunSerial > 0)
        PDFConvert::abandonRun();
    NotificationCenter::defaultCenter().removeObserver(this);
    delete mSheetConvertProgressWindow.data();
}

FilesContentView *MainWindow::filesContentView() const
{
    return ui->mFilesContentView;
}

void MainWindow::createTitlebarButtons()
{
    QRect frame = kFirstMenuButton;
    const auto make = [this, &frame](const QString &name) {
        auto *button = new KDHoverButton(titleBar());
        button->setObjectName(name);
        button->setGeometry(frame);
        frame.translate(frame.width() + kMenuButtonGap, 0);
        return button;
    };
    mBtnTitlebarFiles = make(QStringLiteral("mBtnTitlebarFiles"));
    mBtnTitlebarLang = make(QStringLiteral("mBtnTitlebarLang"));
    mBtnTitlebarHelp = make(QStringLiteral("mBtnTitlebarHelp"));
}

// Springs and struts of the form: the list and the rows follow the
// window's width, everything under the list keeps its distance to the bottom.
void MainWindow::setUpAutoresizing()
{
    using A = KDAutoresizing;
    mAutoresizing = std::make_unique<KDAutoresizing>(contextView());
    mAutoresizing->setMask(ui->mFilesContentView, A::FlexibleWidth | A::FlexibleHeight);
    mAutoresizing->setMask(ui->mBoxListOperate, A::FlexibleWidth | A::FlexibleTopMargin);
    for (QWidget *caption :
         {static_cast<QWidget *>(ui->mLabelOuputFormat), static_cast<QWidget *>(ui->mLabelOuputFolder)})
        mAutoresizing->setMask(caption, A::FlexibleTopMargin);
    mAutoresizing->setMask(ui->mComboBoxOuputFormat, A::FlexibleWidth | A::FlexibleTopMargin);
    mAutoresizing->setMask(ui->mLabelOuputFolderValue, A::FlexibleWidth | A::FlexibleTopMargin);
    for (QWidget *button : {ui->mBtnSelectFolder, ui->mBtnOpenFolder, ui->mBtnStartConvert})
        mAutoresizing->setMask(button, A::FlexibleLeftMargin | A::FlexibleTopMargin);
}

void MainWindow::fitIntoScreen()
{
    const QScreen *display = screen();
    if (!display)
        return;
    const QRect area = display->availableGeometry();
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize fitting = size().boundedTo(area.size() - frameExtra).expandedTo(minimumSize());
    if (fitting != size())
        resize(fitting);
    const QRect frame = frameGeometry();
    const int x = std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
    const int y = std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != frame.topLeft())
        move(x, y);
}

void MainWindow::showEvent(QShowEvent *event)
{
    KDWindow::showEvent(event);
    fitIntoScreen();
}

void MainWindow::awakeFromNib()
{
    KDWindow::awakeFromNib();
    ui->mFilesContentView->awakeFromNib();
    // Sheets hang from the lower edge of the title bar: KDWindow's default
    // sheet placement does exactly that for this window.
    titleBar()->setBgColor(Qt::white);
    contextView()->setBgColor(Qt::white);
    setBackgroundColor(Qt::white);
    customTitlebarButton();
    customOperationView();
    customBottom();
    connectControls();
    setUpShortcuts();
    setStartConvertButtonEnable(ui->mFilesContentView->numberOfRowsInTableView() > 0);
    updateConvertOupputFormat();
    addNotification();
    KDConvertFileManager &store = KDConvertFileManager::defaultManager();
    store.setAppMainWindow(this);
    store.setPasswordPromptFactory(KDInputPDFPasswordAlertWindow::promptFactory());
}

void MainWindow::customTitlebarButton()
{
    for (KDHoverButton *button : {mBtnTitlebarFiles, mBtnTitlebarLang, mBtnTitlebarHelp}) {
        button->setTitleColor(Qt::black);
        button->setHasBorder(false);
        button->setNormalBgColor(Qt::white);
        button->setHoverBgColor(kFace);
        button->setPressedBgColor(kPressed);
    }
    layoutToolbarButtons();
}

void MainWindow::customOperationView()
{
    QPalette palette = ui->mBoxListOperate->palette();
    palette.setColor(QPalette::WindowText, kBoxBorder);
    ui->mBoxListOperate->setPalette(palette);
    const auto style = [](KDHoverButton *button, const QString &image) {
        button->setImageSize(QSize(16, 16));
        button->setNormalImage(iconNamed(image));
        button->setHoverImage(iconNamed(image + QStringLiteral("_hover")));
        button->setPressedImage(iconNamed(image + QStringLiteral("_hover")));
        KDButtonFitting::applyFaceLook(button);
    };
    style(ui->mBtnAddFiles, QStringLiteral("add_file"));
    style(ui->mBtnRemoveSelectFiles, QStringLiteral("remove_selected"));
    style(ui->mBtnClearList, QStringLiteral("clear_list"));
    styleMoveButton(ui->mBtnMoveUp, QStringLiteral("move_up"));
    styleMoveButton(ui->mBtnMoveDown, QStringLiteral("move_down"));
    layoutOperationViewUI();
}

void MainWindow::styleMoveButton(KDHoverButton *button, const QString &image)
{
    button->setImageSize(QSize(16, 16));
    button->setNormalImage(iconNamed(image));
    KDButtonFitting::applyFaceLook(button);
    button->resize(kMoveButtonSize, kMoveButtonSize);
}

void MainWindow::customBottom()
{
    for (KDHoverButton *button : {ui->mBtnSelectFolder, ui->mBtnOpenFolder, ui->mBtnStartConvert})
        KDButtonFitting::applyFaceLook(button);
    ui->mBtnSelectFolder->setTitle(QStringLiteral("..."));
    QFont startFont = ui->mBtnStartConvert->textFiled()->font();
    startFont.setPixelSize(18);
    startFont.setBold(true);
    ui->mBtnStartConvert->textFiled()->setFont(startFont);
    ui->mBtnStartConvert->setDisabledTitleColor(kDisabledTitle);
    mOutputFolder = AppSettings::chosenConvertOutputFolderPath();
    layoutBottomUI();
}

void MainWindow::connectControls()
{
    FilesContentView *list = ui->mFilesContentView;
    connect(ui->mBtnStartConvert, &QAbstractButton::clicked, this, [this] { actionForStart(ui->mBtnStartConvert); });
    connect(ui->mBtnAddFiles, &QAbstractButton::clicked, list,
            [this, list] { list->actionForAddFiles(ui->mBtnAddFiles); });
    connect(ui->mBtnRemoveSelectFiles, &QAbstractButton::clicked, list,
            [this, list] { list->actionForRemoveSelectedFiles(ui->mBtnRemoveSelectFiles); });
    connect(ui->mBtnClearList, &QAbstractButton::clicked, list,
            [this, list] { list->actionForClearList(ui->mBtnClearList); });
    connect(ui->mBtnMoveUp, &QAbstractButton::clicked, list, [this, list] { list->actionForMoveUp(ui->mBtnMoveUp); });
    connect(ui->mBtnMoveDown, &QAbstractButton::clicked, list,
            [this, list] { list->actionForMoveDown(ui->mBtnMoveDown); });
    connect(ui->mBtnSelectFolder, &QAbstractButton::clicked, this,
            [this] { actionForChangeConvertFolderPath(ui->mBtnSelectFolder); });
    connect(ui->mBtnOpenFolder, &QAbstractButton::clicked, this, [this] { actionForOpenFolder(ui->mBtnOpenFolder); });
    connect(mBtnTitlebarFiles, &QAbstractButton::clicked, this, [this] { actionForShowFileMenu(mBtnTitlebarFiles); });
    connect(mBtnTitlebarLang, &QAbstractButton::clicked, this, [this] { actionForShowLangMenu(mBtnTitlebarLang); });
    connect(mBtnTitlebarHelp, &QAbstractButton::clicked, this, [this] { actionForShowHelpMenu(mBtnTitlebarHelp); });
    connect(list, &FilesContentView::startConvertButtonEnableChanged, this, &MainWindow::setStartConvertButtonEnable);
    connect(list, &FilesContentView::convertModeChangedByTab, this, &MainWindow::updateConvertOupputFormat);
}

// Window-wide keys: Ctrl+O adds files, Ctrl+Return starts. The list's own
// keys (Delete, Alt+Up, Alt+Down, Return) belong to the list.
void MainWindow::setUpShortcuts()
{
    mAddFilesAction = new QAction(this);
    mAddFilesAction->setObjectName(QStringLiteral("actionAddFiles"));
    mAddFilesAction->setShortcut(QKeySequence::Open);
    connect(mAddFilesAction, &QAction::triggered, this, [this] { actionForAddFiles(mAddFilesAction); });
    addAction(mAddFilesAction);
    mStartAction = new QAction(this);
    mStartAction->setObjectName(QStringLiteral("actionStart"));
    mStartAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(mStartAction, &QAction::triggered, this, [this] { actionForStart(mStartAction); });
    addAction(mStartAction);
}

void MainWindow::addNotification()
{
    NotificationCenter::defaultCenter().addObserver(
        this, kLangDidChangeNotification,
        [this](const QString &, const QVariantMap &) { notificationLangDidChange(); });
}

void MainWindow::notificationLangDidChange()
{
    setWindowTitle(VAZevediZeziz::appInfo().appLocalizedName());
    placeWindowTitle();
    mBtnTitlebarFiles->setTitle(text("MenuFile"));
    mBtnTitlebarHelp->setTitle(text("Help"));
    mBtnTitlebarLang->setTitle(text("Language"));
    ui->mBtnAddFiles->setTitle(text("AddFiles"));
    ui->mBtnRemoveSelectFiles->setTitle(text("RemoveSelected"));
    ui->mBtnClearList->setTitle(text("ClearTask"));
    ui->mLabelOuputFormat->setText(text("OutputFormat") + QStringLiteral(":"));
    ui->mLabelOuputFolder->setText(text("OutputDir") + QStringLiteral(":"));
    ui->mBtnOpenFolder->setTitle(text("OpenFolder"));
    ui->mBtnStartConvert->setTitle(text("StartConvert"));
    const auto withShortcut = [](const QString &title, const QKeySequence &keys) {
        return QStringLiteral("%1 (%2)").arg(title, keys.toString(QKeySequence::NativeText));
    };
    ui->mBtnMoveUp->setToolTip(withShortcut(text("MoveUp"), QKeySequence(Qt::ALT | Qt::Key_Up)));
    ui->mBtnMoveUp->setAccessibleName(text("MoveUp"));
    ui->mBtnMoveDown->setToolTip(withShortcut(text("MoveDown"), QKeySequence(Qt::ALT | Qt::Key_Down)));
    ui->mBtnMoveDown->setAccessibleName(text("MoveDown"));
    ui->mBtnAddFiles->setToolTip(withShortcut(text("AddFiles"), QKeySequence::Open));
    ui->mBtnStartConvert->setToolTip(withShortcut(text("StartConvert"), QKeySequence(Qt::CTRL | Qt::Key_Return)));
    ui->mBtnSelectFolder->setAccessibleName(text("OutputDir"));
    layoutToolbarButtons();
    layoutOperationViewUI();
    layoutBottomUI();
}

// The kit stretches the title label over the whole bar, so the title's
// place is set by aligning its text: top, at the row above the menu buttons.
void MainWindow::placeWindowTitle()
{
    QLabel *title = winTitle();
    const int textTop =
        KDButtonFitting::topFromBottom(titleBarHeight(), kWindowTitleBottom, title->fontMetrics().height());
    title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    title->setContentsMargins(0, textTop, 0, 0);
}

void MainWindow::layoutToolbarButtons()
{
    KDButtonFitting::fitTextButton(mBtnTitlebarFiles);
    KDButtonFitting::fitTextButton(mBtnTitlebarLang);
    mBtnTitlebarLang->move(rightEdge(mBtnTitlebarFiles) + kMenuButtonGap, mBtnTitlebarLang->y());
    KDButtonFitting::fitTextButton(mBtnTitlebarHelp);
    mBtnTitlebarHelp->move(rightEdge(mBtnTitlebarLang) + kMenuButtonGap, mBtnTitlebarHelp->y());
}

// Centred in the box with 8-point gaps, but never under Move Up and Move
// Down at the right end; a group wider than the room left overflows on the left.
void MainWindow::layoutOperationViewUI()
{
    QFrame *box = ui->mBoxListOperate;
    KDHoverButton *down = ui->mBtnMoveDown;
    KDHoverButton *up = ui->mBtnMoveUp;
    const int moveTop = (box->height() - kMoveButtonSize) / 2;
    down->move(box->width() - kMoveButtonsRight - kMoveButtonSize, moveTop);
    up->move(down->x() - kOperationGap / 2 - kMoveButtonSize, moveTop);

    KDHoverButton *buttons[] = {ui->mBtnAddFiles, ui->mBtnRemoveSelectFiles, ui->mBtnClearList};
    int total = 2 * kOperationGap;
    for (KDHoverButton *button : buttons)
        total += KDButtonFitting::fitImageButton(button);
    int x = std::min((box->width() - total) / 2, up->x() - kOperationGap - total);
    for (KDHoverButton *button : buttons) {
        button->move(x, button->y());
        x += button->width() + kOperationGap;
    }
}

void MainWindow::layoutBottomUI()
{
    const int contentWidth = contextView()->width();
    QLabel *formatCaption = ui->mLabelOuputFormat;
    QLabel *folderCaption = ui->mLabelOuputFolder;
    for (QLabel *caption : {formatCaption, folderCaption})
        caption->setGeometry(kCaptionX, caption->y(), caption->sizeHint().width(), caption->height());
    const int captionWidth = std::max(formatCaption->width(), folderCaption->width());
    folderCaption->resize(captionWidth, folderCaption->height());
    const int controlX = captionWidth + kCaptionToControl;

    KDHoverButton *start = ui->mBtnStartConvert;
    KDButtonFitting::fitTextButton(start);
    start->move(contentWidth - kStartRightMargin - start->width(), start->y());

    // A long Start title pushes the rows' right end to the left.
    QComboBox *combo = ui->mComboBoxOuputFormat;
    const int comboRight = std::min(contentWidth - kComboRightMargin, start->x() - kComboToStart);
    combo->setGeometry(controlX, combo->y(), comboRight - controlX, combo->height());

    KDHoverButton *openFolder = ui->mBtnOpenFolder;
    KDButtonFitting::fitTextButton(openFolder);
    openFolder->move(comboRight - kOpenFolderToComboRight - openFolder->width(), openFolder->y());

    KDHoverButton *selectFolder = ui->mBtnSelectFolder;
    selectFolder->move(openFolder->x() - kButtonGap - selectFolder->width(), selectFolder->y());

    QLabel *path = ui->mLabelOuputFolderValue;
    path->setGeometry(controlX, path->y(), selectFolder->x() - kButtonGap - controlX, path->height());
    showOutputFolder();
}

// A long path loses its middle; the whole of it is in the tooltip.
void MainWindow::showOutputFolder()
{
    QLabel *path = ui->mLabelOuputFolderValue;
    path->setText(path->fontMetrics().elidedText(mOutputFolder, Qt::ElideMiddle, path->contentsRect().width()));
    path->setToolTip(mOutputFolder);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    KDWindow::resizeEvent(event);
    if (mAutoresizing)
        mAutoresizing->resizeSubviews();
    layoutOperationViewUI();
    showOutputFolder();
}

// An empty list reaches down over the operations box's place; a filled one
// stands 3 points above the box.
void MainWindow::setStartConvertButtonEnable(bool enable)
{
    ui->mBtnStartConvert->setEnabled(enable);
    QFrame *box = ui->mBoxListOperate;
    box->setHidden(!enable);

    const int contentHeight = contextView()->height();
    const int boxBottom = contentHeight - (box->y() + box->height());
    const int listBottom = box->isHidden() ? boxBottom : boxBottom + box->height() + kListAboveBox;
    FilesContentView *list = ui->mFilesContentView;
    list->setGeometry(list->x(), 0, list->width(), contentHeight - listBottom);
}

QStringList MainWindow::getComboxOutputFormatWithConvertMode(quint64 mode)
{
    if (mode != ConvertFromPdf)
        return {QStringLiteral("PDF (*.pdf)")};
    QStringList formats;
    for (const OutputFormat &format : kFromPdfFormats)
        formats.append(QLatin1String(format.key));
    return formats;
}

QString MainWindow::getSelectedOutputFormatWithConvertMode(quint64 mode) const
{
    if (mode != ConvertFromPdf)
        return QStringLiteral("pdf");
    const int index = ui->mComboBoxOuputFormat->currentIndex();
    if (index < 0 || index >= int(std::size(kFromPdfFormats)))
        return QStringLiteral("docx");
    return QLatin1String(kFromPdfFormats[index].type);
}

void MainWindow::updateConvertOupputFormat()
{
    QComboBox *combo = ui->mComboBoxOuputFormat;
    combo->clear();
    combo->addItems(getComboxOutputFormatWithConvertMode(ui->mFilesContentView->currentConvertMode()));
    combo->setCurrentIndex(0);
}

void MainWindow::actionForStart(QObject *)
{
    // The shortcut reaches here with an empty list too; the button cannot.
    if (ui->mBtnStartConvert->isEnabled())
        beginConvert();
}

// One run at a time: Start is refused until the last run's sheet has closed.
bool MainWindow::beginConvert()
{
    if (mRunActive)
        return false;
    // The results go where the window says, never silently elsewhere.
    if (!AppSettings::prepareConvertOutputFolder(mOutputFolder)) {
        KDNoticeWindow::showOver(this, text("OutputFolderUnusable"), mOutputFolder);
        return false;
    }
    mRunActive = true;
    mRunEnded = false;
    mRunSummary.clear();
    mRunFailure.clear();
    mUnrevealedFolder.clear();
    const quint64 run = ++mRunSerial;
    mLastProgressInfo.clear();

    const quint64 mode = ui->mFilesContentView->currentConvertMode();
    const KDConvertFileList &records = KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode);
    for (const KDConvertFileRecord &record : records)
        record->setOutcome(Waiting);
    ui->mFilesContentView->reloadData();
    QTimer::singleShot(kSheetDelayMs, this, [this, run] { showConvertSheet(run); });

    QStringList paths;
    for (const KDConvertFileRecord &record : records)
        paths.append(record->filePath());
    PDFConvert::startConvertPDFWithAction(
        mode, paths, getSelectedOutputFormatWithConvertMode(mode),
        [this, run](qint32 percent) {
            logSystem(QStringLiteral("当前进度：%1").arg(percent));
            postConvertProgressNotiticationWithStatus(ConvertProgressWindow::ConvertProgressConverting, percent, run);
        },
        [this, run, mode](qint32 result, const QStringList &outputs, const QString &message) {
            // Called on the run's own threads; the records and widgets belong to this one.
            QMetaObject::invokeMethod(
                this, [this, run, mode, result, outputs, message] { runDidEnd(run, mode, result, outputs, message); },
                Qt::QueuedConnection);
        });
    return true;
}

void MainWindow::runDidEnd(quint64 run, quint64 mode, qint32 result, const QStringList &paths, const QString &message)
{
    if (run != mRunSerial || !mRunActive || mRunEnded)
        return; // a superseded or cancelled run, or a second completion of this one
    mRunEnded = true;
    if (result < 0) {
        const QString failure = QStringLiteral("转换失败，%1").arg(message);
        logSystem(failure);
        CommLog::E(failure);
    }
    const QString language = VAZevediZeziz::appInfo().appLang();
    const QList<RunOutcome::File> files =
        RunOutcome::files(result, paths, message, PDFConvert::convertTasks(), mode == MergePdf, language);
    applyConvertResults(mode, files);
    mRunSummary = RunOutcome::summary(files, language);
    mRunFailure = RunOutcome::runFailureReason(result, mode == MergePdf, language);
    postConvertProgressNotiticationWithStatus(result < 0 ? ConvertProgressWindow::ConvertProgressFailed
                                                         : ConvertProgressWindow::ConvertProgressFinished,
                                              100, run);
    revealResults(files);
}

// The records belong to the main thread's list, so the outcomes are set
// there, on the list of the run's own mode.
void MainWindow::applyConvertResults(quint64 mode, const QList<RunOutcome::File> &files)
{
    const KDConvertFileList &records = KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode);
    for (const RunOutcome::File &file : files) {
        const auto found = std::find_if(records.begin(), records.end(), [&file](const KDConvertFileRecord &record) {
            return record->filePath() == file.inputPath;
        });
        if (found == records.end())
            continue; // removed from the list while the run went on
        if (file.converted())
            (*found)->setOutcome(Finished, file.resultPath);
        else
            (*found)->setOutcome(Failed, QString(), file.failureReason);
    }
    ui->mFilesContentView->reloadData();
}

// Shown in the file manager at once; when the desktop cannot show them, the
// folder is offered in a notice after the sheet has closed.
void MainWindow::revealResults(const QList<RunOutcome::File> &files)
{
    QList<QUrl> results;
    for (const RunOutcome::File &file : files) {
        const QUrl url = QUrl::fromLocalFile(file.resultPath);
        if (file.converted() && !results.contains(url))
            results.append(url);
    }
    if (!results.isEmpty() && !ToolFile::showMultipleFilesInFinder(results))
        mUnrevealedFolder = QFileInfo(results.constFirst().toLocalFile()).absolutePath();
}

void MainWindow::postConvertProgressNotiticationWithStatus(qint32 status, qint32 progressValue, quint64 run)
{
    const QVariantMap userInfo{{ConvertProgressWindow::kStatusKey, status},
                               {ConvertProgressWindow::kProgressKey, progressValue}};
    QMetaObject::invokeMethod(
        this,
        [this, run, userInfo] {
            if (run != mRunSerial || !mRunActive)
                return; // a superseded or cancelled run
            if (mRunEnded &&
                userInfo.value(ConvertProgressWindow::kStatusKey) == ConvertProgressWindow::ConvertProgressConverting)
                return; // a late figure of an ended run
            mLastProgressInfo = userInfo;
            NotificationCenter::defaultCenter().postNotificationName(ConvertProgressWindow::kProgressNotification,
                                                                     userInfo);
            updateSheet();
        },
        Qt::QueuedConnection);
}

QString MainWindow::currentFileText() const
{
    const QList<std::shared_ptr<PDFConvertTask>> tasks = PDFConvert::convertTasks();
    if (tasks.isEmpty())
        return {};
    const bool merge = PDFConvert::isMergeRun();
    const auto notDone = [merge](const auto &task) { return !RunOutcome::isTaskDone(*task, merge); };
    const qsizetype done = tasks.size() - std::count_if(tasks.cbegin(), tasks.cend(), notDone);
    const auto current = std::find_if(tasks.cbegin(), tasks.cend(), notDone);
    const QString name = QFileInfo((current != tasks.cend() ? *current : tasks.constLast())->localPath()).fileName();
    return text("CurrentFile").arg(name).arg(std::min(done + 1, tasks.size())).arg(tasks.size());
}

void MainWindow::updateSheet()
{
    ConvertProgressWindow *sheet = mSheetConvertProgressWindow;
    if (!sheet)
        return;
    QLabel *line = sheet->fileLabel();
    const QString lineText = mRunEnded ? mRunFailure : currentFileText();
    line->setText(line->fontMetrics().elidedText(lineText, Qt::ElideMiddle, line->width()));
    line->setToolTip(lineText);
    if (!mRunEnded)
        return;
    sheet->convertLabel()->setText(mRunSummary);
    sheet->btnCancel()->setTitle(text("Close"));
}

// The sheet shows what the run has reported before it appeared. Escape
// cancels a run or closes the sheet of an ended one; Return closes it then.
void MainWindow::showConvertSheet(quint64 run)
{
    if (run != mRunSerial || !mRunActive)
        return;
    if (mSheetConvertProgressWindow)
        mSheetConvertProgressWindow->deleteLater();
    ConvertProgressWindow *sheet = KDWindow::loadForNib<ConvertProgressWindow>();
    mSheetConvertProgressWindow = sheet;
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), sheet);
    connect(escape, &QShortcut::activated, this, [this] { actionForCancelConvert(); });
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *close = new QShortcut(QKeySequence(key), sheet);
        connect(close, &QShortcut::activated, this, [this] {
            if (mRunEnded)
                endConvertSheet(mRunSerial);
        });
    }
    beginSheet(sheet, [] {});
    if (!mLastProgressInfo.isEmpty())
        sheet->updateConvertProgressNotification(mLastProgressInfo);
    updateSheet();
}

void MainWindow::endConvertSheet(quint64 run)
{
    if (run != mRunSerial)
        return;
    mRunActive = false;
    if (mSheetConvertProgressWindow)
        endSheet(mSheetConvertProgressWindow);
    if (!mUnrevealedFolder.isEmpty())
        DesktopOpener::showCannotOpen(QUrl::fromLocalFile(std::exchange(mUnrevealedFolder, QString())), this);
}

// Cancel while the run goes on; Close once it has ended.
void MainWindow::actionForCancelConvert(QObject *)
{
    if (!mRunEnded)
        PDFConvert::cancel();
    endConvertSheet(mRunSerial);
}

void MainWindow::actionForAddFiles(QObject *)
{
    KDOpenPanel::Options options;
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    options.allowsMultipleSelection = true;
    addFilesFromPanel(options);
}

void MainWindow::actionForSelectFilesFromFolder(QObject *)
{
    KDOpenPanel::Options options;
    options.canChooseFiles = false;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = false;
    addFilesFromPanel(options);
}

void MainWindow::addFilesFromPanel(const KDOpenPanel::Options &panelOptions)
{
    KDOpenPanel::Options options = panelOptions;
    options.allowedFileTypes =
        KDConvertFileManager::matchFileTypesWithConvertMode(ui->mFilesContentView->currentConvertMode());
    KDOpenPanel::beginSheetModalForWindow(
        this, options, [this, types = options.allowedFileTypes](bool confirmed, const QStringList &paths) {
            if (confirmed)
                ui->mFilesContentView->addFilesWithPaths(paths, types);
        });
}

void MainWindow::actionForChangeConvertFolderPath(QObject *)
{
    KDOpenPanel::Options options;
    options.canChooseFiles = false;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = false;
    options.directory = mOutputFolder;
    KDOpenPanel::beginSheetModalForWindow(this, options, [this](bool confirmed, const QStringList &paths) {
        if (!confirmed || paths.isEmpty())
            return;
        mOutputFolder = paths.constFirst();
        showOutputFolder();
        AppSettings::SetConvertOutputFolderPath(mOutputFolder);
    });
}

// The folder the window shows, made again first when it has gone.
void MainWindow::actionForOpenFolder(QObject *)
{
    if (!AppSettings::prepareConvertOutputFolder(mOutputFolder)) {
        KDNoticeWindow::showOver(this, text("OutputFolderUnusable"), mOutputFolder);
        return;
    }
    DesktopOpener::open(QUrl::fromLocalFile(mOutputFolder), this);
}

// Menus are built afresh at every pop-up, so they always show the current
// language and selection.
KDMenu *MainWindow::makeMenu()
{
    auto *menu = new KDMenu(this);
    menu->setBgColor(Qt::white);
    menu->setRowHeight(kMenuRowHeight);
    menu->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    menu->setHoverColor(kMenuHover);
    return menu;
}

void MainWindow::popMenu(KDMenu *menu, QObject *sender)
{
    auto *anchor = qobject_cast<QWidget *>(sender);
    if (!anchor) {
        delete menu;
        return;
    }
    if (mLastPoppedMenu)
        mLastPoppedMenu->close();
    mLastPoppedMenu = menu;
    menu->popMenuToView(anchor, QPoint(0, 0), KDMenu::JoinBelow, KDMenu::AlignLeftEdges);
}

namespace {

KDTitleOnlyMenuItem *addTitleItem(KDMenu *menu, const QString &title, QObject *target, const char *action)
{
    auto *item = new KDTitleOnlyMenuItem(title);
    item->setTarget(target);
    item->setAction(action);
    menu->addItem(item);
    return item;
}

} // namespace

void MainWindow::actionForShowFileMenu(QObject *sender)
{
    KDMenu *menu = makeMenu();
    menu->setObjectName(QStringLiteral("fileMenu"));
    addTitleItem(menu, text("AddFiles"), this, "actionForAddFiles");
    addTitleItem(menu, text("AddFolder"), this, "actionForSelectFilesFromFolder");
    popMenu(menu, sender);
}

void MainWindow::actionForShowLangMenu(QObject *sender)
{
    KDMenu *menu = makeMenu();
    menu->setObjectName(QStringLiteral("LanguageMenu"));
    const QString current = AppSettings::AppLanguageName();
    const QList<CommLangInfo> infos = CommLang::GetAppLangInfos();
    for (const CommLangInfo &info : infos) {
        KDTitleOnlyMenuItem *item = addTitleItem(menu, info.langDisplayName, this, "actionForChangeAppLanguage");
        item->setIsSelected(info.langName == current);
    }
    popMenu(menu, sender);
}

void MainWindow::actionForShowHelpMenu(QObject *sender)
{
    KDMenu *menu = makeMenu();
    menu->setObjectName(QStringLiteral("HelpMenu"));
    addTitleItem(menu, text("Support"), this, "actionForSupport");
    addTitleItem(menu, text("Feedback"), this, "actionForFeedback");
    auto *separator = new KDMenuSeparatorItem;
    separator->setLineWidth(1.0);
    separator->setLineColor(kMenuSeparator);
    menu->addItem(separator);
    addTitleItem(menu, text("CheckUpdate"), this, "actionForCheckUpdate");
    addTitleItem(menu, text("About") + QStringLiteral("..."), this, "actionForAbout");
    // The title bar has no room for a fourth button in every language, so
    // the account window is reached from here.
    addTitleItem(menu, text("Account") + QStringLiteral("..."), this, "actionForDisplayAccount");
    popMenu(menu, sender);
}

void MainWindow::actionForSupport(QObject *)
{
    DesktopOpener::open(QUrl(VAZevediZeziz::appInfo().urlSupport()), this);
}

void MainWindow::actionForFeedback(QObject *)
{
    const QUrl url = CommFeedback::submissionUrl();
    if (url.isValid())
        DesktopOpener::open(url, this);
}

void MainWindow::actionForCheckUpdate(QObject *)
{
    CommUpdate::check(this);
}

void MainWindow::actionForAbout(QObject *)
{
    auto *about = KDAboutWindow::LoadFromNib();
    if (!about)
        return;
    about->setAttribute(Qt::WA_DeleteOnClose);
    KDWindowPresenter::presentCentred(about, this);
}

void MainWindow::actionForDisplayAccount(QObject *)
{
    DEVavuzAze::showRelativeToWindow(this);
}

// The item's title finds the record again; the first of equal display names wins.
void MainWindow::actionForChangeAppLanguage(QObject *sender)
{
    auto *item = qobject_cast<KDTitleOnlyMenuItem *>(sender);
    if (!item)
        return;
    const QList<CommLangInfo> infos = CommLang::GetAppLangInfos();
    const auto found = std::find_if(infos.begin(), infos.end(), [title = item->title()](const CommLangInfo &info) {
        return info.langDisplayName == title;
    });
    if (found == infos.end())
        return;
    AppSettings::setAppLanguageName(found->langName);
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    NotificationCenter::defaultCenter().postNotificationName(kLangDidChangeNotification);
}

void MainWindow::addFilesFromCommandLine(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    FilesContentView *list = ui->mFilesContentView;
    list->addFilesWithPaths(paths, KDConvertFileManager::matchFileTypesWithConvertMode(list->currentConvertMode()));
}
