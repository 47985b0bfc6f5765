#include "ui/KDWindowPresenter.h"

#include "frameworks/widgets/KDChildWindows.h"
#include "frameworks/widgets/KDWindow.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

QPoint centredOrigin(const QRect &over, const QSize &size)
{
    const auto half = [](int room) { return static_cast<int>(std::floor(room * 0.5 + 0.5)); };
    return over.topLeft() + QPoint(half(over.width() - size.width()), half(over.height() - size.height()));
}

} // namespace

void KDWindowPresenter::presentCentred(KDWindow *window, QWidget *parent)
{
    if (!window)
        return;
    QWidget *over = parent ? parent->window() : nullptr;
    QRect area;
    if (over) {
        KDChildWindows::addChildWindow(over, window);
        area = over->geometry();
    } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid())
        window->move(centredOrigin(area, window->size()));
    window->makeKeyAndOrderFront();
}

void KDWindowPresenter::fitHeightToContent(QWidget *window)
{
    QLayout *layout = window ? window->layout() : nullptr;
    if (!layout)
        return;
    layout->invalidate();
    layout->activate();
    const int width = window->width();
    const int height =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    window->setFixedSize(width, std::max(height, layout->totalMinimumSize().height()));
}
