#pragma once

class KDWindow;
class QWidget;

// Sizing and placing of small windows whose texts change with the language.
class KDWindowPresenter final {
public:
    KDWindowPresenter() = delete;

    // Puts window on screen centred over parent's window, as its child window
    // (kept above it, moving with it); centred on the screen without a parent.
    // Then makes it key and front.
    static void presentCentred(KDWindow *window, QWidget *parent);
    // Keeps the window's width and gives it the height its content needs at
    // that width (wrapped labels included).
    static void fitHeightToContent(QWidget *window);
};
