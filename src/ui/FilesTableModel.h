#pragma once

#include <QAbstractListModel>
#include <QPointer>

class FilesContentView;

// The table's rows as the file list view counts them: one row per record of
// the view's current list. The list changes in place in the store, so the
// view resets the model whenever it reloads. Rows can be dragged to another
// place of the same list; the move itself is the view's.
class FilesTableModel final : public QAbstractListModel {
    Q_OBJECT
public:
    // The rows of a drag, readable only by the list that started it.
    static inline const QString kRowsMimeType = QStringLiteral("application/x-mirelune-list-rows");

    explicit FilesTableModel(FilesContentView *dataSource);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    void reloadData();

private:
    // The dragged rows when the data comes from this very list, else nothing.
    QList<int> draggedRows(const QMimeData *data) const;

    QPointer<FilesContentView> mDataSource;
};
