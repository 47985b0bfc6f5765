#pragma once

#include "frameworks/widgets/KDMenuItem.h"

#include <QColor>

// A horizontal line between groups of rows.
class KDMenuSeparatorItem : public KDMenuItem {
    Q_OBJECT
public:
    explicit KDMenuSeparatorItem(QObject *parent = nullptr);

    qreal lineWidth() const { return mLineWidth; }
    void setLineWidth(qreal width);
    QColor lineColor() const { return mLineColor; }
    void setLineColor(const QColor &color);

    bool isSelectable() const override { return false; }
    qreal heightInMenu(const KDMenu &menu) const override;
    qreal widthInMenu(const KDMenu &menu) const override;
    void paint(QPainter &painter, const QRectF &rect, const KDMenu &menu, bool hovered) const override;

private:
    qreal mLineWidth = 1.0;
    QColor mLineColor{200, 200, 200};
};
