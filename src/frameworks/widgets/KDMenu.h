#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

class KDMenuItem;

// A pop-up menu of KDMenuItem rows, drawn by the menu itself. It opens
// attached to a view, stays on the screen, and closes (and deletes itself)
// when a row is chosen or the user clicks elsewhere.
class KDMenu : public QWidget {
    Q_OBJECT
public:
    // Which side of the anchor view the menu joins.
    enum JoinDirection { JoinAbove = 0, JoinBelow = 1 };
    Q_ENUM(JoinDirection)
    // Which edges of the menu and the anchor line up.
    enum Alignment { AlignLeftEdges = 0, AlignCenters = 1, AlignRightEdges = 2 };
    Q_ENUM(Alignment)

    explicit KDMenu(QWidget *parent = nullptr);

    // Takes ownership of item.
    void addItem(KDMenuItem *item);
    QList<KDMenuItem *> items() const { return mItems; }

    qreal rowHeight() const { return mRowHeight; }
    void setRowHeight(qreal height);
    QColor hoverColor() const { return mHoverColor; }
    void setHoverColor(const QColor &color);
    QColor bgColor() const { return mBgColor; }
    void setBgColor(const QColor &color);
    QColor titleColor() const { return mTitleColor; }
    void setTitleColor(const QColor &color);

    // Opens the menu next to view; offset moves it right and down.
    void popMenuToView(QWidget *view, const QPoint &offset, JoinDirection withJoinDirection, Alignment alignment);
    // Where a menu of size goes for an anchor (global coordinates), flipped to
    // the other side of the anchor when it does not fit, then kept on screen.
    static QRect popupFrame(const QRect &anchor, const QSize &size, const QPoint &offset,
                            JoinDirection withJoinDirection, Alignment alignment, const QRect &screen);

    int hoveredIndex() const { return mHovered; }
    QRectF rowRect(int index) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int indexAt(const QPointF &pos) const;
    void setHovered(int index);
    void moveHover(int step);
    void choose(int index);

    QList<KDMenuItem *> mItems;
    qreal mRowHeight = 22.0;
    QColor mHoverColor{225, 225, 225};
    QColor mBgColor = Qt::white;
    QColor mTitleColor = Qt::black;
    QColor mBorderColor{0, 0, 0, 40};
    int mHovered = -1;
};
