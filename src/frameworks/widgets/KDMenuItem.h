#pragma once

#include <QObject>
#include <QRectF>

class KDMenu;
class QPainter;

// One row of a KDMenu. The menu owns its items and asks each for its height
// and its picture.
class KDMenuItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the pointer highlights the row and a click chooses it.
    virtual bool isSelectable() const = 0;
    virtual qreal heightInMenu(const KDMenu &menu) const = 0;
    virtual qreal widthInMenu(const KDMenu &menu) const = 0;
    virtual void paint(QPainter &painter, const QRectF &rect, const KDMenu &menu, bool hovered) const = 0;
    // What choosing the row does; nothing for rows that cannot be chosen.
    virtual void trigger() {}
};
