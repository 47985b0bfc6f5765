#include "frameworks/widgets/KDMenuSeparatorItem.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr qreal kVerticalSpace = 8.0;
constexpr qreal kSideInset = 8.0;

} // namespace

KDMenuSeparatorItem::KDMenuSeparatorItem(QObject *parent) : KDMenuItem(parent)
{
}

void KDMenuSeparatorItem::setLineWidth(qreal width)
{
    mLineWidth = std::max<qreal>(0.0, width);
}

void KDMenuSeparatorItem::setLineColor(const QColor &color)
{
    mLineColor = color;
}

qreal KDMenuSeparatorItem::heightInMenu(const KDMenu &) const
{
    return std::ceil(mLineWidth) + kVerticalSpace;
}

qreal KDMenuSeparatorItem::widthInMenu(const KDMenu &) const
{
    return 2 * kSideInset;
}

void KDMenuSeparatorItem::paint(QPainter &painter, const QRectF &rect, const KDMenu &, bool) const
{
    const QRectF line(rect.left() + kSideInset, rect.center().y() - mLineWidth / 2.0, rect.width() - 2 * kSideInset,
                      mLineWidth);
    painter.fillRect(line, mLineColor);
}
