#include "ui/FilesTableDelegate.h"

#include "ui/FilesContentView.h"
#include "ui/KDTableCellView.h"

#include <QPainter>

namespace {

const QColor kSelectedRow(222, 236, 255);
const QColor kRowSeparator(236, 236, 236);
constexpr qreal kFocusRingWidth = 2.0;

} // namespace

FilesTableDelegate::FilesTableDelegate(FilesContentView *dataSource)
    : QStyledItemDelegate(dataSource), mDataSource(dataSource)
{
}

void FilesTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!mDataSource)
        return;
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, kSelectedRow);
    painter->setPen(kRowSeparator);
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());

    KDTableCellView *cell = mDataSource->tableViewViewForTableColumnRow(index.row());
    if (!cell)
        return;
    // Through an image of the row: a widget rendered straight into the
    // viewport's painter lands offset by the viewport's place in the window.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QSize pixels = option.rect.size() * ratio;
    if (mRowImage.size() != pixels) {
        mRowImage = QPixmap(pixels);
        mRowImage.setDevicePixelRatio(ratio);
    }
    mRowImage.fill(Qt::transparent);
    cell->render(&mRowImage, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->drawPixmap(option.rect.topLeft(), mRowImage);
    if (option.state & QStyle::State_HasFocus)
        paintFocusRing(painter, option);
}

// The keyboard's row: a ring inside the row, in the highlight colour.
void FilesTableDelegate::paintFocusRing(QPainter *painter, const QStyleOptionViewItem &option)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), kFocusRingWidth));
    painter->setBrush(Qt::NoBrush);
    const qreal inset = kFocusRingWidth / 2 + 1;
    painter->drawRoundedRect(QRectF(option.rect).adjusted(inset, inset, -inset, -inset), 3, 3);
    painter->restore();
}

QSize FilesTableDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int height = mDataSource ? mDataSource->tableViewHeightOfRow(index.row()) : 0;
    return {option.rect.width(), height};
}
