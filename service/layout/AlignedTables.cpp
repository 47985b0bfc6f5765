#include "layout/AlignedTables.h"

#include <algorithm>

namespace {

using Line = TextLines::Line;

constexpr int kMinRows = 3;
constexpr double kSharedHeight = 0.3; // of a line's height, that it shares with the line above to join its row

struct Span {
    double left = 0;
    double right = 0;
};

using Row = QList<Line>; // one line, or lines set beside each other at different heights

// The columns the segments of the lines stack into: their merged x extents.
QList<Span> columnSpans(const QList<Row> &rows)
{
    QList<Span> boxes;
    for (const Row &row : rows) {
        for (const Line &line : row) {
            for (int s = 0; s < line.segments(); ++s) {
                const QRectF box = line.segmentBox(s);
                boxes.append({box.left(), box.right()});
            }
        }
    }
    std::sort(boxes.begin(), boxes.end(), [](const Span &a, const Span &b) { return a.left < b.left; });
    QList<Span> merged;
    for (const Span &box : std::as_const(boxes)) {
        if (!merged.isEmpty() && box.left <= merged.last().right)
            merged.last().right = qMax(merged.last().right, box.right);
        else
            merged.append(box);
    }
    return merged;
}

int columnOf(const QList<Span> &columns, const QRectF &box)
{
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (box.center().x() >= columns[c].left && box.center().x() <= columns[c].right)
            return int(c);
    }
    return -1;
}

QRectF boxOf(const Row &row)
{
    QRectF box;
    for (const Line &line : row)
        box = box.isNull() ? line.box : box.united(line.box);
    return box;
}

std::optional<AlignedTables::Part> tableOf(const QList<Row> &rows)
{
    const QList<Span> columns = columnSpans(rows);
    if (columns.size() < 2)
        return std::nullopt;
    AlignedTables::Part part;
    QList<int> filled(columns.size(), 0);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QList<bool> used(columns.size(), false);
        for (const Line &line : rows[r]) {
            QList<bool> taken(columns.size(), false);
            for (int s = 0; s < line.segments(); ++s) {
                const int c = columnOf(columns, line.segmentBox(s));
                if (c < 0 || taken[c])
                    return std::nullopt;
                taken[c] = true;
                filled[c] += used[c] ? 0 : 1;
                used[c] = true;
                Line cell = line;
                cell.words = line.segmentWords(s);
                cell.segmentStarts = {0};
                cell.box = line.segmentBox(s);
                part.cellLines[{int(r), c}].append(cell);
            }
        }
    }
    const auto wellFilled =
        std::count_if(filled.cbegin(), filled.cend(), [&rows](int n) { return n * 2 >= int(rows.size()); });
    if (wellFilled < 2)
        return std::nullopt;
    Table table;
    table.columnEdges.append(columns.first().left - 2);
    for (qsizetype c = 1; c < columns.size(); ++c)
        table.columnEdges.append((columns[c - 1].right + columns[c].left) / 2);
    table.columnEdges.append(columns.last().right + 2);
    table.rowEdges.append(boxOf(rows.first()).top() - 1);
    for (qsizetype r = 1; r < rows.size(); ++r)
        table.rowEdges.append((boxOf(rows[r - 1]).bottom() + boxOf(rows[r]).top()) / 2);
    table.rowEdges.append(boxOf(rows.last()).bottom() + 1);
    table.cells = QList<QList<TableCell>>(rows.size(), QList<TableCell>(columns.size()));
    part.table = table;
    return part;
}

// Consecutive lines whose boxes overlap by a good part of the lower one's
// height (or the line above's, if that is less): a name set in two small
// lines beside a row of larger type, centred on it. Lines of rows packed so
// tightly that only their edges touch stay apart.
QList<Row> overlapping(const QList<Line> &lines)
{
    QList<Row> groups;
    double bottom = 0;
    for (const Line &line : lines) {
        const double height = groups.isEmpty() ? 0 : qMin(line.box.height(), groups.last().last().box.height());
        if (!groups.isEmpty() && bottom - line.box.top() >= kSharedHeight * height) {
            groups.last().append(line);
            bottom = qMax(bottom, line.box.bottom());
        } else {
            groups.append(Row{line});
            bottom = line.box.bottom();
        }
    }
    return groups;
}

// Whether the segments of a group's lines stand side by side in two or more
// places, as the cells of one row do (the lines of a paragraph stand one
// above the other in the same place).
bool sideBySide(const Row &group)
{
    const bool leaders =
        std::any_of(group.cbegin(), group.cend(), [](const Line &line) { return line.leaders.contains(true); });
    return !leaders && columnSpans({group}).size() >= 2;
}

} // namespace

QList<AlignedTables::Part> AlignedTables::split(const QList<TextLines::Line> &lines)
{
    QList<Part> parts;
    const auto addLines = [&parts](const QList<Line> &plain) {
        if (plain.isEmpty())
            return;
        if (parts.isEmpty() || parts.last().table)
            parts.append(Part());
        parts.last().lines += plain;
    };
    QList<Row> run;
    const auto flush = [&] {
        std::optional<Part> table = run.size() >= kMinRows ? tableOf(run) : std::nullopt;
        if (table) {
            parts.append(*table);
        } else {
            for (const Row &row : std::as_const(run))
                addLines(row);
        }
        run.clear();
    };
    const auto take = [&](const Row &row) {
        // Contents entries (dots up to a page number) are no table rows.
        const bool isRow = row.size() > 1 || (row.first().segments() >= 2 && !row.first().leaders.contains(true));
        const bool close = !run.isEmpty() && row.first().baseline - run.last().last().baseline > 3 * row.first().size;
        if (!isRow || close)
            flush();
        if (isRow)
            run.append(row);
        else
            addLines(row);
    };
    for (const Row &group : overlapping(lines)) {
        if (group.size() > 1 && sideBySide(group)) {
            take(group);
            continue;
        }
        for (const Line &line : group)
            take(Row{line});
    }
    flush();
    return parts;
}
