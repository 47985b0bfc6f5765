#include "ui/FilesContentView.h"

#include "ui_FilesContentView.h"

#include "frameworks/CommLang.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "ui/DesktopOpener.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesTableDelegate.h"
#include "ui/FilesTableModel.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDOpenPanel.h"
#include "ui/KDTableCellView.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLayout>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTableView>
#include <QUrl>

namespace {

const QColor kBorder(170, 170, 170, 128);
constexpr int kFocusBorderWidth = 2;
// The empty state's button and label keep this distance from the middle of
// the list area, above and below it.
constexpr int kEmptyStateGap = 5;
// Mode tabs: at least this wide, wider for a long title, this far apart.
constexpr int kTabWidth = 150;
constexpr int kTabTitlePadding = 12;
constexpr int kTabGap = 2;

QIcon iconNamed(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QString statusImageName(qint32 status)
{
    switch (status) {
    case Failed:
        return QStringLiteral("list-fail");
    case Finished:
        return QStringLiteral("list-finish");
    default:
        return QStringLiteral("list-waiting");
    }
}

} // namespace

FilesContentView::FilesContentView(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::FilesContentView>())
{
    ui->setupUi(this);
    ui->mTabPDFToOther->setTitleLabel(ui->mTabPDFToOtherTitle);
    ui->mTabOtherToPDF->setTitleLabel(ui->mTabOtherToPDFTitle);
    ui->mTabMergePDF->setTitleLabel(ui->mTabMergePDFTitle);
    for (FileContentTabView *tab : {ui->mTabPDFToOther, ui->mTabOtherToPDF, ui->mTabMergePDF}) {
        tab->setTarget(this);
        tab->setAction(QByteArrayLiteral("actionForChangeConvertMode"));
    }
    connect(ui->mBtnAddFiles, &QAbstractButton::clicked, this, [this] { actionForAddFiles(ui->mBtnAddFiles); });
    setUpTable();
}

FilesContentView::~FilesContentView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void FilesContentView::setUpTable()
{
    QTableView *table = ui->mTableView;
    mModel = new FilesTableModel(this);
    table->setModel(mModel);
    table->setItemDelegate(new FilesTableDelegate(this));
    QHeaderView *rows = table->verticalHeader();
    rows->setMinimumSectionSize(0);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeight);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setWordWrap(false);
    table->setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the list; the arrow keys move within it.
    table->setTabKeyNavigation(false);
    // Rows move within the list by drag and drop; files dropped from outside
    // are not the table's and go on to this view.
    table->setDragEnabled(true);
    table->setAcceptDrops(true);
    table->viewport()->setAcceptDrops(true);
    table->setDragDropMode(QAbstractItemView::DragDrop);
    table->setDragDropOverwriteMode(false);
    table->setDefaultDropAction(Qt::MoveAction);
    table->setDropIndicatorShown(true);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) { showRowMenu(pos); });
    connect(table, &QAbstractItemView::activated, this, &FilesContentView::activateRow);
    table->installEventFilter(this);
    setUpRowActions();
}

// Keys of the rows work while the table has the focus: Delete removes the
// selected rows, Alt+Up and Alt+Down move them.
void FilesContentView::setUpRowActions()
{
    const auto make = [this](const char *name, const QKeySequence &shortcut,
                             void (FilesContentView::*slot)(QObject *)) {
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, [this, action, slot] { (this->*slot)(action); });
        ui->mTableView->addAction(action);
        return action;
    };
    mRemoveAction =
        make("actionRemove", QKeySequence(QKeySequence::Delete), &FilesContentView::actionForRemoveSelectedFiles);
    mMoveUpAction = make("actionMoveUp", QKeySequence(Qt::ALT | Qt::Key_Up), &FilesContentView::actionForMoveUp);
    mMoveDownAction =
        make("actionMoveDown", QKeySequence(Qt::ALT | Qt::Key_Down), &FilesContentView::actionForMoveDown);
    retitleRowActions();
}

void FilesContentView::retitleRowActions()
{
    mRemoveAction->setText(CommLang::GetAppLang(QStringLiteral("Remove")));
    mMoveUpAction->setText(CommLang::GetAppLang(QStringLiteral("MoveUp")));
    mMoveDownAction->setText(CommLang::GetAppLang(QStringLiteral("MoveDown")));
}

void FilesContentView::awakeFromNib()
{
    _isAwaked = true;
    styleAddButton();
    setIsEmptyDragFiles(true);
    bIsDraggingEnter = false;
    setAcceptDrops(true);
    ui->mTabPDFToOther->setStateOn(true);
    ui->mTabOtherToPDF->setStateOn(false);
    ui->mTabMergePDF->setStateOn(false);
    addNotification();
    // The store may hold files already (a window opened later): show them.
    setCurrentConvertMode(_currentMode);
    layoutUI();
}

void FilesContentView::styleAddButton()
{
    KDHoverButton *button = ui->mBtnAddFiles;
    button->setImageSize(QSize(20, 20));
    button->setNormalImage(iconNamed(QStringLiteral("add_file")));
    button->setHoverImage(iconNamed(QStringLiteral("add_file_hover")));
    button->setPressedImage(iconNamed(QStringLiteral("add_file_hover")));
    KDButtonFitting::applyFaceLook(button);
}

void FilesContentView::addNotification()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(this, KDConvertFileManager::kRefreshNotification,
                       [this](const QString &, const QVariantMap &) { notificationFileContextNeedRefresh(); });
    center.addObserver(this, kLangDidChangeNotification,
                       [this](const QString &, const QVariantMap &) { notificationLangDidChange(); });
}

void FilesContentView::notificationLangDidChange()
{
    ui->mBtnAddFiles->setTitle(CommLang::GetAppLang(QStringLiteral("AddFiles")));
    ui->mLabelDragFiles->setText(CommLang::GetAppLang(QStringLiteral("DragFiles")));
    ui->mTabPDFToOtherTitle->setText(CommLang::GetAppLang(QStringLiteral("ConvertFromPdf")));
    ui->mTabOtherToPDFTitle->setText(CommLang::GetAppLang(QStringLiteral("ConvertToPdf")));
    ui->mTabMergePDFTitle->setText(CommLang::GetAppLang(QStringLiteral("MergePdf")));
    for (FileContentTabView *tab : {ui->mTabPDFToOther, ui->mTabOtherToPDF, ui->mTabMergePDF})
        tab->setAccessibleName(tab->titleLabel()->text());
    retitleRowActions();
    layoutUI();
}

void FilesContentView::notificationFileContextNeedRefresh()
{
    setCurrentConvertMode(_currentMode);
}

// Centres the empty state's Add button and label in the list area.
void FilesContentView::layoutUI()
{
    if (!_isAwaked)
        return;
    layoutTabs();
    KDHoverButton *button = ui->mBtnAddFiles;
    const int buttonWidth = KDButtonFitting::fitImageButton(button);
    QLabel *label = ui->mLabelDragFiles;
    label->resize(label->sizeHint().width(), label->height());

    const int middle = FileContentTabView::kStripHeight + (height() - FileContentTabView::kStripHeight) / 2;
    button->move((width() - buttonWidth) / 2, middle - kEmptyStateGap - button->height());
    label->move((width() - label->width()) / 2, middle + kEmptyStateGap);
}

// A title longer than the tab widens its tab; the tabs stay side by side.
void FilesContentView::layoutTabs()
{
    int x = 0;
    for (FileContentTabView *tab : {ui->mTabPDFToOther, ui->mTabOtherToPDF, ui->mTabMergePDF}) {
        QLabel *title = tab->titleLabel();
        const int width =
            std::max(kTabWidth, title->fontMetrics().horizontalAdvance(title->text()) + 2 * kTabTitlePadding);
        tab->setGeometry(x, tab->y(), width, tab->height());
        title->setGeometry(0, title->y(), width, title->height());
        x += width + kTabGap;
    }
}

void FilesContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The table fills the bordered list area below the tabs.
    const int top = FileContentTabView::kStripHeight + 1;
    ui->mTableView->setGeometry(1, top, width() - 2, height() - top - 1);
    layoutUI();
}

void FilesContentView::reloadData()
{
    mModel->reloadData();
}

void FilesContentView::setCurrentConvertMode(quint64 mode)
{
    _currentMode = mode;
    _currentFileMetaDatas = &KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode);
    reloadData();
    setIsEmptyDragFiles(_currentFileMetaDatas->isEmpty());
    emit startConvertButtonEnableChanged(!_currentFileMetaDatas->isEmpty());
}

void FilesContentView::setIsEmptyDragFiles(bool empty)
{
    bIsEmptyDragFiles = empty;
    ui->mBtnAddFiles->setVisible(empty);
    ui->mLabelDragFiles->setVisible(empty);
    update();
}

bool FilesContentView::isCurrentListEmpty() const
{
    return !_currentFileMetaDatas || _currentFileMetaDatas->isEmpty();
}

FileContentTabView *FilesContentView::tabForMode(quint64 mode) const
{
    switch (mode) {
    case ConvertFromPdf:
        return ui->mTabPDFToOther;
    case ConvertToPdf:
        return ui->mTabOtherToPDF;
    default:
        return ui->mTabMergePDF;
    }
}

QTableView *FilesContentView::tableView() const
{
    return ui->mTableView;
}

void FilesContentView::actionForChangeConvertMode(QObject *sender)
{
    for (FileContentTabView *tab : {ui->mTabPDFToOther, ui->mTabOtherToPDF, ui->mTabMergePDF})
        tab->setStateOn(false);
    quint64 mode = MergePdf;
    if (sender == ui->mTabPDFToOther)
        mode = ConvertFromPdf;
    else if (sender == ui->mTabOtherToPDF)
        mode = ConvertToPdf;
    tabForMode(mode)->setStateOn(true);
    setCurrentConvertMode(mode);
    emit convertModeChangedByTab();
}

void FilesContentView::addFilesWithPaths(const QStringList &paths, const QStringList &fileTypes)
{
    const QStringList matched = KDConvertFileManager::matchFiles(paths, fileTypes);
    if (matched.isEmpty())
        return;
    KDConvertFileManager::defaultManager().parseInputFiles(matched, _currentMode);
}

void FilesContentView::actionForAddFiles(QObject *)
{
    KDOpenPanel::Options options;
    options.canChooseFiles = true;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = true;
    options.allowedFileTypes = KDConvertFileManager::matchFileTypesWithConvertMode(_currentMode);
    KDOpenPanel::beginSheetModalForWindow(
        window(), options, [this, types = options.allowedFileTypes](bool confirmed, const QStringList &paths) {
            if (confirmed)
                addFilesWithPaths(paths, types);
        });
}

void FilesContentView::actionForRemoveSelectedFiles(QObject *)
{
    KDConvertFileManager::defaultManager().removeFileMetaDatas(selectedRecords(), _currentMode);
}

void FilesContentView::actionForClearList(QObject *)
{
    KDConvertFileManager &store = KDConvertFileManager::defaultManager();
    store.removeFileMetaDatas(store.getFileDatasWithConvertMode(_currentMode), _currentMode);
}

void FilesContentView::actionForMoveUp(QObject *)
{
    shiftSelection(-1);
}

void FilesContentView::actionForMoveDown(QObject *)
{
    shiftSelection(1);
}

void FilesContentView::shiftSelection(int step)
{
    const KDConvertFileList records = selectedRecords();
    const KDConvertFileRecord current = recordAtRow(ui->mTableView->currentIndex().row());
    if (KDConvertFileManager::defaultManager().shiftFileMetaDatas(records, _currentMode, step))
        selectRecords(records);
    if (current)
        ui->mTableView->scrollTo(mModel->index(int(_currentFileMetaDatas->indexOf(current))));
}

void FilesContentView::moveRows(const QList<int> &rows, int beforeRow)
{
    KDConvertFileList records;
    for (int row : rows) {
        if (KDConvertFileRecord record = recordAtRow(row))
            records.append(record);
    }
    if (KDConvertFileManager::defaultManager().moveFileMetaDatas(records, _currentMode, beforeRow))
        selectRecords(records);
}

KDConvertFileList FilesContentView::selectedRecords() const
{
    QModelIndexList rows = ui->mTableView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    KDConvertFileList records;
    for (const QModelIndex &index : std::as_const(rows)) {
        if (KDConvertFileRecord record = recordAtRow(index.row()))
            records.append(record);
    }
    return records;
}

// After a reload the model has forgotten the selection; the records say
// where the rows went. The first of them becomes the current row.
void FilesContentView::selectRecords(const KDConvertFileList &records)
{
    if (!_currentFileMetaDatas)
        return;
    QItemSelectionModel *selection = ui->mTableView->selectionModel();
    QItemSelection rows;
    QModelIndex first;
    for (const KDConvertFileRecord &record : records) {
        const qsizetype row = _currentFileMetaDatas->indexOf(record);
        if (row < 0)
            continue;
        const QModelIndex index = mModel->index(int(row));
        rows.select(index, index);
        if (!first.isValid() || index.row() < first.row())
            first = index;
    }
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid())
        selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
}

QMenu *FilesContentView::showRowMenu(const QPoint &pos)
{
    QTableView *table = ui->mTableView;
    QModelIndex index = table->indexAt(pos);
    if (!index.isValid())
        index = table->currentIndex();
    const KDConvertFileRecord record = recordAtRow(index.row());
    if (!record)
        return nullptr;
    // A row outside the selection becomes the selection, as in file managers.
    if (!table->selectionModel()->isRowSelected(index.row(), QModelIndex()))
        selectRecords({record});
    table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);

    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool hasResult = record->convertStatus() == Finished && !record->resultPath().isEmpty();
    QAction *open = menu->addAction(CommLang::GetAppLang(QStringLiteral("OpenResult")), this,
                                    [this, record] { openResultOf(record); });
    open->setObjectName(QStringLiteral("actionOpenResult"));
    open->setEnabled(hasResult);
    QAction *reveal = menu->addAction(CommLang::GetAppLang(QStringLiteral("ShowInFolder")), this,
                                      [this, record] { showResultInFolder(record); });
    reveal->setObjectName(QStringLiteral("actionShowInFolder"));
    reveal->setEnabled(hasResult);
    menu->addSeparator();
    menu->addAction(mRemoveAction);
    menu->addSeparator();
    menu->addAction(mMoveUpAction);
    menu->addAction(mMoveDownAction);
    const QRect row = table->visualRect(index);
    const QPoint at = table->viewport()->rect().contains(pos) && table->indexAt(pos).isValid()
                          ? pos
                          : QPoint(row.left() + row.width() / 4, row.center().y());
    menu->popup(table->viewport()->mapToGlobal(at));
    return menu;
}

void FilesContentView::activateRow(const QModelIndex &index)
{
    const KDConvertFileRecord record = recordAtRow(index.row());
    if (!record)
        return;
    if (record->convertStatus() == Finished && !record->resultPath().isEmpty())
        openResultOf(record);
    else if (record->convertStatus() == Failed && !record->failureReason().isEmpty())
        showFailureOf(record);
}

void FilesContentView::openResultOf(const KDConvertFileRecord &record)
{
    DesktopOpener::open(QUrl::fromLocalFile(record->resultPath()), window());
}

void FilesContentView::showResultInFolder(const KDConvertFileRecord &record)
{
    DesktopOpener::reveal({QUrl::fromLocalFile(record->resultPath())}, window());
}

void FilesContentView::showFailureOf(const KDConvertFileRecord &record)
{
    KDNoticeWindow::showOver(window(), record->fileName(), record->failureReason());
}

int FilesContentView::numberOfRowsInTableView() const
{
    return _currentFileMetaDatas ? int(_currentFileMetaDatas->size()) : 0;
}

int FilesContentView::tableViewHeightOfRow(int) const
{
    return kRowHeight;
}

KDConvertFileRecord FilesContentView::recordAtRow(int row) const
{
    if (!_currentFileMetaDatas || row < 0 || row >= _currentFileMetaDatas->size())
        return nullptr;
    return _currentFileMetaDatas->at(row);
}

KDTableCellView *FilesContentView::tableViewViewForTableColumnRow(int row)
{
    const KDConvertFileRecord record = recordAtRow(row);
    if (!record)
        return nullptr;
    if (!mReusableCell)
        mReusableCell = KDTableCellView::loadFromNib();
    KDTableCellView *cell = mReusableCell.get();
    const QSize size(ui->mTableView->viewport()->width(), tableViewHeightOfRow(row));
    if (cell->size() != size) {
        cell->resize(size);
        cell->layout()->activate();
    }
    fillCell(cell, *record);
    return cell;
}

void FilesContentView::fillCell(KDTableCellView *cell, const KDConvertFileMetaData &record) const
{
    const QString extension = QFileInfo(record.filePath()).suffix();
    KDTableCellView::setImageNamed(cell->fileTypeIcon(),
                                   KDConvertFileManager::getFileTypeIconWithFileExtension(extension));
    KDTableCellView::setElidedText(cell->fileTitleLabel(), record.fileName(), Qt::ElideMiddle);
    // Read now: the file may have grown or gone since the last paint.
    cell->sizePageLabel()->setText(record.fileSizeString());
    const bool failed = record.convertStatus() == Failed && !record.failureReason().isEmpty();
    cell->setDetailLine(failed ? record.failureReason() : record.filePath(), failed);
    KDTableCellView::setImageNamed(cell->convertStatusIcon(), statusImageName(record.convertStatus()));
}

// The list's border turns to the highlight colour, and thicker, while the
// table has the keyboard focus or files are dragged over it.
void FilesContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool focused = ui->mTableView->hasFocus();
    const QColor colour = bIsDraggingEnter || focused ? palette().color(QPalette::Highlight) : kBorder;
    const int width = focused ? kFocusBorderWidth : 1;
    painter.setPen(QPen(colour, width));
    painter.setBrush(Qt::NoBrush);
    const int top = FileContentTabView::kStripHeight;
    const qreal inset = width / 2.0;
    painter.drawRect(QRectF(0, top, this->width(), height() - top).adjusted(inset, inset, -inset, -inset));
}

bool FilesContentView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->mTableView && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(watched, event);
}

// Only lists of local files are acted on; anything else matches nothing.
QStringList FilesContentView::matchedDraggedFiles(const QMimeData *mimeData) const
{
    if (!mimeData || !mimeData->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl &url : mimeData->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    if (paths.isEmpty())
        return {};
    return KDConvertFileManager::matchFiles(paths, KDConvertFileManager::matchFileTypesWithConvertMode(_currentMode));
}

// Highlighted whatever is dragged; only a drag with matching files may drop.
bool FilesContentView::draggingEntered(const QMimeData *mimeData)
{
    bIsDraggingEnter = true;
    update();
    mDragMatches = !matchedDraggedFiles(mimeData).isEmpty();
    return mDragMatches;
}

void FilesContentView::draggingExited()
{
    bIsDraggingEnter = false;
    update();
}

void FilesContentView::draggingEnded()
{
    draggingExited();
}

bool FilesContentView::performDragOperation(const QMimeData *mimeData)
{
    const QStringList matched = matchedDraggedFiles(mimeData);
    if (!matched.isEmpty())
        KDConvertFileManager::defaultManager().parseInputFiles(matched, _currentMode);
    setIsEmptyDragFiles(isCurrentListEmpty());
    return !matched.isEmpty();
}

void FilesContentView::dragEnterEvent(QDragEnterEvent *event)
{
    if (draggingEntered(event->mimeData()))
        event->setDropAction(Qt::CopyAction);
    event->setAccepted(mDragMatches);
}

void FilesContentView::dragMoveEvent(QDragMoveEvent *event)
{
    if (mDragMatches)
        event->setDropAction(Qt::CopyAction);
    event->setAccepted(mDragMatches);
}

void FilesContentView::dragLeaveEvent(QDragLeaveEvent *event)
{
    draggingExited();
    event->accept();
}

void FilesContentView::dropEvent(QDropEvent *event)
{
    const bool dropped = performDragOperation(event->mimeData());
    draggingEnded();
    if (dropped)
        event->setDropAction(Qt::CopyAction);
    event->setAccepted(dropped);
}
