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
    // The room a ragged paragraph's lines have beyond the longest of them, in points.
    static double raggedRoom(double size) { return qMax(2.0, 0.4 * size); }
};
