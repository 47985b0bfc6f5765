#include "frameworks/widgets/KDMaskWindow.h"

#include "frameworks/widgets/KDCompositing.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

KDMaskWindow::KDMaskWindow(QWidget *parent)
    : QWidget(parent, (parent ? Qt::Tool : Qt::Window) | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("KDMaskWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
}

KDMaskWindow *KDMaskWindow::LoadFromNib(QWidget *parent)
{
    return new KDMaskWindow(parent);
}

void KDMaskWindow::setMaskColor(const QColor &color)
{
    mMaskColor = color;
    update();
}

bool KDMaskWindow::ignoresMouseEvents() const
{
    return windowFlags().testFlag(Qt::WindowTransparentForInput);
}

void KDMaskWindow::setIgnoresMouseEvents(bool ignores)
{
    setWindowFlag(Qt::WindowTransparentForInput, ignores);
}

void KDMaskWindow::coverWindow(QWidget *window)
{
    if (!window)
        return;
    setGeometry(window->frameGeometry());
    // A shaped window (rounded, no compositor) keeps its corners clear.
    if (window->mask().isEmpty())
        clearMask();
    else
        setMask(window->mask());
    mCovered = KDCompositing::isActive() ? QPixmap() : window->grab();
    update();
}

void KDMaskWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!mCovered.isNull()) {
        painter.drawPixmap(rect(), mCovered);
        painter.fillRect(rect(), mMaskColor);
        return;
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), mMaskColor);
}

void KDMaskWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void KDMaskWindow::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void KDMaskWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void KDMaskWindow::wheelEvent(QWheelEvent *event)
{
    event->accept();
}
