#pragma once

#include <QAbstractListModel>
#include <QPointer>

class FilesContentView;

// The table's rows as the file list view counts them: one row per record of
// the view's current list. The list changes in place in the store, so the
// view resets the model whenever it reloads.
class FilesTableModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FilesTableModel(FilesContentView *dataSource);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void reloadData();

private:
    QPointer<FilesContentView> mDataSource;
};
