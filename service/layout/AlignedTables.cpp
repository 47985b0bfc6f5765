#include "layout/AlignedTables.h"

#include <algorithm>

namespace {

using Line = TextLines::Line;

constexpr int kMinRows = 3;

struct Span {
    double left = 0;
    double right = 0;
};

// The columns the segments of the lines stack into: their merged x extents.
QList<Span> columnSpans(const QList<Line> &lines)
{
    QList<Span> boxes;
    for (const Line &line : lines) {
        for (int s = 0; s < line.segments(); ++s) {
            const QRectF box = line.segmentBox(s);
            boxes.append({box.left(), box.right()});
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

std::optional<AlignedTables::Part> tableOf(const QList<Line> &lines)
{
    const QList<Span> columns = columnSpans(lines);
    if (columns.size() < 2)
        return std::nullopt;
    AlignedTables::Part part;
    QList<int> filled(columns.size(), 0);
    for (qsizetype r = 0; r < lines.size(); ++r) {
        QList<bool> taken(columns.size(), false);
        for (int s = 0; s < lines[r].segments(); ++s) {
            const int c = columnOf(columns, lines[r].segmentBox(s));
            if (c < 0 || taken[c])
                return std::nullopt;
            taken[c] = true;
            ++filled[c];
            Line cell = lines[r];
            cell.words = lines[r].segmentWords(s);
            cell.segmentStarts = {0};
            cell.box = lines[r].segmentBox(s);
            part.cellLines[{int(r), c}].append(cell);
        }
    }
    const auto wellFilled =
        std::count_if(filled.cbegin(), filled.cend(), [&lines](int n) { return n * 2 >= int(lines.size()); });
    if (wellFilled < 2)
        return std::nullopt;
    Table table;
    table.columnEdges.append(columns.first().left - 2);
    for (qsizetype c = 1; c < columns.size(); ++c)
        table.columnEdges.append((columns[c - 1].right + columns[c].left) / 2);
    table.columnEdges.append(columns.last().right + 2);
    table.rowEdges.append(lines.first().box.top() - 1);
    for (qsizetype r = 1; r < lines.size(); ++r)
        table.rowEdges.append((lines[r - 1].box.bottom() + lines[r].box.top()) / 2);
    table.rowEdges.append(lines.last().box.bottom() + 1);
    table.cells = QList<QList<TableCell>>(lines.size(), QList<TableCell>(columns.size()));
    part.table = table;
    return part;
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
    QList<Line> run;
    const auto flush = [&] {
        std::optional<Part> table = run.size() >= kMinRows ? tableOf(run) : std::nullopt;
        if (table)
            parts.append(*table);
        else
            addLines(run);
        run.clear();
    };
    for (const Line &line : lines) {
        // Contents entries (dots up to a page number) are no table rows.
        const bool row = line.segments() >= 2 && !line.leaders.contains(true);
        const bool close = !run.isEmpty() && line.baseline - run.last().baseline > 3 * line.size;
        if (!row || close)
            flush();
        if (row)
            run.append(line);
        else
            addLines({line});
    }
    flush();
    return parts;
}
