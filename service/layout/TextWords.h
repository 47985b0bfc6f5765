#pragma once

#include "layout/PageContent.h"

#include <QList>
#include <QRectF>
#include <QString>

// Glyphs to words on rows. Glyphs on one baseline form a row (smaller raised
// or lowered glyphs beside them, such as footnote marks, join it, and so do a
// few glyphs of the same size shifted within it, as TeX sets its logo's E); the
// row's baseline is that of most of its characters, and the others keep their
// distance from it as their runs' rise. A row splits
// into words at space glyphs and at gaps wider than a fraction of the font
// size (beyond the spacing a row gives all its letters), so that words are
// neither glued together where a PDF leaves out its spaces nor broken where
// it places letters one by one. A run of leader dots set right against the
// words around it ("Scope.......1") is a word of its own.
class TextWords final {
public:
    struct Run {
        int style = -1;
        int length = 0;  // characters of Word::text
        double rise = 0; // points above the row's baseline: a superscript's, or below it if negative
        double kern = 0; // points from this run's last advance to the next run: back (a kern) or on (a gap), or 0

        bool operator==(const Run &other) const = default;
    };

    struct Word {
        QString text;
        QRectF box;
        double baseline = 0; // the row's
        double size = 0;     // the largest glyph's
        int row = 0;         // rows are numbered top to bottom
        QList<Run> runs;
        int link = -1; // the page's link the word stands in, if any
        TextMarks marks{};
        double spaceAfter = 0; // points a space set after it takes, in its last run's face; 0 until lines are made
        // Points the space after it takes in flowing text, where a space
        // after code goes with the text after it; 0 until lines are made.
        double flowingSpaceAfter = 0;
    };

    static QList<Word> words(const QList<Glyph> &glyphs);
    // Whether a word is all dots of a leader ("....", "···", "…").
    static bool isLeader(const QString &word);
    // The gap above which two glyphs of a row belong to different words.
    static double wordGap(double size) { return 0.15 * size; }
};
