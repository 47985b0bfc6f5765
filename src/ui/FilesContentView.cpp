#include "ui/FilesContentView.h"

#include "ui_FilesContentView.h"

#include "frameworks/CommLang.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesTableDelegate.h"
#include "ui/FilesTableModel.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDOpenPanel.h"
#include "ui/KDTableCellView.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLayout>
#include <QMimeData>
#include <QPainter>

namespace {

const QColor kBorder(170, 170, 170, 128);
// The Add button's image and title inside the button.
constexpr int kAddImageX = 4;
constexpr int kAddTitleOffset = 8;
constexpr int kAddTitleBottom = 5;
// The empty state's button and label keep this distance from the middle of
// the list area, above and below it.
constexpr int kEmptyStateGap = 5;

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
    KDHoverButton *button = ui->mBtnAddFiles;
    const int buttonWidth = KDButtonFitting::fitImageButton(button, kAddImageX, kAddTitleOffset, kAddTitleBottom);
    QLabel *label = ui->mLabelDragFiles;
    label->resize(label->sizeHint().width(), label->height());

    const int middle = FileContentTabView::kStripHeight + (height() - FileContentTabView::kStripHeight) / 2;
    button->move((width() - buttonWidth) / 2, middle - kEmptyStateGap - button->height());
    label->move((width() - label->width()) / 2, middle + kEmptyStateGap);
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
    QModelIndexList rows = ui->mTableView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    KDConvertFileList records;
    for (const QModelIndex &index : std::as_const(rows)) {
        if (KDConvertFileRecord record = recordAtRow(index.row()))
            records.append(record);
    }
    KDConvertFileManager::defaultManager().removeFileMetaDatas(records, _currentMode);
}

void FilesContentView::actionForClearList(QObject *)
{
    KDConvertFileManager &store = KDConvertFileManager::defaultManager();
    store.removeFileMetaDatas(store.getFileDatasWithConvertMode(_currentMode), _currentMode);
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
    KDTableCellView::setElidedText(cell->filePathLabel(), record.filePath(), Qt::ElideMiddle);
    KDTableCellView::setImageNamed(cell->convertStatusIcon(), statusImageName(record.convertStatus()));
}

void FilesContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor colour = bIsDraggingEnter ? palette().color(QPalette::Highlight) : kBorder;
    painter.setPen(QPen(colour, 1));
    const int top = FileContentTabView::kStripHeight;
    painter.drawRect(QRect(0, top, width() - 1, height() - top - 1));
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
