#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QList>
#include <QSet>

// Tables drawn with rules. Horizontal and vertical rules that touch form a
// grid; its distinct rule positions are the column and row edges, and where
// a grid line is missing between two cells they are one merged cell. A single
// ruled box is a frame, not a table. Filled boxes inside a cell shade it.
class RuledTables final {
public:
    struct Found {
        Table table;     // cells without paragraphs yet
        QSet<int> rules; // indices of the rules it is made of
        QSet<int> fills; // indices of the fills that shade its cells
    };

    static QList<Found> find(const QList<Rule> &rules, const QList<FilledBox> &fills);
    // The cell a point falls in: {row, column} of the cell that covers it, or {-1, -1}.
    static std::pair<int, int> cellAt(const Table &table, const QPointF &point);
};
