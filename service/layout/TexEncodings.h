#pragma once

#include "layout/PageContent.h"

#include <QChar>

// Bitmap fonts that TeX's drivers embed carry no map from their codes to
// characters, so a reader is left with the bare codes. Letters and digits sit
// at their ASCII codes, but the codes below 32 (ligatures, dashes, quotes,
// accents) would be control characters. The reader keeps each such code as a
// stand-in from a private range; once the whole document is read, each font's
// stand-ins are decoded by the TeX encoding their use points to: ligature
// codes between letters at 11..15 for the original encoding (OT1), at 27..31
// for the extended one (T1). A font giving no such sign keeps spaces for them.
class TexEncodings final {
public:
    static constexpr char16_t kFirstStandIn = 0xe000;

    static bool isStandIn(QChar c) { return c.unicode() >= kFirstStandIn && c.unicode() < kFirstStandIn + 32; }
    static void decode(SourceDocument &document);
};
