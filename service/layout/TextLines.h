#pragma once

#include "layout/PageContent.h"
#include "layout/TextWords.h"

#include <QList>

// The words of one block as lines: the words of a row, left to right, with
// the places where a wide gap or a row of dots splits a line into segments
// (columns of a table without rules, a term and its description, a contents
// entry and its page number).
class TextLines final {
public:
    struct Line {
        QList<TextWords::Word> words;
        QList<int> segmentStarts; // indices into words, the first always 0
        QList<bool> leaders;      // per segment: a row of dots led up to it
        QRectF box;
        double baseline = 0;
        double size = 0;  // of most of its characters
        double space = 0; // the natural width of a space in its main font, in points
        bool mono = false;
        bool bold = false;
        bool rightToLeft = false; // most letters are Hebrew, Arabic or another right-to-left script
        bool exactWidths = false; // every letter's font stands in with the source font's own widths
        int tightTable = 0;       // the tight table whose gutters parted it, from 1; 0 when none

        int segments() const { return int(segmentStarts.size()); }
        QRectF segmentBox(int segment) const;
        QList<TextWords::Word> segmentWords(int segment) const;
    };

    // Rows of dots between words ("Introduction . . . . 1") are left out and
    // mark the segment after them as led by dots.
    static QList<Line> lines(const QList<TextWords::Word> &words, const QList<TextStyle> &styles);
    // A gap at least this wide splits a line into segments.
    static double segmentGap(double size) { return 1.5 * size; }
};
