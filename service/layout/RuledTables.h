#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QHash>
#include <QList>
#include <QSet>

// Tables drawn with rules. Horizontal and vertical rules that touch form a
// grid; its distinct rule positions are the column and row edges, and where
// a grid line is missing between two cells they are one merged cell. A single
// ruled box is a frame, not a table. Rules that run on past the outermost
// crossing line reach an open side of the table. Filled boxes inside a cell
// shade it.
class RuledTables final {
public:
    struct Found {
        Table table;     // cells without paragraphs yet
        QSet<int> rules; // indices of the rules it is made of
        QSet<int> fills; // indices of the fills that shade its cells
    };

    // A line of text in a cell, as far as rows are concerned.
    struct CellLine {
        double top = 0;
        double baseline = 0;
        double bottom = 0;
        int words = 0;
        bool hyphenated = false; // ends with a hyphen
    };
    using CellLines = QHash<std::pair<int, int>, QList<CellLine>>;
    // The boxes of the words in each cell.
    using CellWords = QHash<std::pair<int, int>, QList<QRectF>>;

    static QList<Found> find(const QList<Rule> &rules, const QList<FilledBox> &fills);
    // Splits each row whose cells hold short lines on the same baselines into
    // a row per line, joined by open edges: a ruled table whose body has no
    // rules between its rows is drawn as one tall row. The header row keeps
    // its lines. Returns whether any row was split.
    static bool splitRows(Table &table, const CellLines &lines);
    // Splits each column whose rows leave a gap of most of an em free of words
    // at the same place, with words either side in most of them, into a
    // column each side, joined by an open edge: columns of figures that
    // share one pair of rules. Returns whether any column was split.
    static bool splitColumns(Table &table, const CellWords &words);
    // The cell a point falls in: {row, column} of the cell that covers it, or {-1, -1}.
    static std::pair<int, int> cellAt(const Table &table, const QPointF &point);
};
