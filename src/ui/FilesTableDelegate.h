#pragma once

#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>

class FilesContentView;

// Draws each row with the list view's cell for that row, filled afresh, so
// that any number of rows costs only the rows on screen; the row the keyboard
// is on gets a focus ring while the table has the focus.
class FilesTableDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FilesTableDelegate(FilesContentView *dataSource);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static void paintFocusRing(QPainter *painter, const QStyleOptionViewItem &option);

    QPointer<FilesContentView> mDataSource;
    mutable QPixmap mRowImage;
};
