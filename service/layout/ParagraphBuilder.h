#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"
#include "layout/TextLines.h"

#include <QSet>

// The lines of one block as paragraphs. Lines join while they follow at the
// block's line distance, in the same size and weight, at the paragraph's
// indent, and while the line before was full (the next line's first word
// would not have fitted on it); words broken at a line end are joined
// (Hyphenation). Monospaced lines and lines split into segments stay lines of
// their own. Each paragraph keeps its indents, line distance and alignment.
class ParagraphBuilder final {
public:
    // `left` and `right` bound the column the lines stand in.
    static QList<Paragraph> paragraphs(const QList<TextLines::Line> &lines, double left, double right,
                                       const QSet<QString> &vocabulary);

    // Whether a word opens a list item: a bullet, or a number or letter with "." or ")".
    static bool isListMarker(const QString &word);
    // Whether a word is a symbol font's bullet: a lone private use character.
    static bool isSymbolMarker(const QString &word);
    static Paragraph::Align alignment(const QList<QRectF> &lines, double left, double right);
    // How much narrower each character must be for the words of the lines,
    // with spaces of their font's natural width, to fit the width they had
    // (justified text whose spaces were squeezed below that width), also at
    // the half-point size Word sets them in. Ragged lines may use their room.
    static double condensing(const QList<TextLines::Line> &lines, bool justified);
    // How much larger Word sets text than it was drawn: sizes go in half
    // points (TeX's 9.96 and 10.95 become 10 and 11), measured on a line's
    // words of its own size.
    static double sizeScale(double size, const QList<TextWords::Word> &words);
    // Points to add to each character of a full justified line ending at
    // `right`, beyond the paragraph's `condense`, so that its words, set
    // with spaces of their font's natural width, fit and the `next` line's
    // first word does not, nor its start where `hyphenating`; 0 where they
    // already do, and for a line of parts or of fonts standing in with
    // other widths.
    static double fillSpacing(const TextLines::Line &line, double right, const TextWords::Word &next, double condense,
                              bool hyphenating);
    // Twentieths of a point the writer takes from each character for a
    // squeeze of `points`: rounded, save that a paragraph's own squeeze
    // (`condense`) of a quarter twentieth or more keeps one. Rounded to none,
    // it adds up to a word's width that then wraps.
    static int squeezeTwentieths(double points, double condense);
    // The room a ragged paragraph's lines have beyond the longest of them, in points.
    static double raggedRoom(double size) { return qMax(2.0, 0.4 * size); }
};
