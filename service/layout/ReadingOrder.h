#pragma once

#include <QList>
#include <QRectF>

// Reading order of a page's blocks by recursive cuts along whitespace. The
// items are cut into horizontal slices at empty strips; consecutive slices
// that share an empty vertical strip (a gutter) form a band of columns, read
// column by column, each column cut again the same way. A gutter counts only
// where the text on both of its sides reads as prose (several words a row)
// or is all of one panel's text (a shaded box's, a figure's), so that the
// columns of a table without rules stay rows, or where a rule runs down it
// between two blocks that are tables of their own (the halves of a chart set
// side by side).
class ReadingOrder final {
public:
    struct Item {
        QRectF box;
        int row = -1;   // the text row of a word; -1 for a block (a table)
        QRectF panel{}; // the shaded box or figure a word stands in (a code box, a drawing's label), if any
    };
    struct Column {
        double left = 0;
        double right = 0;
        QList<QList<int>> leaves; // item indices, each leaf read as one flow
    };
    struct Band {
        double top = 0;
        double bottom = 0;
        QList<Column> columns;
    };
    // A vertical rule of the page.
    struct Divider {
        double x = 0;
        double top = 0;
        double bottom = 0;
    };

    static QList<Band> bands(const QList<Item> &items, const QList<Divider> &dividers = {});
};
