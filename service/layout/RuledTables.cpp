#include "layout/RuledTables.h"

#include <QHash>

#include <algorithm>
#include <numeric>

namespace {

constexpr double kTouch = 2.0;     // points between rules that still meet
constexpr double kSame = 2.5;      // points between rules at one grid line
constexpr double kMaxWidth = 4.0;  // thicker lines are drawings, not rules
constexpr int kMaxSegments = 4000; // beyond this a page is a drawing

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

} // namespace

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
            if (segments[i].horizontal == segments[j].horizontal)
                continue;
            const Segment &h = segments[i].horizontal ? segments[i] : segments[j];
            const Segment &v = segments[i].horizontal ? segments[j] : segments[i];
            if (meet(h, v))
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
        if (horizontal.size() < 2 || vertical.size() < 2)
            continue;
        Found found = grid(horizontal, vertical);
        Table &table = found.table;
        if (table.rows() < 1 || table.columns() < 1 || table.rows() * table.columns() < 2)
            continue;
        QList<double> widths;
        for (const int m : members)
            widths.append(rules[segments[m].rule].width);
        std::sort(widths.begin(), widths.end());
        table.ruleWidth = widths[widths.size() / 2];
        table.ruleColor = rules[segments[members.first()].rule].color;
        for (int f = 0; f < fills.size(); ++f) {
            const auto [row, column] = cellAt(table, fills[f].box.center());
            if (row < 0 || !table.box().adjusted(-kSame, -kSame, kSame, kSame).contains(fills[f].box))
                continue;
            table.cells[row][column].filled = true;
            table.cells[row][column].fill = fills[f].color;
            found.fills.insert(f);
        }
        result.append(found);
    }
    std::sort(result.begin(), result.end(),
              [](const Found &a, const Found &b) { return a.table.box().top() < b.table.box().top(); });
    return result;
}
