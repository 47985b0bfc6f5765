#pragma once

#include "files/KDConvertFileManager.h"

#include <QWidget>

#include <memory>

class FileContentTabView;
class FilesTableModel;
class KDHoverButton;
class KDTableCellView;
class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QModelIndex;
class QTableView;

namespace Ui {
class FilesContentView;
}

// The centre of the main window: three mode tabs over the table of the
// current mode's files, an empty state that invites adding or dropping files,
// and a drop target. It owns the current convert mode; every change of the
// lists goes through the store, and the view redisplays when the store
// announces one.
class FilesContentView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 60;
    static inline const QString kLangDidChangeNotification = QStringLiteral("notification.lang.appLangDidChange");

    explicit FilesContentView(QWidget *parent = nullptr);
    ~FilesContentView() override;

    // One-time set-up once the window holding the view is built.
    void awakeFromNib();
    void layoutUI();
    void addNotification();
    void notificationLangDidChange();
    void notificationFileContextNeedRefresh();

    void reloadData();
    quint64 currentConvertMode() const { return _currentMode; }
    void setCurrentConvertMode(quint64 mode);
    bool isEmptyDragFiles() const { return bIsEmptyDragFiles; }
    void setIsEmptyDragFiles(bool empty);
    bool isDraggingEnter() const { return bIsDraggingEnter; }

    // The drop target, fed by the Qt drag events. draggingEntered answers
    // whether the drag may be dropped here (as a copy).
    bool draggingEntered(const QMimeData *mimeData);
    void draggingExited();
    void draggingEnded();
    bool performDragOperation(const QMimeData *mimeData);

    // Filters paths (files, and folders expanded) by the extensions and hands
    // the matches to the store's intake for the current mode.
    void addFilesWithPaths(const QStringList &paths, const QStringList &fileTypes);

    // The table's data source and delegate.
    int numberOfRowsInTableView() const;
    int tableViewHeightOfRow(int row) const;
    // The cell of a row, sized to the row and filled from its record.
    KDTableCellView *tableViewViewForTableColumnRow(int row);
    KDConvertFileRecord recordAtRow(int row) const;

    QTableView *tableView() const;
    FileContentTabView *tabForMode(quint64 mode) const;

    // Reordering: the records at rows (of the current list) go in front of
    // beforeRow, in their order, and stay selected. The list's order is the
    // order of the run and of a merge.
    void moveRows(const QList<int> &rows, int beforeRow);
    KDConvertFileList selectedRecords() const;
    void selectRecords(const KDConvertFileList &records);

    // The row's menu at a point of the table's viewport (the current row for
    // a point outside every row); it deletes itself when closed.
    QMenu *showRowMenu(const QPoint &pos);
    // The actions of the rows, shared by the menu and the keyboard.
    QAction *removeAction() const { return mRemoveAction; }
    QAction *moveUpAction() const { return mMoveUpAction; }
    QAction *moveDownAction() const { return mMoveDownAction; }

public slots:
    void actionForChangeConvertMode(QObject *sender);
    void actionForAddFiles(QObject *sender = nullptr);
    void actionForRemoveSelectedFiles(QObject *sender = nullptr);
    void actionForClearList(QObject *sender = nullptr);
    void actionForMoveUp(QObject *sender = nullptr);
    void actionForMoveDown(QObject *sender = nullptr);
    // Double-click or Return on a row: a finished file's result opens, a
    // failed file's reason is shown.
    void activateRow(const QModelIndex &index);

signals:
    // The Start button is to be enabled exactly when the current list has files.
    void startConvertButtonEnableChanged(bool enable);
    // The mode was chosen by a tab: the output formats must follow.
    void convertModeChangedByTab();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpTable();
    void setUpRowActions();
    void layoutTabs();
    void retitleRowActions();
    void shiftSelection(int step);
    void openResultOf(const KDConvertFileRecord &record);
    void showResultInFolder(const KDConvertFileRecord &record);
    void showFailureOf(const KDConvertFileRecord &record);
    void styleAddButton();
    void fillCell(KDTableCellView *cell, const KDConvertFileMetaData &record) const;
    QStringList matchedDraggedFiles(const QMimeData *mimeData) const;
    bool isCurrentListEmpty() const;

    std::unique_ptr<Ui::FilesContentView> ui;
    FilesTableModel *mModel = nullptr;
    std::unique_ptr<KDTableCellView> mReusableCell;
    QAction *mRemoveAction = nullptr;
    QAction *mMoveUpAction = nullptr;
    QAction *mMoveDownAction = nullptr;
    bool bIsEmptyDragFiles = false;
    bool bIsDraggingEnter = false;
    bool mDragMatches = false;
    quint64 _currentMode = ConvertFromPdf;
    const KDConvertFileList *_currentFileMetaDatas = nullptr;
    bool _isAwaked = false;
};
