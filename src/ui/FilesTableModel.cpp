#include "ui/FilesTableModel.h"

#include "ui/FilesContentView.h"

FilesTableModel::FilesTableModel(FilesContentView *dataSource) : QAbstractListModel(dataSource), mDataSource(dataSource)
{
}

int FilesTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !mDataSource)
        return 0;
    return mDataSource->numberOfRowsInTableView();
}

// The cell draws the row; the model answers only for tooltips and type-ahead.
QVariant FilesTableModel::data(const QModelIndex &index, int role) const
{
    const KDConvertFileRecord record = mDataSource ? mDataSource->recordAtRow(index.row()) : nullptr;
    if (!record)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return record->fileName();
    case Qt::ToolTipRole:
        return record->filePath();
    default:
        return {};
    }
}

void FilesTableModel::reloadData()
{
    beginResetModel();
    endResetModel();
}
