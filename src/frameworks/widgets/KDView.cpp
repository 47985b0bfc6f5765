#include "frameworks/widgets/KDView.h"

#include "frameworks/widgets/KDWindow.h"

#include <QPainter>
#include <QPainterPath>

KDView::KDView(QWidget *parent) : QWidget(parent)
{
}

void KDView::setBgColor(const QColor &color)
{
    if (mBgColor == color)
        return;
    mBgColor = color;
    update();
}

void KDView::paintEvent(QPaintEvent *)
{
    if (!mBgColor.isValid() || mBgColor.alpha() == 0)
        return;
    QPainter painter(this);
    if (const auto *window = qobject_cast<const KDWindow *>(this->window())) {
        const QPainterPath outline = window->contentShape().translated(-mapTo(window, QPoint(0, 0)));
        painter.setRenderHint(QPainter::Antialiasing, window->paintsAntialiasedOutline());
        painter.fillPath(outline, mBgColor);
        return;
    }
    painter.fillRect(rect(), mBgColor);
}
