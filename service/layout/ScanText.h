#pragma once

#include "layout/PageContent.h"

#include <QString>

// A scanned page whose words were recognised carries them as invisible text
// over the scan. Such a page gives its words as its text, so that they can
// be edited, and its scan stays behind them as the page's picture with the
// words whited out, keeping what no word covers: photographs, stamps,
// signatures, rules.
class ScanText final {
public:
    // Pages with no text of their own but invisible words over an image take
    // those words as their text, and the images under them are marked scans.
    static void reveal(SourceDocument &document);
    // Each scan's picture with its page's words painted over in the colour
    // around them, written beside it, and the words coloured as their ink
    // was; scans that cannot be read or are turned are left out of the page
    // instead, so no word shows twice.
    static void blank(SourceDocument &document, const QString &folder);
};
