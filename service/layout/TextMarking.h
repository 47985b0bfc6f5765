#pragma once

#include "layout/PageContent.h"
#include "layout/TextWords.h"

#include <QList>
#include <QSet>

// Underlines, lines through text and highlighter boxes, which a PDF draws as
// rules and filled boxes apart from the letters, become marks of the words
// they go with, so that they move with the text when it is edited. A rule
// counts when it runs along one row of words, where an underline or a line
// through sits for their size, from the first word it covers to the last; a
// box counts when it holds one row of words and hugs it.
class TextMarking final {
public:
    struct Used {
        QSet<int> rules;
        QSet<int> fills;
    };

    // Marks `words`; rules and fills in `taken` (a table's) are left alone.
    static Used mark(QList<TextWords::Word> &words, const QList<Rule> &rules, const QList<FilledBox> &fills,
                     const Used &taken);
};
