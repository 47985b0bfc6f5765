#include "ui/FilesTableModel.h"

#include "frameworks/CommLang.h"
#include "ui/FilesContentView.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

FilesTableModel::FilesTableModel(FilesContentView *dataSource) : QAbstractListModel(dataSource), mDataSource(dataSource)
{
}

int FilesTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !mDataSource)
        return 0;
    return mDataSource->numberOfRowsInTableView();
}

// The cell draws the row; the model answers for tooltips, type-ahead and
// assistive tools: the result of a finished file, the reason of a failed one.
QVariant FilesTableModel::data(const QModelIndex &index, int role) const
{
    const KDConvertFileRecord record = mDataSource ? mDataSource->recordAtRow(index.row()) : nullptr;
    if (!record)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return record->fileName();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (record->convertStatus() == Failed && !record->failureReason().isEmpty())
            return record->failureReason();
        if (record->convertStatus() == Finished && !record->resultPath().isEmpty())
            return CommLang::GetAppLang(QStringLiteral("ResultTooltip")).arg(record->resultPath());
        return record->filePath();
    default:
        return {};
    }
}

// Rows are dragged; drops land between rows, never on one.
Qt::ItemFlags FilesTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled;
}

Qt::DropActions FilesTableModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions FilesTableModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

QStringList FilesTableModel::mimeTypes() const
{
    return {kRowsMimeType};
}

// The process and the model are part of the data, so that rows dragged from
// another window or program never move rows here.
QMimeData *FilesTableModel::mimeData(const QModelIndexList &indexes) const
{
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && !rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << QCoreApplication::applicationPid() << quintptr(this) << rows;
    auto *data = new QMimeData;
    data->setData(kRowsMimeType, bytes);
    return data;
}

QList<int> FilesTableModel::draggedRows(const QMimeData *data) const
{
    if (!data || !data->hasFormat(kRowsMimeType))
        return {};
    QDataStream stream(data->data(kRowsMimeType));
    qint64 pid = 0;
    quintptr model = 0;
    QList<int> rows;
    stream >> pid >> model >> rows;
    if (stream.status() != QDataStream::Ok || pid != QCoreApplication::applicationPid() || model != quintptr(this))
        return {};
    return rows;
}

bool FilesTableModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int, const QModelIndex &) const
{
    return action == Qt::MoveAction && !draggedRows(data).isEmpty();
}

bool FilesTableModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                                   const QModelIndex &parent)
{
    if (!mDataSource || !canDropMimeData(data, action, row, 0, parent))
        return false;
    // Dropped on a row rather than between two: in front of it.
    const int beforeRow = row >= 0 ? row : (parent.isValid() ? parent.row() : rowCount());
    mDataSource->moveRows(draggedRows(data), beforeRow);
    return true;
}

void FilesTableModel::reloadData()
{
    beginResetModel();
    endResetModel();
}
