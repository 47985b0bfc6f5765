#pragma once

#include <QSize>

class KDHoverButton;

// Sizes the window's hover buttons to their titles, which change length with
// the interface language. The owner places a fitted button's parts itself:
// fitting turns the button's own part layout off.
class KDButtonFitting final {
public:
    KDButtonFitting() = delete;

    // The title's width and height in the title field's own font.
    static QSize titleSize(const KDHoverButton *button);
    // A text button: width = title width + 6; the title field spans the
    // button with its bottom 4 points above the button's bottom edge.
    static void fitTextButton(KDHoverButton *button);
    // An image-and-title button: width = title width + 6 + image width + 6,
    // the image at imageX, vertically centred; the title field at image x +
    // titleOffset, as wide as the button, its bottom titleBottom points above
    // the button's bottom edge. Returns the width.
    static int fitImageButton(KDHoverButton *button, int imageX, int titleOffset, int titleBottom);
    // Bordered grey face shared by the window's push buttons.
    static void applyFaceLook(KDHoverButton *button);
    // Qt's top for a frame whose bottom edge lies `bottom` points above the
    // bottom edge of a parent `parentHeight` high.
    static int topFromBottom(int parentHeight, int bottom, int height);

    static constexpr int kTitlePadding = 6;
};
