#include "layout/AlignedTables.h"

#include <QSet>

#include <algorithm>
#include <optional>

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

// Tables set tight (a spreadsheet printed without its grid): columns a
// few points apart, too close for a gap to part a line on its own, but the
// empty strip between two columns runs straight down every row.
class Gutters {
public:
    explicit Gutters(QList<Line> &lines) : mLines(lines) {}

    // Parts the lines of every run of table-like rows at its gutters.
    void split()
    {
        qsizetype start = 0;
        for (qsizetype i = 1; i <= mLines.size(); ++i) {
            if (i < mLines.size() && eligible(mLines[i]) && eligible(mLines[i - 1]) &&
                mLines[i].baseline - mLines[i - 1].baseline <= kRowPitch * mLines[i].size)
                continue;
            splitRun(start, i);
            start = i;
        }
    }

private:
    static constexpr int kMinTightRows = 5;
    static constexpr int kMinColumns = 3;
    static constexpr double kRowPitch = 2.2;  // sizes between the baselines of rows of one table
    static constexpr double kMinGutter = 1.5; // points
    static constexpr double kSpaces = 1.5;    // a gap of at most this many spaces is a word space
    static constexpr double kCrossing = 0.1;  // of the rows (one at least) may run across a strip: a title, a note
    static constexpr double kStep = 0.25;     // points per slot when counting what covers a place
    static constexpr double kEdge = 0.3;      // points an edge of a column may stray
    static constexpr int kMinEdgeRows = 3;    // different values that line up to part columns a word space apart

    static bool eligible(const Line &line)
    {
        return !line.mono && !line.rightToLeft && !line.leaders.contains(true) && !line.words.isEmpty();
    }

    using Strip = std::pair<double, double>;

    void splitRun(qsizetype from, qsizetype to)
    {
        if (to - from < kMinTightRows)
            return;
        const QList<Strip> strips = find(from, to);
        if (strips.size() + 1 < kMinColumns)
            return;
        // A row that fills a strip across (a title, a note) ends the table there.
        qsizetype start = from;
        for (qsizetype i = from; i <= to; ++i) {
            if (i < to && !spans(mLines[i], strips))
                continue;
            if (i - start < to - from)
                splitRun(start, i); // found again without the spanning rows
            else
                apply(start, i, gutters(from, to, strips));
            start = i + 1;
        }
    }

    // Strips that all but a few rows leave empty.
    QList<Strip> find(qsizetype from, qsizetype to) const
    {
        double left = mLines[from].box.left();
        double right = mLines[from].box.right();
        for (qsizetype i = from; i < to; ++i) {
            left = qMin(left, mLines[i].box.left());
            right = qMax(right, mLines[i].box.right());
        }
        const int places = int((right - left) / kStep) + 1;
        if (places > 100000)
            return {};
        QList<int> cover(places, 0);
        for (qsizetype i = from; i < to; ++i) {
            for (const TextWords::Word &word : mLines[i].words) {
                const int a = qBound(0, int((word.box.left() - left) / kStep), places - 1);
                const int b = qBound(0, int((word.box.right() - left) / kStep), places - 1);
                for (int x = a; x <= b; ++x)
                    ++cover[x];
            }
        }
        const int allowed = qMax(1, int(kCrossing * double(to - from)));
        QList<Strip> strips;
        for (int x = 0; x < places;) {
            if (cover[x] > allowed) {
                ++x;
                continue;
            }
            int end = x;
            while (end < places && cover[end] <= allowed)
                ++end;
            const Strip strip{left + (x + 1) * kStep, left + end * kStep};
            if (x > 0 && end < places && strip.second - strip.first >= kMinGutter)
                strips.append(strip);
            x = end;
        }
        return strips;
    }

    // Whether a word of the row leaves no gutter's width of a strip on either side.
    static bool spans(const Line &line, const QList<Strip> &strips)
    {
        for (const TextWords::Word &word : line.words) {
            for (const auto &[left, right] : strips) {
                if (word.box.left() < right && word.box.right() > left && word.box.left() - left < kMinGutter &&
                    right - word.box.right() < kMinGutter)
                    return true;
            }
        }
        return false;
    }

    // What the rows leave of the strips (a heading wider than its column
    // narrows the strip beside it), at least kMinGutter wide and parting
    // no row at a plain word space.
    QList<Strip> gutters(qsizetype from, qsizetype to, QList<Strip> strips) const
    {
        for (qsizetype i = from; i < to; ++i) {
            for (const TextWords::Word &word : mLines[i].words) {
                QList<Strip> left;
                for (const Strip &strip : std::as_const(strips)) {
                    if (word.box.left() >= strip.second || word.box.right() <= strip.first) {
                        left.append(strip);
                        continue;
                    }
                    if (word.box.left() - strip.first >= kMinGutter)
                        left.append({strip.first, word.box.left()});
                    if (strip.second - word.box.right() >= kMinGutter)
                        left.append({word.box.right(), strip.second});
                }
                strips = left;
            }
        }
        QList<Strip> result;
        for (const Strip &strip : std::as_const(strips)) {
            if (!wordSpace(from, to, strip) || straightEdges(from, to, strip))
                result.append(strip);
        }
        return result;
    }

    // Whether a row has two words on either side of the strip no more than a word space apart.
    bool wordSpace(qsizetype from, qsizetype to, const Strip &gutter) const
    {
        for (qsizetype i = from; i < to; ++i) {
            const QList<TextWords::Word> &words = mLines[i].words;
            for (qsizetype w = 1; w < words.size(); ++w) {
                if (words[w - 1].box.right() <= gutter.second && words[w].box.left() >= gutter.first &&
                    words[w].box.left() - words[w - 1].box.right() <= kSpaces * mLines[i].space)
                    return true;
            }
        }
        return false;
    }

    // Whether the rows that cross the strip at a word space all do so at one
    // place, with different words before it: values flush right against the
    // strip and a column flush left after it (dates beside names), not
    // words of prose that happen to stack.
    bool straightEdges(qsizetype from, qsizetype to, const Strip &gutter) const
    {
        std::optional<std::pair<double, double>> edges;
        QSet<QString> before;
        for (qsizetype i = from; i < to; ++i) {
            const QList<TextWords::Word> &words = mLines[i].words;
            for (qsizetype w = 1; w < words.size(); ++w) {
                const double right = words[w - 1].box.right();
                const double left = words[w].box.left();
                if (right > gutter.second || left < gutter.first || left - right > kSpaces * mLines[i].space)
                    continue;
                if (edges && (qAbs(edges->first - right) > kEdge || qAbs(edges->second - left) > kEdge))
                    return false;
                edges = {right, left};
                before.insert(words[w - 1].text);
            }
        }
        return before.size() >= kMinEdgeRows;
    }

    // Rows whose columns are mostly filled become rows of segments, one per column.
    void apply(qsizetype from, qsizetype to, const QList<Strip> &found)
    {
        const QList<Strip> gutters = withoutSpecimens(from, to, found);

        if (to - from < kMinTightRows || gutters.size() + 1 < kMinColumns)
            return;
        QList<int> filled(gutters.size() + 1, 0);
        for (qsizetype i = from; i < to; ++i) {
            QList<bool> used(filled.size(), false);
            for (const TextWords::Word &word : mLines[i].words)
                used[columnAt(gutters, word.box.left())] = true;
            for (qsizetype c = 0; c < used.size(); ++c)
                filled[c] += used[c] ? 1 : 0;
        }
        const auto wellFilled =
            std::count_if(filled.cbegin(), filled.cend(), [&](int n) { return 2 * n >= int(to - from); });
        if (wellFilled < kMinColumns)
            return;
        ++mTables;
        for (qsizetype i = from; i < to; ++i) {
            Line &line = mLines[i];
            line.tightTable = mTables;
            line.segmentStarts = {0};
            line.leaders = {false};
            for (qsizetype w = 1; w < line.words.size(); ++w) {
                if (columnAt(gutters, line.words[w].box.left()) != columnAt(gutters, line.words[w - 1].box.left())) {
                    line.segmentStarts.append(int(w));
                    line.leaders.append(false);
                }
            }
        }
    }

    // A column of lone characters beside another is a character shown in
    // several faces (a font's chart), not a column of values: it stays with
    // the column before it.
    QList<Strip> withoutSpecimens(qsizetype from, qsizetype to, const QList<Strip> &gutters) const
    {
        QList<int> filled(gutters.size() + 1, 0);
        QList<int> lone(gutters.size() + 1, 0);
        for (qsizetype i = from; i < to; ++i) {
            QList<QStringList> cells(filled.size());
            for (const TextWords::Word &word : mLines[i].words)
                cells[columnAt(gutters, word.box.left())].append(word.text);
            for (qsizetype c = 0; c < cells.size(); ++c) {
                filled[c] += cells[c].isEmpty() ? 0 : 1;
                const bool single = std::all_of(cells[c].cbegin(), cells[c].cend(),
                                                [](const QString &word) { return word.size() == 1; });
                lone[c] += !cells[c].isEmpty() && single ? 1 : 0;
            }
        }
        QList<Strip> kept;
        for (qsizetype g = 0; g < gutters.size(); ++g) {
            if (5 * lone[g + 1] < 4 * filled[g + 1])
                kept.append(gutters[g]);
        }
        return kept;
    }

    static int columnAt(const QList<Strip> &gutters, double x)
    {
        int column = 0;
        while (column < gutters.size() && x >= gutters[column].second)
            ++column;
        return column;
    }

    QList<Line> &mLines;
    int mTables = 0;
};

} // namespace

QList<AlignedTables::Part> AlignedTables::split(const QList<TextLines::Line> &original)
{
    QList<Line> lines = original;
    Gutters(lines).split();
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
        // Rows parted at the gutters of a tight table are a table of their own.
        const bool otherTable = !run.isEmpty() && row.first().tightTable != run.last().last().tightTable;
        if (!isRow || close || otherTable)
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
