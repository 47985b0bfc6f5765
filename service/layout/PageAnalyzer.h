#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QSet>

// One page from what it draws to its structure: ruled tables first (their
// words go into their cells), then the reading order of the remaining words
// and the tables, paragraphs in each block, and the pictures and coloured
// boxes that stay where they were.
class PageAnalyzer final {
public:
    static StructuredPage analyze(const SourcePage &page, const QList<TextStyle> &styles,
                                  const QSet<QString> &vocabulary);
};
