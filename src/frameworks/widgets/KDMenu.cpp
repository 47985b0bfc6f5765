#include "frameworks/widgets/KDMenu.h"

#include "frameworks/widgets/KDMenuItem.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

// Space above the first and below the last row.
constexpr qreal kVerticalInset = 4.0;

int alignedX(const QRect &anchor, int width, KDMenu::Alignment alignment)
{
    switch (alignment) {
    case KDMenu::AlignCenters:
        return anchor.left() + (anchor.width() - width) / 2;
    case KDMenu::AlignRightEdges:
        return anchor.left() + anchor.width() - width;
    case KDMenu::AlignLeftEdges:
        break;
    }
    return anchor.left();
}

int joinedY(const QRect &anchor, int height, KDMenu::JoinDirection direction, int offsetY)
{
    return direction == KDMenu::JoinBelow ? anchor.top() + anchor.height() + offsetY : anchor.top() - height + offsetY;
}

} // namespace

KDMenu::KDMenu(QWidget *parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("KDMenu"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void KDMenu::addItem(KDMenuItem *item)
{
    if (!item || mItems.contains(item))
        return;
    item->setParent(this);
    mItems.append(item);
    updateGeometry();
    update();
}

void KDMenu::setRowHeight(qreal height)
{
    mRowHeight = height;
    updateGeometry();
    update();
}

void KDMenu::setHoverColor(const QColor &color)
{
    mHoverColor = color;
    update();
}

void KDMenu::setBgColor(const QColor &color)
{
    mBgColor = color;
    update();
}

void KDMenu::setTitleColor(const QColor &color)
{
    mTitleColor = color;
    update();
}

QRectF KDMenu::rowRect(int index) const
{
    qreal top = kVerticalInset;
    for (int i = 0; i < index && i < mItems.size(); ++i)
        top += mItems.at(i)->heightInMenu(*this);
    const qreal height = (index >= 0 && index < mItems.size()) ? mItems.at(index)->heightInMenu(*this) : 0.0;
    return {1.0, top, width() - 2.0, height};
}

QSize KDMenu::sizeHint() const
{
    qreal width = 0.0;
    qreal height = 2 * kVerticalInset;
    for (const KDMenuItem *item : mItems) {
        width = std::max(width, item->widthInMenu(*this));
        height += item->heightInMenu(*this);
    }
    return {static_cast<int>(std::ceil(width)) + 2, static_cast<int>(std::ceil(height))};
}

QRect KDMenu::popupFrame(const QRect &anchor, const QSize &size, const QPoint &offset, JoinDirection withJoinDirection,
                         Alignment alignment, const QRect &screen)
{
    QRect frame(QPoint(alignedX(anchor, size.width(), alignment) + offset.x(),
                       joinedY(anchor, size.height(), withJoinDirection, offset.y())),
                size);
    const bool overflows =
        withJoinDirection == JoinBelow ? frame.bottom() > screen.bottom() : frame.top() < screen.top();
    if (overflows && !screen.isEmpty()) {
        const JoinDirection other = withJoinDirection == JoinBelow ? JoinAbove : JoinBelow;
        QRect flipped = frame;
        flipped.moveTop(joinedY(anchor, size.height(), other, -offset.y()));
        if (screen.contains(flipped))
            frame = flipped;
    }
    if (screen.isEmpty())
        return frame;
    frame.moveLeft(
        std::clamp(frame.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - frame.width())));
    frame.moveTop(std::clamp(frame.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - frame.height())));
    return frame;
}

void KDMenu::popMenuToView(QWidget *view, const QPoint &offset, JoinDirection withJoinDirection, Alignment alignment)
{
    if (!view)
        return;
    const QRect anchor(view->mapToGlobal(QPoint(0, 0)), view->size());
    const QScreen *screen = view->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    setGeometry(popupFrame(anchor, sizeHint(), offset, withJoinDirection, alignment, available));
    setHovered(-1);
    show();
    setFocus(Qt::PopupFocusReason);
}

int KDMenu::indexAt(const QPointF &pos) const
{
    if (pos.x() < 0 || pos.x() >= width())
        return -1;
    for (int i = 0; i < mItems.size(); ++i) {
        if (rowRect(i).contains(QPointF(1.0, pos.y())))
            return i;
    }
    return -1;
}

void KDMenu::setHovered(int index)
{
    if (index >= 0 && !mItems.at(index)->isSelectable())
        index = -1;
    if (mHovered == index)
        return;
    mHovered = index;
    update();
}

void KDMenu::moveHover(int step)
{
    const int count = static_cast<int>(mItems.size());
    int index = mHovered;
    for (int tries = 0; tries < count; ++tries) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
        if (mItems.at(index)->isSelectable()) {
            setHovered(index);
            return;
        }
    }
}

void KDMenu::choose(int index)
{
    if (index < 0 || index >= mItems.size() || !mItems.at(index)->isSelectable())
        return;
    KDMenuItem *item = mItems.at(index);
    // Close first: an action may open a modal window, which must not find
    // this pop-up still grabbing the input. Deletion waits for the event loop.
    close();
    item->trigger();
}

void KDMenu::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), mBgColor);
    for (int i = 0; i < mItems.size(); ++i)
        mItems.at(i)->paint(painter, rowRect(i), *this, i == mHovered);
    painter.setPen(mBorderColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void KDMenu::mouseMoveEvent(QMouseEvent *event)
{
    setHovered(indexAt(event->position()));
}

void KDMenu::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        choose(indexAt(event->position()));
}

void KDMenu::leaveEvent(QEvent *event)
{
    setHovered(-1);
    QWidget::leaveEvent(event);
}

void KDMenu::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Up:
        moveHover(-1);
        break;
    case Qt::Key_Down:
        moveHover(1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        choose(mHovered);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
