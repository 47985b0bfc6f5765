#pragma once

#include "layout/PageStructure.h"

#include <QList>

// The lines standing alone at a page's foot, below everything else on it by
// a gap: a page number, a copyright line. Set where they stood rather than
// after the text, they stay on their page when the text above them runs a
// line longer in the stand-in fonts.
class PageFoot final {
public:
    // Indexes into the page's paragraphs, in their order.
    static QList<int> paragraphs(const StructuredPage &page);
};
