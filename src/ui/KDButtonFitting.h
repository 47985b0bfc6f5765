#pragma once

#include <QSize>

class KDHoverButton;

// Sizes the window's hover buttons to their titles, which change length with
// the interface language. The owner places a fitted button's parts itself:
// fitting turns the button's own part layout off. Titles keep clear of the
// border in every language, and are centred vertically whatever the font's
// height (CJK fonts are taller than Latin ones).
class KDButtonFitting final {
public:
    KDButtonFitting() = delete;

    // The title's width and height in the title field's own font.
    static QSize titleSize(const KDHoverButton *button);
    // A text button: title width + kTextPadding on each side; the title field
    // spans the button, centred vertically.
    static void fitTextButton(KDHoverButton *button);
    // An image-and-title button: kImageLeft, the image (centred vertically),
    // kImageToTitle, the title, kTitleRight. Returns the width.
    static int fitImageButton(KDHoverButton *button);
    // Bordered grey face shared by the window's push buttons.
    static void applyFaceLook(KDHoverButton *button);
    // Qt's top for a frame whose bottom edge lies `bottom` points above the
    // bottom edge of a parent `parentHeight` high.
    static int topFromBottom(int parentHeight, int bottom, int height);

    static constexpr int kTextPadding = 12;
    static constexpr int kImageLeft = 8;
    static constexpr int kImageToTitle = 6;
    static constexpr int kTitleRight = 12;
};
