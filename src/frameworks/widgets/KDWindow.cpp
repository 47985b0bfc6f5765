#include "frameworks/widgets/KDWindow.h"

#include "frameworks/widgets/KDChildWindows.h"
#include "frameworks/widgets/KDCompositing.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>
#include <utility>

namespace {

constexpr int kResizeMargin = 5;
constexpr int kTitleButtonWidth = 34;

Qt::WindowFlags windowFlagsFor(const QWidget *parent)
{
    return (parent ? Qt::Tool : Qt::Window) | Qt::FramelessWindowHint;
}

Qt::CursorShape cursorForEdges(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

} // namespace

KDWindow::KDWindow(QWidget *parent)
    : QWidget(parent, windowFlagsFor(parent)), mBackgroundColor(palette().color(QPalette::Window))
{
    // Corners outside the outline must stay see-through.
    setAttribute(Qt::WA_TranslucentBackground);
    buildTitleBar();
    mContextView = new KDView(this);
    mContextView->setObjectName(QStringLiteral("contextView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(mTitleBar);
    layout->addWidget(mContextView, 1);
}

KDWindow::~KDWindow() = default;

void KDWindow::buildTitleBar()
{
    mTitleBar = new KDView(this);
    mTitleBar->setObjectName(QStringLiteral("titleBar"));
    mTitleBar->setFixedHeight(mTitleBarHeight);
    mWinTitle = new QLabel(mTitleBar);
    mWinTitle->setObjectName(QStringLiteral("winTitle"));
    mWinTitle->setAlignment(Qt::AlignCenter);
    mWinTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    mMinButton = makeTitleBarButton(QStringLiteral("minButton"), QStringLiteral("window_minimize"));
    mZoomButton = makeTitleBarButton(QStringLiteral("zoomButton"), QStringLiteral("window_zoom"));
    mCloseButton = makeTitleBarButton(QStringLiteral("closeButton"), QStringLiteral("window_close"));
    mCloseButton->setHoverImage(QIcon(QStringLiteral(":/icons/window_close_hover.svg")));
    mCloseButton->setHoverBgColor(QColor(224, 67, 54));
    mCloseButton->setPressedBgColor(QColor(190, 50, 40));
    connect(mMinButton, &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(mZoomButton, &QAbstractButton::clicked, this, &KDWindow::toggleZoom);
    connect(mCloseButton, &QAbstractButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout(mTitleBar);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addStretch(1);
    buttons->addWidget(mMinButton);
    buttons->addWidget(mZoomButton);
    buttons->addWidget(mCloseButton);
    mTitleBar->installEventFilter(this);
}

KDHoverButton *KDWindow::makeTitleBarButton(const QString &name, const QString &image)
{
    auto *button = new KDHoverButton(mTitleBar);
    button->setObjectName(name);
    button->setNormalImage(QIcon(QStringLiteral(":/icons/%1.svg").arg(image)));
    button->setImageSize(QSize(12, 12));
    button->setHoverBgColor(QColor(0, 0, 0, 22));
    button->setPressedBgColor(QColor(0, 0, 0, 44));
    button->setCornerRadius(0);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kTitleButtonWidth, mTitleBarHeight);
    return button;
}

void KDWindow::adoptContentSize()
{
    // The form renames the widget it is set up on.
    mContextView->setObjectName(QStringLiteral("contextView"));
    const QSize content = mContextView->size();
    resize(content.width(), content.height() + (isTitleBarVisible() ? mTitleBarHeight : 0));
}

void KDWindow::setTitleVisible(bool visible)
{
    mWinTitle->setVisible(visible);
}

bool KDWindow::isTitleBarVisible() const
{
    return !mTitleBar->isHidden();
}

void KDWindow::setTitleBarVisible(bool visible)
{
    mTitleBar->setVisible(visible);
}

void KDWindow::setTitleBarHeight(int height)
{
    mTitleBarHeight = height;
    mTitleBar->setFixedHeight(height);
    for (KDHoverButton *button : {mMinButton, mZoomButton, mCloseButton})
        button->setFixedHeight(height);
}

void KDWindow::setBackgroundColor(const QColor &color)
{
    mBackgroundColor = color;
    update();
}

void KDWindow::setBorderRadius(float radius)
{
    mBorderRadius = std::max(0.0f, radius);
    updateWindowShape();
    update();
}

void KDWindow::setBorderColor(const QColor &color)
{
    mBorderColor = color;
    update();
}

QPainterPath KDWindow::roundedPath(qreal inset) const
{
    QPainterPath path;
    const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const qreal radius = (isMaximized() || isFullScreen()) ? 0.0 : mBorderRadius - inset;
    if (radius > 0)
        path.addRoundedRect(box, radius, radius);
    else
        path.addRect(box);
    return path;
}

QPainterPath KDWindow::windowShape() const
{
    return roundedPath(0.0);
}

QPainterPath KDWindow::contentShape() const
{
    return roundedPath(borderWidth());
}

int KDWindow::borderWidth() const
{
    const bool framed = mBorderColor.isValid() && mBorderColor.alpha() > 0 && !isMaximized() && !isFullScreen();
    return framed ? 1 : 0;
}

bool KDWindow::paintsAntialiasedOutline() const
{
    return KDCompositing::isActive();
}

void KDWindow::updateWindowShape()
{
    const bool needsShape = !KDCompositing::isActive() && mBorderRadius > 0 && !isMaximized() && !isFullScreen();
    if (needsShape)
        setMask(QRegion(windowShape().toFillPolygon().toPolygon()));
    else if (!mask().isEmpty())
        clearMask();
}

void KDWindow::setMovableByWindowBackground(bool movable)
{
    mMovableByBackground = movable;
}

void KDWindow::setResizable(bool resizable)
{
    mResizable = resizable;
}

void KDWindow::makeKeyAndOrderFront()
{
    show();
    raise();
    if (canBecomeKeyWindow())
        activateWindow();
}

bool KDWindow::beginSheet(KDWindow *sheet, std::function<void()> completionHandler)
{
    if (!sheet || sheet == this || mAttachedSheet || sheet->mSheetParent)
        return false;
    mAttachedSheet = sheet;
    sheet->mSheetParent = this;
    mSheetCompletion = std::move(completionHandler);
    KDChildWindows::addChildWindow(this, sheet);
    sheet->setWindowModality(Qt::WindowModal);
    const QRect frame = geometry();
    const QSize size = sheet->size();
    const int x = frame.x() + static_cast<int>(std::floor((frame.width() - size.width()) * 0.5 + 0.5));
    sheet->setGeometry(willPositionSheet(sheet, QRect(QPoint(x, frame.y()), size)));
    sheet->makeKeyAndOrderFront();
    return true;
}

void KDWindow::endSheet(KDWindow *sheet)
{
    if (!sheet || sheet != mAttachedSheet)
        return;
    mAttachedSheet = nullptr;
    sheet->mSheetParent = nullptr;
    sheet->hide();
    sheet->setWindowModality(Qt::NonModal);
    KDChildWindows::removeChildWindow(this, sheet);
    // The keyboard goes back to this window, also where no window manager does it.
    if (isVisible())
        activateWindow();
    if (auto completion = std::exchange(mSheetCompletion, {}))
        completion();
}

QRect KDWindow::willPositionSheet(KDWindow *, const QRect &rect) const
{
    return rect.translated(0, isTitleBarVisible() ? mTitleBarHeight : 0);
}

void KDWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, paintsAntialiasedOutline());
    if (mBackgroundColor.isValid() && mBackgroundColor.alpha() > 0)
        painter.fillPath(windowShape(), mBackgroundColor);
    if (borderWidth() > 0) {
        painter.setPen(QPen(mBorderColor, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedPath(0.5));
    }
}

void KDWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateWindowShape();
}

void KDWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Re-parenting recreates the native window, so follow the current one.
    QWindow *handle = windowHandle();
    if (handle && handle != mFilteredWindow) {
        if (mFilteredWindow)
            mFilteredWindow->removeEventFilter(this);
        handle->installEventFilter(this);
        mFilteredWindow = handle;
    }
    // A compositor may have started or stopped since the last look.
    updateWindowShape();
}

void KDWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange)
        mWinTitle->setText(windowTitle());
    else if (event->type() == QEvent::WindowStateChange) {
        updateWindowShape();
        updateZoomButton();
        update();
    }
}

bool KDWindow::isInTitleBar(const QPoint &pos) const
{
    return isTitleBarVisible() && mTitleBar->geometry().contains(pos);
}

void KDWindow::startMove(const QPoint &globalPos)
{
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    mManualMove = true;
    mMoveOffset = globalPos - frameGeometry().topLeft();
}

// Presses that no control took arrive here: on the title bar they move the
// window, and so does the background of a window movable by its background.
void KDWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || (!isInTitleBar(event->position().toPoint()) && !mMovableByBackground)) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (!isMaximized())
        startMove(event->globalPosition().toPoint());
}

void KDWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (mManualMove && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - mMoveOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void KDWindow::mouseReleaseEvent(QMouseEvent *event)
{
    mManualMove = false;
    QWidget::mouseReleaseEvent(event);
}

void KDWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isInTitleBar(event->position().toPoint()) && !mZoomButton->isHidden()) {
        toggleZoom();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void KDWindow::keyPressEvent(QKeyEvent *event)
{
    if (mClosesOnEscape && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KDWindow::updateZoomButton()
{
    const bool maximised = isMaximized() || isFullScreen();
    mZoomButton->setNormalImage(
        QIcon(maximised ? QStringLiteral(":/icons/window_restore.svg") : QStringLiteral(":/icons/window_zoom.svg")));
}

void KDWindow::toggleZoom()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

Qt::Edges KDWindow::resizeEdgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    if (!mResizable || isMaximized() || isFullScreen())
        return edges;
    if (pos.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (pos.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    return edges;
}

// Edge handling sees the window's events before any child widget does, since
// the content reaches the window's edges.
bool KDWindow::handleWindowMouseEvent(QMouseEvent *event)
{
    const Qt::Edges edges = resizeEdgesAt(event->position().toPoint());
    if (event->type() == QEvent::MouseMove && event->buttons() == Qt::NoButton) {
        if (edges) {
            setCursor(cursorForEdges(edges));
            mShowsResizeCursor = true;
        } else if (mShowsResizeCursor) {
            unsetCursor();
            mShowsResizeCursor = false;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton && edges)
        return windowHandle()->startSystemResize(edges);
    return false;
}

bool KDWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mFilteredWindow && (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress))
        return handleWindowMouseEvent(static_cast<QMouseEvent *>(event));
    if (watched == mTitleBar && event->type() == QEvent::Resize)
        mWinTitle->setGeometry(mTitleBar->rect());
    return QWidget::eventFilter(watched, event);
}

void KDWindow::setUpAsSmallWindow(float radius)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setBackgroundColor(Qt::white);
    setBorderRadius(radius);
    minButton()->hide();
    zoomButton()->hide();
    setClosesOnEscape(true);
}
