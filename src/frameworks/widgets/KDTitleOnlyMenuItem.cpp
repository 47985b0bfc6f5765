#include "frameworks/widgets/KDTitleOnlyMenuItem.h"

#include "frameworks/widgets/KDAction.h"
#include "frameworks/widgets/KDMenu.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

// The column left of the titles holds the selected mark.
constexpr qreal kMarkColumn = 24.0;
constexpr qreal kRightInset = 16.0;

void paintCheckMark(QPainter &painter, const QRectF &row, const QColor &color)
{
    const qreal size = std::min<qreal>(10.0, row.height() - 8.0);
    const QPointF origin(row.left() + (kMarkColumn - size) / 2.0, row.center().y() - size / 2.0);
    QPainterPath mark;
    mark.moveTo(origin + QPointF(0.0, size * 0.55));
    mark.lineTo(origin + QPointF(size * 0.38, size * 0.9));
    mark.lineTo(origin + QPointF(size, size * 0.1));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(mark);
    painter.restore();
}

} // namespace

KDTitleOnlyMenuItem::KDTitleOnlyMenuItem(const QString &title, QObject *parent) : KDMenuItem(parent), mTitle(title)
{
}

void KDTitleOnlyMenuItem::setTitle(const QString &title)
{
    mTitle = title;
}

void KDTitleOnlyMenuItem::setIsSelected(bool selected)
{
    mIsSelected = selected;
}

void KDTitleOnlyMenuItem::setTarget(QObject *target)
{
    mTarget = target;
}

void KDTitleOnlyMenuItem::setAction(const QByteArray &action)
{
    mAction = action;
}

qreal KDTitleOnlyMenuItem::heightInMenu(const KDMenu &menu) const
{
    return menu.rowHeight();
}

qreal KDTitleOnlyMenuItem::widthInMenu(const KDMenu &menu) const
{
    return kMarkColumn + QFontMetricsF(menu.font()).horizontalAdvance(mTitle) + kRightInset;
}

void KDTitleOnlyMenuItem::paint(QPainter &painter, const QRectF &rect, const KDMenu &menu, bool hovered) const
{
    if (hovered)
        painter.fillRect(rect, menu.hoverColor());
    if (mIsSelected)
        paintCheckMark(painter, rect, menu.titleColor());
    painter.setFont(menu.font());
    painter.setPen(menu.titleColor());
    const QRectF text = rect.adjusted(kMarkColumn, 0.0, -kRightInset, 0.0);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, mTitle);
}

void KDTitleOnlyMenuItem::trigger()
{
    emit triggered(this);
    if (mTarget && !mAction.isEmpty())
        KDAction::send(mTarget, mAction.constData(), this);
}
