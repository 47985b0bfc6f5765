#pragma once

#include "frameworks/widgets/KDView.h"

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <type_traits>

class KDHoverButton;
class QLabel;
class QWindow;

// A frameless window with its own title bar (`titleBar`, title `winTitle`,
// buttons close, `minButton`, `zoomButton`) over a content area
// (`contextView`). It moves by its title bar and, when resizable, resizes by
// its edges through the window system. Rounded corners use translucency when
// a compositor runs and a window shape otherwise.
//
// A window with a parent widget is a child window: a tool window kept above
// the parent. A window shown with beginSheet is a sheet: window-modal for its
// parent and placed under the parent's title bar.
class KDWindow : public QWidget {
    Q_OBJECT
public:
    explicit KDWindow(QWidget *parent = nullptr);
    ~KDWindow() override;

    // A new T, set up as a window loaded from its interface file: T's
    // constructor builds the content from the form named after the class,
    // then awakeFromNib runs once.
    template <class T> static T *loadForNib(QWidget *parent = nullptr)
    {
        static_assert(std::is_base_of_v<KDWindow, T>, "loadForNib builds windows");
        T *window = new T(parent);
        static_cast<KDWindow *>(window)->awakeFromNib();
        return window;
    }

    KDView *titleBar() const { return mTitleBar; }
    QLabel *winTitle() const { return mWinTitle; }
    KDHoverButton *closeButton() const { return mCloseButton; }
    KDHoverButton *minButton() const { return mMinButton; }
    KDHoverButton *zoomButton() const { return mZoomButton; }
    KDView *contextView() const { return mContextView; }

    // The title label follows windowTitle(); this only shows or hides it.
    void setTitleVisible(bool visible);
    bool isTitleBarVisible() const;
    void setTitleBarVisible(bool visible);
    int titleBarHeight() const { return mTitleBarHeight; }
    void setTitleBarHeight(int height);

    // The colour under the title bar and the content area, inside the outline.
    QColor backgroundColor() const { return mBackgroundColor; }
    void setBackgroundColor(const QColor &color);
    float borderRadius() const { return mBorderRadius; }
    void setBorderRadius(float radius);
    // The look of the small informational windows: deleted when closed,
    // white, rounded by radius, with close as the only title-bar button, and
    // closed by Escape.
    void setUpAsSmallWindow(float radius);
    // Escape closes the window (when no control inside took the key).
    bool closesOnEscape() const { return mClosesOnEscape; }
    void setClosesOnEscape(bool closes) { mClosesOnEscape = closes; }
    // A one-pixel line along the outline, so that the window stands out on a
    // background of its own colour; invalid for none.
    QColor borderColor() const { return mBorderColor; }
    void setBorderColor(const QColor &color);
    // The outline in window coordinates: a rounded rectangle, square while
    // maximised.
    QPainterPath windowShape() const;
    // The outline inside the border line: what views inside may fill.
    QPainterPath contentShape() const;
    // Antialiased edges only where translucency is real; a window shape has
    // hard edges and a soft edge would show dark pixels there.
    bool paintsAntialiasedOutline() const;

    bool isMovableByWindowBackground() const { return mMovableByBackground; }
    void setMovableByWindowBackground(bool movable);
    bool isResizable() const { return mResizable; }
    void setResizable(bool resizable);

    virtual bool canBecomeKeyWindow() const { return true; }
    void makeKeyAndOrderFront();

    // Shows sheet as this window's sheet. One sheet at a time: a second one
    // is refused. completionHandler runs when the sheet is ended.
    bool beginSheet(KDWindow *sheet, std::function<void()> completionHandler = {});
    void endSheet(KDWindow *sheet);
    KDWindow *attachedSheet() const { return mAttachedSheet; }
    KDWindow *sheetParent() const { return mSheetParent; }

protected:
    // One-time set-up after the window has been built by loadForNib.
    virtual void awakeFromNib() {}
    // Where a sheet goes; rect is centred horizontally on this window with its
    // top at this window's top edge. The default hangs it under the title bar.
    virtual QRect willPositionSheet(KDWindow *sheet, const QRect &rect) const;

    // Builds the content area from a Designer form and sizes the window to it.
    template <class Form> void setupContent(Form &form)
    {
        form.setupUi(contextView());
        adoptContentSize();
    }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTitleBar();
    KDHoverButton *makeTitleBarButton(const QString &name, const QString &image);
    void adoptContentSize();
    void updateWindowShape();
    int borderWidth() const;
    QPainterPath roundedPath(qreal inset) const;
    void toggleZoom();
    // The zoom button offers to restore a maximised window, to maximise otherwise.
    void updateZoomButton();
    bool isInTitleBar(const QPoint &pos) const;
    void startMove(const QPoint &globalPos);
    Qt::Edges resizeEdgesAt(const QPoint &pos) const;
    bool handleWindowMouseEvent(QMouseEvent *event);

    KDView *mTitleBar = nullptr;
    QLabel *mWinTitle = nullptr;
    KDHoverButton *mMinButton = nullptr;
    KDHoverButton *mZoomButton = nullptr;
    KDHoverButton *mCloseButton = nullptr;
    KDView *mContextView = nullptr;
    QColor mBackgroundColor;
    QColor mBorderColor{0, 0, 0, 45};
    float mBorderRadius = 0.0f;
    int mTitleBarHeight = 28;
    bool mMovableByBackground = false;
    bool mResizable = false;
    bool mClosesOnEscape = false;
    bool mShowsResizeCursor = false;
    // Manual moving, for window systems that cannot move a window themselves.
    bool mManualMove = false;
    QPoint mMoveOffset;
    QPointer<QWindow> mFilteredWindow;
    QPointer<KDWindow> mAttachedSheet;
    QPointer<KDWindow> mSheetParent;
    std::function<void()> mSheetCompletion;
};
