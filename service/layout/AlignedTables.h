#pragma once

#include "layout/PageStructure.h"
#include "layout/TextLines.h"

#include <QHash>
#include <QList>

#include <optional>

// Tables without rules: at least three consecutive rows that wide gaps
// split into segments, whose segments stack into the same columns (the
// empty vertical strips between them run through every row). Rows set too
// tight for their gaps to part them (a spreadsheet printed without its
// grid) are parted first where at least five of them share such strips,
// none of them at a plain word space. A row is a
// line, or lines whose heights overlap and whose segments stand side by side
// (a name in two small lines centred beside a row of larger type); its
// lines in one column are that cell's lines. Other lines pass through
// unchanged.
class AlignedTables final {
public:
    struct Part {
        QList<TextLines::Line> lines;                                 // lines outside a table
        std::optional<Table> table;                                   // or a table with empty cells
        QHash<std::pair<int, int>, QList<TextLines::Line>> cellLines; // its cells' text by {row, column}
    };

    static QList<Part> split(const QList<TextLines::Line> &lines);
};
