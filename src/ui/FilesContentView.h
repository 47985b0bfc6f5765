#pragma once

#include "files/KDConvertFileManager.h"

#include <QWidget>

#include <memory>

class FileContentTabView;
class FilesTableModel;
class KDHoverButton;
class KDTableCellView;
class QLabel;
class QMimeData;
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

public slots:
    void actionForChangeConvertMode(QObject *sender);
    void actionForAddFiles(QObject *sender = nullptr);
    void actionForRemoveSelectedFiles(QObject *sender = nullptr);
    void actionForClearList(QObject *sender = nullptr);

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

private:
    void setUpTable();
    void styleAddButton();
    void fillCell(KDTableCellView *cell, const KDConvertFileMetaData &record) const;
    QStringList matchedDraggedFiles(const QMimeData *mimeData) const;
    bool isCurrentListEmpty() const;

    std::unique_ptr<Ui::FilesContentView> ui;
    FilesTableModel *mModel = nullptr;
    std::unique_ptr<KDTableCellView> mReusableCell;
    bool bIsEmptyDragFiles = false;
    bool bIsDraggingEnter = false;
    bool mDragMatches = false;
    quint64 _currentMode = ConvertFromPdf;
    const KDConvertFileList *_currentFileMetaDatas = nullptr;
    bool _isAwaked = false;
};
