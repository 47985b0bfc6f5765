#pragma once

#include "layout/PageContent.h"

#include <QHash>
#include <QList>

#include <utility>

// Letters spread apart (a listing set in flexible columns, where each word is
// spread to fill its columns; tracked text) leave gaps between all letters of
// a word, too small for a space but often wider than the usual word gap, and
// varying from word to word. Where the usual gap between two letters of a font
// (leader dots and punctuation left out) is clearly less than a space, from a
// twentieth to a fifth of an em, gaps below twice the usual one stay inside
// words. A row with letters enough is judged by its own gaps; a short row, or
// one whose letters are barely apart, by those of its font on the page (a
// listing's "} else {", or a row whose long words are spread least).
class SpreadLetters final {
public:
    // rows: the glyphs (indices into glyphs) of each row of a page.
    SpreadLetters(const QList<QList<int>> &rows, const QList<Glyph> &glyphs);

    // The gap above which two glyphs of this row (sorted left to right)
    // belong to different words, or 0 where its letters are not spread.
    double wordGap(const QList<int> &row) const;

private:
    QList<std::pair<double, int>> letterGaps(const QList<int> &row) const;
    static double thresholdOf(const QList<double> &gaps, double size, qsizetype enough);

    const QList<Glyph> &mGlyphs;
    QHash<int, double> mSizes;    // per font: its largest glyph
    QHash<int, double> mPerStyle; // per font spread on this page: its threshold
};
