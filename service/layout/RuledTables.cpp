#include "layout/RuledTables.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <optional>

namespace {

constexpr double kTouch = 2.0;       // points between rules that still meet
constexpr double kSame = 2.5;        // points between rules at one grid line
constexpr double kMaxWidth = 4.0;    // thicker lines are drawings, not rules
constexpr int kMaxSegments = 4000;   // beyond this a page is a drawing
constexpr double kRuledShare = 0.85; // of the pieces of a table's grid, that rules draw

struct Segment {
    int rule = 0;
    bool horizontal = true;
    double at = 0;   // y of a horizontal segment, x of a vertical one
    double from = 0; // along its length
    double to = 0;
};

bool meet(const Segment &h, const Segment &v)
{
    return v.at >= h.from - kTouch && v.at <= h.to + kTouch && h.at >= v.from - kTouch && h.at <= v.to + kTouch;
}

// Whether two segments of one orientation continue one line: TeX draws a
// column's rule once per row, so the rows between horizontal rules hang on
// the grid only through the rows above and below them.
bool continues(const Segment &a, const Segment &b)
{
    return std::abs(a.at - b.at) <= kSame && a.from <= b.to + kTouch && b.from <= a.to + kTouch;
}

bool connected(const Segment &a, const Segment &b)
{
    if (a.horizontal == b.horizontal)
        return continues(a, b);
    return a.horizontal ? meet(a, b) : meet(b, a);
}

int findRoot(QList<int> &parent, int i)
{
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

QList<double> edges(QList<double> positions)
{
    std::sort(positions.begin(), positions.end());
    QList<double> result;
    QList<double> cluster;
    const auto flush = [&] {
        if (!cluster.isEmpty())
            result.append(std::accumulate(cluster.cbegin(), cluster.cend(), 0.0) / double(cluster.size()));
        cluster.clear();
    };
    for (const double p : positions) {
        if (!cluster.isEmpty() && p - cluster.last() > kSame)
            flush();
        cluster.append(p);
    }
    flush();
    return result;
}

// Where a grid's rules run on past its outermost crossing line to one end,
// that end is an open side of the grid: a table ruled only between its rows
// and columns. Two lines must reach it, so that a line merely running on
// past a frame makes no side; a lone line (between two columns) is enough.
std::optional<double> openSide(const QList<Segment> &across, double outer, bool low)
{
    QList<double> ends;
    QList<double> lines;
    for (const Segment &s : across) {
        ends.append(low ? s.from : s.to);
        lines.append(s.at);
    }
    if (ends.isEmpty())
        return std::nullopt;
    const double extreme =
        low ? *std::min_element(ends.cbegin(), ends.cend()) : *std::max_element(ends.cbegin(), ends.cend());
    if (std::abs(extreme - outer) <= kSame || (low ? extreme > outer : extreme < outer))
        return std::nullopt;
    QList<double> reaching;
    double sum = 0;
    for (qsizetype i = 0; i < across.size(); ++i) {
        if (std::abs(ends[i] - extreme) <= kSame) {
            reaching.append(lines[i]);
            sum += ends[i];
        }
    }
    const qsizetype needed = qMin<qsizetype>(2, edges(lines).size());
    if (edges(reaching).size() < needed)
        return std::nullopt;
    return sum / double(reaching.size());
}

void addOpenSides(QList<double> &edgeList, QSet<int> &open, const QList<Segment> &across)
{
    if (edgeList.isEmpty())
        return;
    if (const std::optional<double> low = openSide(across, edgeList.first(), true)) {
        edgeList.prepend(*low);
        open.insert(0);
    }
    if (const std::optional<double> high = openSide(across, edgeList.last(), false)) {
        edgeList.append(*high);
        open.insert(int(edgeList.size()) - 1);
    }
}

// Whether a segment of the list lies along `at` and covers most of [from, to].
bool ruled(const QList<Segment> &segments, double at, double from, double to)
{
    const double span = to - from;
    double covered = 0;
    for (const Segment &s : segments) {
        if (std::abs(s.at - at) <= kSame)
            covered += qMax(0.0, qMin(to, s.to) - qMax(from, s.from));
    }
    return covered >= 0.6 * span;
}

// Whether rules draw most of the grid: boxes of a diagram joined by lines,
// or a chart's grid over its axis and ticks, line up as a grid too, but
// leave much of it undrawn between them. A table's empty corner (over the
// labels of its rows) leaves only a little. Open sides do not count.
bool mostlyRuled(const Table &table, const QList<Segment> &horizontal, const QList<Segment> &vertical)
{
    int pieces = 0;
    int drawn = 0;
    for (int r = 0; r < table.rowEdges.size(); ++r) {
        if (table.openRowEdges.contains(r))
            continue;
        for (qsizetype c = 0; c + 1 < table.columnEdges.size(); ++c) {
            ++pieces;
            drawn += ruled(horizontal, table.rowEdges[r], table.columnEdges[c], table.columnEdges[c + 1]) ? 1 : 0;
        }
    }
    for (int c = 0; c < table.columnEdges.size(); ++c) {
        if (table.openColumnEdges.contains(c))
            continue;
        for (qsizetype r = 0; r + 1 < table.rowEdges.size(); ++r) {
            ++pieces;
            drawn += ruled(vertical, table.columnEdges[c], table.rowEdges[r], table.rowEdges[r + 1]) ? 1 : 0;
        }
    }
    return drawn >= kRuledShare * pieces;
}

RuledTables::Found grid(const QList<Segment> &horizontal, const QList<Segment> &vertical)
{
    RuledTables::Found found;
    QList<double> xs;
    QList<double> ys;
    for (const Segment &s : vertical)
        xs.append(s.at);
    for (const Segment &s : horizontal)
        ys.append(s.at);
    Table &table = found.table;
    table.columnEdges = edges(xs);
    table.rowEdges = edges(ys);
    addOpenSides(table.columnEdges, table.openColumnEdges, horizontal);
    addOpenSides(table.rowEdges, table.openRowEdges, vertical);
    const int rows = qMax(0, int(table.rowEdges.size()) - 1);
    const int columns = qMax(0, table.columns());
    table.cells = QList<QList<TableCell>>(rows, QList<TableCell>(columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            TableCell &cell = table.cells[r][c];
            if (cell.rowSpan == 0 || cell.columnSpan == 0)
                continue;
            const double top = table.rowEdges[r];
            const double bottom = table.rowEdges[r + 1];
            int span = 1;
            while (c + span < columns && !ruled(vertical, table.columnEdges[c + span], top, bottom))
                ++span;
            int down = 1;
            while (r + down < rows &&
                   !ruled(horizontal, table.rowEdges[r + down], table.columnEdges[c], table.columnEdges[c + span]))
                ++down;
            cell.columnSpan = span;
            cell.rowSpan = down;
            for (int rr = r; rr < r + down; ++rr) {
                for (int cc = c; cc < c + span; ++cc) {
                    if (rr == r && cc == c)
                        continue;
                    table.cells[rr][cc].rowSpan = rr > r ? 0 : 1;
                    table.cells[rr][cc].columnSpan = cc > c ? 0 : 1;
                }
            }
        }
    }
    for (const Segment &s : horizontal + vertical)
        found.rules.insert(s.rule);
    table.ruled = true;
    return found;
}

// Cells left once merged ones count as one: a line coming into a frame's
// side cuts its grid in two, but the frame stays one cell.
int cellCount(const Table &table)
{
    int cells = 0;
    for (const QList<TableCell> &row : table.cells) {
        for (const TableCell &cell : row)
            cells += cell.rowSpan >= 1 && cell.columnSpan >= 1 ? 1 : 0;
    }
    return cells;
}

QRectF cellBox(const Table &table, int row, int column)
{
    const TableCell &cell = table.cells[row][column];
    const int lastRow = qMin(row + cell.rowSpan, table.rows());
    const int lastColumn = qMin(column + cell.columnSpan, table.columns());
    return QRectF(QPointF(table.columnEdges[column], table.rowEdges[row]),
                  QPointF(table.columnEdges[lastColumn], table.rowEdges[lastRow]));
}

// Shades the cells a fill inside the table covers: all but a sliver of each
// (a row's background drawn once behind all its cells), else the one its
// middle falls in (a fill inset from the rules). Whether it shaded any.
bool shade(Table &table, const FilledBox &fill)
{
    if (!table.box().adjusted(-kSame, -kSame, kSame, kSame).contains(fill.box))
        return false;
    QList<std::pair<int, int>> covered;
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            if (table.cells[r][c].rowSpan < 1 || table.cells[r][c].columnSpan < 1)
                continue;
            const QRectF box = cellBox(table, r, c);
            const QRectF common = box.intersected(fill.box);
            if (common.width() * common.height() >= 0.9 * box.width() * box.height())
                covered.append({r, c});
        }
    }
    if (covered.isEmpty())
        covered.append(RuledTables::cellAt(table, fill.box.center()));
    if (covered.first().first < 0)
        return false;
    for (const auto &[row, column] : std::as_const(covered)) {
        table.cells[row][column].filled = true;
        table.cells[row][column].fill = seenOverWhite(fill.color, fill.opacity);
    }
    return true;
}

constexpr int kMaxWordsPerValue = 4; // longer lines are running text, which rows must not cut

// The y of the cuts between the lines of row `r`, or none where its cells do
// not hold the same number of short lines on the same baselines.
QList<double> rowCuts(const Table &table, int r, const RuledTables::CellLines &lines)
{
    QList<QList<RuledTables::CellLine>> cells;
    for (int c = 0; c < table.columns(); ++c) {
        const TableCell &cell = table.cells[r][c];
        if (cell.rowSpan != 1)
            return {};
        QList<RuledTables::CellLine> cellLines = lines.value({r, c});
        if (cell.columnSpan == 0 || cellLines.isEmpty())
            continue;
        std::sort(
            cellLines.begin(), cellLines.end(),
            [](const RuledTables::CellLine &a, const RuledTables::CellLine &b) { return a.baseline < b.baseline; });
        for (const RuledTables::CellLine &line : std::as_const(cellLines)) {
            if (line.words > kMaxWordsPerValue || line.hyphenated)
                return {};
        }
        cells.append(cellLines);
    }
    if (cells.size() < 2 || cells.first().size() < 2)
        return {};
    const QList<RuledTables::CellLine> &reference = cells.first();
    for (const QList<RuledTables::CellLine> &cell : std::as_const(cells)) {
        if (cell.size() != reference.size())
            return {};
        for (qsizetype i = 0; i < cell.size(); ++i) {
            if (std::abs(cell[i].baseline - reference[i].baseline) > 0.25 * (reference[i].bottom - reference[i].top))
                return {};
        }
    }
    QList<double> cuts;
    for (qsizetype i = 0; i + 1 < reference.size(); ++i) {
        double bottom = reference[i].bottom;
        double top = reference[i + 1].top;
        for (const QList<RuledTables::CellLine> &cell : std::as_const(cells)) {
            bottom = qMax(bottom, cell[i].bottom);
            top = qMin(top, cell[i + 1].top);
        }
        // Lines that reach into each other (an exponent) are cut between their baselines.
        const double cut = bottom <= top ? (bottom + top) / 2 : (reference[i].baseline + reference[i + 1].baseline) / 2;
        if (cut <= table.rowEdges[r] || cut >= table.rowEdges[r + 1] || (!cuts.isEmpty() && cut <= cuts.last()))
            return {};
        cuts.append(cut);
    }
    return cuts;
}

// Inserts `cuts` as open edges after edge `at`; the open edges after it move on.
void insertOpenEdges(QList<double> &edges, QSet<int> &open, int at, const QList<double> &cuts)
{
    const int added = int(cuts.size());
    QSet<int> moved;
    for (const int edge : std::as_const(open))
        moved.insert(edge > at ? edge + added : edge);
    for (int i = 0; i < added; ++i) {
        edges.insert(at + 1 + i, cuts[i]);
        moved.insert(at + 1 + i);
    }
    open = moved;
}

// Copies of a cell without its text, for the parts it is split into.
TableCell emptied(TableCell cell)
{
    cell.paragraphs.clear();
    return cell;
}

void insertRows(Table &table, int r, const QList<double> &cuts)
{
    QList<TableCell> copy;
    for (const TableCell &cell : std::as_const(table.cells[r]))
        copy.append(emptied(cell));
    for (qsizetype i = 0; i < cuts.size(); ++i)
        table.cells.insert(r + 1, copy);
    insertOpenEdges(table.rowEdges, table.openRowEdges, r, cuts);
}

constexpr double kColumnGap = 0.8; // ems of the column's words: a gap this wide is no word space
constexpr int kLeastSplitRows = 3; // rows with words either side of a gap, for it to part columns

// Where the gaps free of words in column `c` part it into columns, or none
// where a cell of it spans rows or columns.
QList<double> columnCuts(const Table &table, int c, const RuledTables::CellWords &words)
{
    QList<QList<QRectF>> rows;
    QList<std::pair<double, double>> extents;
    QList<double> heights;
    for (int r = 0; r < table.rows(); ++r) {
        const TableCell &cell = table.cells[r][c];
        if (cell.rowSpan != 1 || cell.columnSpan != 1)
            return {};
        const QList<QRectF> boxes = words.value({r, c});
        if (boxes.isEmpty())
            continue;
        rows.append(boxes);
        for (const QRectF &box : boxes) {
            extents.append({box.left(), box.right()});
            heights.append(box.height());
        }
    }
    if (rows.size() < kLeastSplitRows)
        return {};
    std::sort(extents.begin(), extents.end());
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const double least = kColumnGap * heights[heights.size() / 2];
    QList<double> cuts;
    double reach = extents.first().second;
    for (const auto &[left, right] : std::as_const(extents)) {
        if (left - reach >= least) {
            const auto either = [&](const QList<QRectF> &boxes) {
                const auto before = [&](const QRectF &box) { return box.right() <= reach; };
                return std::any_of(boxes.cbegin(), boxes.cend(), before) &&
                       !std::all_of(boxes.cbegin(), boxes.cend(), before);
            };
            const qsizetype both = std::count_if(rows.cbegin(), rows.cend(), either);
            if (both >= kLeastSplitRows && 2 * both >= rows.size())
                cuts.append((reach + left) / 2);
        }
        reach = qMax(reach, right);
    }
    return cuts;
}

void insertColumns(Table &table, int c, const QList<double> &cuts)
{
    for (QList<TableCell> &row : table.cells) {
        const TableCell copy = emptied(row[c]);
        for (qsizetype i = 0; i < cuts.size(); ++i)
            row.insert(c + 1, copy);
    }
    insertOpenEdges(table.columnEdges, table.openColumnEdges, c, cuts);
}

} // namespace

bool RuledTables::splitColumns(Table &table, const CellWords &words)
{
    bool split = false;
    // Right to left, so that the columns still to be looked at keep their numbers.
    for (int c = table.columns() - 1; c >= 0; --c) {
        const QList<double> cuts = columnCuts(table, c, words);
        if (cuts.isEmpty())
            continue;
        insertColumns(table, c, cuts);
        split = true;
    }
    return split;
}

bool RuledTables::splitRows(Table &table, const CellLines &lines)
{
    bool split = false;
    // Bottom up, so that the rows still to be looked at keep their numbers.
    for (int r = table.rows() - 1; r >= (table.rows() > 1 ? 1 : 0); --r) {
        const QList<double> cuts = rowCuts(table, r, lines);
        if (cuts.isEmpty())
            continue;
        insertRows(table, r, cuts);
        split = true;
    }
    return split;
}

std::pair<int, int> RuledTables::cellAt(const Table &table, const QPointF &point)
{
    const auto index = [](const QList<double> &edgeList, double value) {
        for (qsizetype i = 0; i + 1 < edgeList.size(); ++i) {
            if (value >= edgeList[i] && value < edgeList[i + 1])
                return int(i);
        }
        return -1;
    };
    int row = index(table.rowEdges, point.y());
    int column = index(table.columnEdges, point.x());
    if (row < 0 || column < 0)
        return {-1, -1};
    // Walk up and left to the cell that covers a merged one.
    while (row > 0 && table.cells[row][column].rowSpan == 0)
        --row;
    while (column > 0 && table.cells[row][column].columnSpan == 0)
        --column;
    return {row, column};
}

QList<RuledTables::Found> RuledTables::find(const QList<Rule> &rules, const QList<FilledBox> &fills)
{
    QList<Segment> segments;
    for (int i = 0; i < rules.size(); ++i) {
        const Rule &rule = rules[i];
        if (rule.width > kMaxWidth)
            continue;
        const bool horizontal = rule.horizontal();
        const double at = horizontal ? (rule.from.y() + rule.to.y()) / 2 : (rule.from.x() + rule.to.x()) / 2;
        const double a = horizontal ? rule.from.x() : rule.from.y();
        const double b = horizontal ? rule.to.x() : rule.to.y();
        segments.append({i, horizontal, at, qMin(a, b), qMax(a, b)});
    }
    if (segments.size() > kMaxSegments)
        return {};
    QList<int> parent(segments.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (int i = 0; i < segments.size(); ++i) {
        for (int j = i + 1; j < segments.size(); ++j) {
            if (connected(segments[i], segments[j]))
                parent[findRoot(parent, i)] = findRoot(parent, j);
        }
    }
    QHash<int, QList<int>> components;
    for (int i = 0; i < segments.size(); ++i)
        components[findRoot(parent, i)].append(i);
    QList<Found> result;
    for (const QList<int> &members : std::as_const(components)) {
        QList<Segment> horizontal;
        QList<Segment> vertical;
        for (const int m : members)
            (segments[m].horizontal ? horizontal : vertical).append(segments[m]);
        // Two rows ruled only between them have a single rule across.
        if (horizontal.isEmpty() || vertical.isEmpty() || horizontal.size() + vertical.size() < 3)
            continue;
        Found found = grid(horizontal, vertical);
        Table &table = found.table;
        // A grid open at a side must be ruled inside both ways: a page's
        // column rules between its head and foot rules make no table.
        const bool open = !table.openRowEdges.isEmpty() || !table.openColumnEdges.isEmpty();
        if (table.rows() < (open ? 2 : 1) || table.columns() < (open ? 2 : 1) || cellCount(table) < 2 ||
            !mostlyRuled(table, horizontal, vertical))
            continue;
        QList<double> widths;
        for (const int m : members)
            widths.append(rules[segments[m].rule].width);
        std::sort(widths.begin(), widths.end());
        table.ruleWidth = widths[widths.size() / 2];
        table.ruleColor = rules[segments[members.first()].rule].color;
        for (int f = 0; f < fills.size(); ++f) {
            if (shade(table, fills[f]))
                found.fills.insert(f);
        }
        result.append(found);
    }
    std::sort(result.begin(), result.end(),
              [](const Found &a, const Found &b) { return a.table.box().top() < b.table.box().top(); });
    return result;
}
