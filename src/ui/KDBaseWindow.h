#pragma once

#include "frameworks/widgets/KDMaskWindow.h"
#include "frameworks/widgets/KDWindow.h"

#include <QPointer>

#include <functional>

// The base of the in-window dialogs: shown centred over a parent window
// behind a mask that dims the parent and takes its clicks. Closing the dialog
// takes the mask down. The constructors build an instance of the class they
// are called for: KDInputPDFPasswordAlertWindow::windowWith…<KDInputPDFPasswordAlertWindow>.
class KDBaseWindow : public KDWindow {
    Q_OBJECT
public:
    using ActionBlock = std::function<void()>;

    explicit KDBaseWindow(QWidget *parent = nullptr);
    ~KDBaseWindow() override;

    // A dialog of windowFrame's size (its origin is ignored), centred on
    // superWindow, already shown. superWindow must be a window.
    template <class T = KDBaseWindow>
    static T *windowWithSuperWindowWithSuperWindow(QWidget *superWindow, const QRect &windowFrame,
                                                   ActionBlock actionBlock = {})
    {
        static_assert(std::is_base_of_v<KDBaseWindow, T>, "the constructors build dialogs");
        KDMaskWindow *mask = showMaskOver(superWindow);
        T *window = loadForNib<T>(superWindow);
        window->presentOver(superWindow, mask, windowFrame.size(), std::move(actionBlock));
        return window;
    }
    // The same with view's window as the parent.
    template <class T = KDBaseWindow>
    static T *windowWithSuperViewWithView(QWidget *view, const QRect &windowFrame, ActionBlock actionBlock = {})
    {
        return windowWithSuperWindowWithSuperWindow<T>(windowOfView(view), windowFrame, std::move(actionBlock));
    }

    // Centred on parentFrame, halves rounded up.
    static QRect centredFrame(const QRect &parentFrame, const QSize &size);

    const ActionBlock &btnActionBlock() const { return mBtnActionBlock; }
    void setBtnActionBlock(ActionBlock block);
    KDMaskWindow *maskWindow() const { return mMaskWindow; }
    void setMaskWindow(KDMaskWindow *mask);

protected:
    void awakeFromNib() override;
    // Every way of closing ends here: the mask goes first.
    void closeEvent(QCloseEvent *event) override;

private:
    static KDMaskWindow *showMaskOver(QWidget *superWindow);
    static QWidget *windowOfView(QWidget *view);
    void presentOver(QWidget *superWindow, KDMaskWindow *mask, const QSize &size, ActionBlock actionBlock);

    ActionBlock mBtnActionBlock;
    QPointer<KDMaskWindow> mMaskWindow;
};
