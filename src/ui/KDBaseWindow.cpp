#include "ui/KDBaseWindow.h"

#include "frameworks/widgets/KDChildWindows.h"
#include "frameworks/widgets/KDMaskWindow.h"

#include <QCloseEvent>

#include <cmath>

namespace {

int roundHalfUp(double value)
{
    return static_cast<int>(std::floor(value + 0.5));
}

} // namespace

KDBaseWindow::KDBaseWindow(QWidget *parent) : KDWindow(parent)
{
}

KDBaseWindow::~KDBaseWindow()
{
    delete mMaskWindow.data();
}

QRect KDBaseWindow::centredFrame(const QRect &parentFrame, const QSize &size)
{
    const int x = roundHalfUp(parentFrame.x() + (parentFrame.width() - size.width()) * 0.5);
    const int y = roundHalfUp(parentFrame.y() + (parentFrame.height() - size.height()) * 0.5);
    return {QPoint(x, y), size};
}

void KDBaseWindow::setBtnActionBlock(ActionBlock block)
{
    mBtnActionBlock = std::move(block);
}

void KDBaseWindow::setMaskWindow(KDMaskWindow *mask)
{
    mMaskWindow = mask;
}

void KDBaseWindow::awakeFromNib()
{
    KDWindow::awakeFromNib();
    setBackgroundColor(Qt::white);
    setMovableByWindowBackground(true);
}

void KDBaseWindow::closeEvent(QCloseEvent *event)
{
    if (mMaskWindow)
        mMaskWindow->close();
    KDWindow::closeEvent(event);
    // The keyboard goes back to the window below, also where no window
    // manager does it.
    if (event->isAccepted() && parentWidget() && parentWidget()->window()->isVisible())
        parentWidget()->window()->activateWindow();
}

QWidget *KDBaseWindow::windowOfView(QWidget *view)
{
    if (!view)
        qFatal("KDBaseWindow: a dialog needs a view to attach to");
    return view->window();
}

KDMaskWindow *KDBaseWindow::showMaskOver(QWidget *superWindow)
{
    if (!superWindow || !superWindow->isWindow())
        qFatal("KDBaseWindow: a dialog needs a parent window");
    KDMaskWindow *mask = KDMaskWindow::LoadFromNib(superWindow);
    mask->setMaskColor(QColor(0, 0, 0, qRound(0.8 * 255)));
    mask->setIgnoresMouseEvents(false);
    mask->coverWindow(superWindow);
    KDChildWindows::addChildWindow(superWindow, mask);
    mask->show();
    return mask;
}

void KDBaseWindow::presentOver(QWidget *superWindow, KDMaskWindow *mask, const QSize &size, ActionBlock actionBlock)
{
    setMaskWindow(mask);
    setTitleVisible(false);
    setGeometry(centredFrame(superWindow->frameGeometry(), size));
    KDChildWindows::addChildWindow(superWindow, this);
    // The parent takes no input while the dialog is up; the mask only shows it.
    setWindowModality(Qt::WindowModal);
    makeKeyAndOrderFront();
    setBtnActionBlock(std::move(actionBlock));
}
