#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QSet>

// The pages of a document, each analysed (PageAnalyzer) with what only the
// whole document tells: the words it uses (to judge words broken at line
// ends) and its body text size, against which larger or bold short
// paragraphs are headings, levelled by size.
class DocumentAnalyzer final {
public:
    static QList<StructuredPage> analyze(const SourceDocument &document);

    static QSet<QString> vocabulary(const SourceDocument &document);
    // The size most characters of the pages are set in (the smaller of a tie); 0 for none.
    static double bodySize(const QList<StructuredPage> &pages, const QList<TextStyle> &styles);
    // Marks headings in place; the body size is the size of most characters.
    static void markHeadings(QList<StructuredPage> &pages, const QList<TextStyle> &styles);
};
