#include "layout/ReadingOrder.h"

#include "layout/PageContent.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

using Item = ReadingOrder::Item;
using Divider = ReadingOrder::Divider;
using Ids = QList<int>;

constexpr double kProseEms = 8;         // the least width of a typical row of prose, in its height
constexpr double kRuledShare = 0.8;     // of the text's height, that a rule runs down a gutter to part it
constexpr double kWordGapEms = 0.7;     // of a word's height, that a gap beside it must pass to part columns
constexpr int kNotedRows = 3;           // the least rows of prose that notes in the margin stand beside
constexpr double kNotesShare = 0.8;     // of the prose's word height, that notes in the margin beside it reach at most
constexpr double kOwnNotesShare = 0.95; // the same, for notes on baselines of their own
constexpr double kBaselineShare = 0.1;  // of a note's height, that its box's foot may stand off a line of prose's

struct Gutter {
    double start = 0;
    double end = 0;
};

// Whether a rule runs down the gutter for most of the extent's height.
bool runsDown(const Divider &divider, const Gutter &gutter, const QRectF &extent)
{
    const double covered = qMin(divider.bottom, extent.bottom()) - qMax(divider.top, extent.top());
    return divider.x >= gutter.start && divider.x <= gutter.end && covered >= kRuledShare * extent.height();
}

class Cutter {
public:
    Cutter(const QList<Item> &items, const QList<Divider> &dividers);
    QList<ReadingOrder::Band> cut(const Ids &ids, int depth) const;

private:
    QList<Ids> slices(Ids ids) const;
    QList<Gutter> gutters(const Ids &ids) const;
    QList<Ids> columnsOf(const Ids &ids, const QList<Gutter> &cuts) const;
    bool readsAsProse(const Ids &ids) const;
    bool notesBeside(const QList<Ids> &columns, qsizetype at) const;
    QRectF ownPanel(const QList<Ids> &columns, qsizetype at) const;
    bool panelsEnd(const Ids &group, const QList<Gutter> &cuts, const Ids &slice) const;
    double wordHeight(const Ids &ids) const;
    QRectF extentOf(const Ids &ids) const;
    bool ruleDown(const Gutter &gutter, const QRectF &extent) const;
    bool columnsEnd(const QList<Gutter> &cuts, const Ids &group, const Ids &slice) const;
    QList<bool> ruledGutters(const Ids &ids, const QList<Gutter> &cuts) const;
    QList<Gutter> proseGutters(const Ids &ids, QList<Gutter> cuts) const;
    QList<std::pair<Ids, QList<Gutter>>> groups(const QList<Ids> &slices) const;
    bool headsColumns(const Ids &slice, const Ids &columns, const QList<Gutter> &cuts) const;
    static QList<Gutter> crossing(const QList<Gutter> &found, const QList<Gutter> &cuts);

    const QList<Item> &mItems;
    const QList<Divider> &mDividers;
    double mGapY = 4;
    double mGutter = 7;
};

Cutter::Cutter(const QList<Item> &items, const QList<Divider> &dividers) : mItems(items), mDividers(dividers)
{
    QList<double> heights;
    QHash<int, QList<QRectF>> rows;
    for (const Item &item : items) {
        if (item.row < 0)
            continue;
        heights.append(item.box.height());
        rows[item.row].append(item.box);
    }
    QList<double> gaps;
    for (QList<QRectF> &row : rows) {
        std::sort(row.begin(), row.end(), [](const QRectF &a, const QRectF &b) { return a.left() < b.left(); });
        for (qsizetype i = 1; i < row.size(); ++i)
            gaps.append(row[i].left() - row[i - 1].right());
    }
    const double size = heights.isEmpty() ? 10 : median(heights);
    mGapY = 0.4 * size;
    mGutter = qMax(0.7 * size, 1.8 * median(gaps));
}

QList<Ids> Cutter::slices(Ids ids) const
{
    std::sort(ids.begin(), ids.end(), [this](int a, int b) { return mItems[a].box.top() < mItems[b].box.top(); });
    QList<Ids> result;
    double bottom = 0;
    for (const int id : std::as_const(ids)) {
        const QRectF &box = mItems[id].box;
        if (result.isEmpty() || box.top() > bottom + mGapY) {
            result.append(Ids{id});
            bottom = box.bottom();
        } else {
            result.last().append(id);
            bottom = qMax(bottom, box.bottom());
        }
    }
    return result;
}

// The gaps no item crosses, as wide as the page's gutter and wider than a
// word space of the words on either side: a large heading's word space is
// no gutter.
QList<Gutter> Cutter::gutters(const Ids &ids) const
{
    struct Span {
        double left = 0;
        double right = 0;
        double size = 0; // a word's height; nothing for a block
    };
    QList<Span> spans;
    for (const int id : ids) {
        const Item &item = mItems[id];
        spans.append({item.box.left(), item.box.right(), item.row >= 0 ? item.box.height() : 0});
    }
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.left < b.left; });
    QList<Gutter> result;
    double reach = spans.isEmpty() ? 0 : spans.first().right;
    double reachSize = spans.isEmpty() ? 0 : spans.first().size;
    for (qsizetype i = 1; i < spans.size(); ++i) {
        const double least = qMax(mGutter, kWordGapEms * qMax(reachSize, spans[i].size));
        if (spans[i].left - reach >= least)
            result.append({reach, spans[i].left});
        if (spans[i].right > reach) {
            reach = spans[i].right;
            reachSize = spans[i].size;
        }
    }
    return result;
}

QList<Ids> Cutter::columnsOf(const Ids &ids, const QList<Gutter> &cuts) const
{
    QList<Ids> columns(cuts.size() + 1);
    for (const int id : ids) {
        const double x = mItems[id].box.center().x();
        qsizetype column = 0;
        while (column < cuts.size() && x > cuts[column].start)
            ++column;
        columns[column].append(id);
    }
    return columns;
}

bool Cutter::readsAsProse(const Ids &ids) const
{
    QHash<int, int> wordsPerRow;
    QHash<int, QRectF> extentOfRow;
    for (const int id : ids) {
        if (mItems[id].row < 0)
            return true; // a table or block holds its own place
        ++wordsPerRow[mItems[id].row];
        QRectF &extent = extentOfRow[mItems[id].row];
        extent = extent.isNull() ? mItems[id].box : extent.united(mItems[id].box);
    }
    if (wordsPerRow.size() < 2)
        return false;
    QList<double> counts;
    for (const int count : std::as_const(wordsPerRow))
        counts.append(count);
    // A row of prose runs for many ems; a row of short entries ("0021 ! ! !")
    // has several words but stays narrow.
    QList<double> widths;
    for (const QRectF &extent : std::as_const(extentOfRow))
        widths.append(extent.width() / qMax(1.0, extent.height()));
    return median(counts) >= 3 && median(widths) >= kProseEms;
}

// The median height of the words of `ids`; nothing where one is a block.
double Cutter::wordHeight(const Ids &ids) const
{
    QList<double> heights;
    for (const int id : ids) {
        if (mItems[id].row < 0)
            return 0;
        heights.append(mItems[id].box.height());
    }
    return heights.isEmpty() ? 0 : median(heights);
}

// Whether the outer column at `at` holds notes in the margin beside prose:
// its words are in smaller print than those of the prose next to it (a
// little smaller will do where most lines of notes fall between the prose's
// lines), and the prose runs for a few lines (not a page's header and a
// heading). The prose then reads on, and the notes as a column of their own;
// read across, each line of notes would break into a line of the prose.
bool Cutter::notesBeside(const QList<Ids> &columns, qsizetype at) const
{
    if (columns.size() != 2)
        return false;
    const Ids &prose = columns[1 - at];
    QSet<int> rows;
    for (const int id : prose)
        rows.insert(mItems[id].row);
    const double tolerance = kBaselineShare * wordHeight(columns[at]);
    const auto aligned = [&](int note) {
        return std::any_of(prose.cbegin(), prose.cend(), [&](int id) {
            return std::abs(mItems[id].box.bottom() - mItems[note].box.bottom()) <= tolerance;
        });
    };
    const bool between = 2 * std::count_if(columns[at].cbegin(), columns[at].cend(), aligned) <= columns[at].size();
    const double share = wordHeight(columns[at]) / qMax(1e-9, wordHeight(prose));
    return share > 0 && rows.size() >= kNotedRows && readsAsProse(prose) &&
           share <= (between ? kOwnNotesShare : kNotesShare);
}

// The panel (a shaded box of code, a figure and its labels) that holds all
// text of the column at `at`, two rows or more, and no other column's: the
// column holds its own place as a block does, however few words its rows
// have. A row of boxes of a line each (a slide's foot) reads across as it
// is. Null for none.
QRectF Cutter::ownPanel(const QList<Ids> &columns, qsizetype at) const
{
    const Ids &column = columns[at];
    QRectF outer;
    QSet<int> rows;
    for (const int id : column) {
        rows.insert(mItems[id].row);
        const QRectF &panel = mItems[id].panel;
        if (panel.isNull())
            return {};
        if (panel.width() * panel.height() > outer.width() * outer.height())
            outer = panel;
    }
    const auto inside = [&](int id) { return outer.contains(mItems[id].box.center()); };
    if (outer.isNull() || rows.size() < 2 || !std::all_of(column.cbegin(), column.cend(), inside))
        return {};
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (c != at && std::any_of(columns[c].cbegin(), columns[c].cend(), inside))
            return {};
    }
    return outer;
}

// Whether columns parted by a panel end above the slice: none of its text
// stands in the panel (a heading after an example set beside its code).
bool Cutter::panelsEnd(const Ids &group, const QList<Gutter> &cuts, const Ids &slice) const
{
    const QList<Ids> columns = columnsOf(group, cuts);
    for (qsizetype c = 0; c < columns.size(); ++c) {
        const QRectF panel = ownPanel(columns, c);
        if (!panel.isNull() &&
            std::none_of(slice.cbegin(), slice.cend(), [&](int id) { return panel.contains(mItems[id].box.center()); }))
            return true;
    }
    return false;
}

QRectF Cutter::extentOf(const Ids &ids) const
{
    QRectF extent;
    for (const int id : ids)
        extent = extent.isNull() ? mItems[id].box : extent.united(mItems[id].box);
    return extent;
}

// Whether a rule runs down the gutter for most of the text's height.
bool Cutter::ruleDown(const Gutter &gutter, const QRectF &extent) const
{
    return std::any_of(mDividers.cbegin(), mDividers.cend(),
                       [&](const Divider &divider) { return runsDown(divider, gutter, extent); });
}

// Whether the columns of a group end above a slice: a rule ran down one of
// their gutters beside the group and stops above the slice (a contents set
// in ruled columns, then the text).
bool Cutter::columnsEnd(const QList<Gutter> &cuts, const Ids &group, const Ids &slice) const
{
    const QRectF extent = extentOf(group);
    const double top = extentOf(slice).top();
    return std::any_of(cuts.cbegin(), cuts.cend(), [&](const Gutter &gutter) {
        return std::any_of(mDividers.cbegin(), mDividers.cend(), [&](const Divider &divider) {
            return divider.bottom < top && runsDown(divider, gutter, extent);
        });
    });
}

// Per gutter, whether a rule runs down most of it between two blocks that
// each have a gutter of their own: the halves of a chart, not the columns of
// a table ruled throughout. A block reaches to the next ruled gutter.
QList<bool> Cutter::ruledGutters(const Ids &ids, const QList<Gutter> &cuts) const
{
    const QRectF extent = extentOf(ids);
    QList<bool> divided;
    for (const Gutter &gutter : cuts)
        divided.append(ruleDown(gutter, extent));
    QList<bool> ruled(cuts.size(), false);
    for (qsizetype i = 0; i < cuts.size(); ++i) {
        if (!divided[i])
            continue;
        double from = -std::numeric_limits<double>::infinity();
        double to = std::numeric_limits<double>::infinity();
        for (qsizetype j = i - 1; j >= 0 && std::isinf(from); --j)
            from = divided[j] ? cuts[j].end : from;
        for (qsizetype j = i + 1; j < cuts.size() && std::isinf(to); ++j)
            to = divided[j] ? cuts[j].start : to;
        Ids left;
        Ids right;
        for (const int id : ids) {
            const double x = mItems[id].box.center().x();
            if (x > from && x < cuts[i].start)
                left.append(id);
            else if (x > cuts[i].end && x < to)
                right.append(id);
        }
        ruled[i] = !gutters(left).isEmpty() && !gutters(right).isEmpty();
    }
    return ruled;
}

QList<Gutter> Cutter::proseGutters(const Ids &ids, QList<Gutter> cuts) const
{
    QList<bool> kept = ruledGutters(ids, cuts);
    while (!cuts.isEmpty()) {
        const QList<Ids> columns = columnsOf(ids, cuts);
        // A column that does not read as prose loses the gutter to its right
        // (the last one the gutter to its left), unless a rule keeps it.
        qsizetype remove = -1;
        for (qsizetype c = 0; c < columns.size() && remove < 0; ++c) {
            if (readsAsProse(columns[c]) || notesBeside(columns, c) || !ownPanel(columns, c).isNull())
                continue;
            for (const qsizetype at : {c, c - 1}) {
                if (remove < 0 && at >= 0 && at < cuts.size() && !kept[at])
                    remove = at;
            }
        }
        if (remove < 0)
            return cuts;
        cuts.removeAt(remove);
        kept.removeAt(remove);
    }
    return cuts;
}

// The gutters of `found` that run through one of `cuts`.
QList<Gutter> Cutter::crossing(const QList<Gutter> &found, const QList<Gutter> &cuts)
{
    QList<Gutter> kept;
    for (const Gutter &gutter : found) {
        if (std::any_of(cuts.cbegin(), cuts.cend(),
                        [&gutter](const Gutter &cut) { return gutter.start < cut.end && gutter.end > cut.start; }))
            kept.append(gutter);
    }
    return kept;
}

// Whether a row of short items side by side (a heading over the first
// column, a caption over the second) opens the columns below it: a gap of
// the row runs through each of their gutters, and each item starts at its
// column's left edge, ends at its right or sits centred in it.
bool Cutter::headsColumns(const Ids &slice, const Ids &columns, const QList<Gutter> &cuts) const
{
    if (crossing(gutters(slice), cuts).size() != cuts.size())
        return false;
    const QRectF extent = extentOf(columns);
    const QList<Ids> parts = columnsOf(slice, cuts);
    for (qsizetype c = 0; c < parts.size(); ++c) {
        if (parts[c].isEmpty())
            continue;
        const double left = c == 0 ? extent.left() : cuts[c - 1].end;
        const double right = c == cuts.size() ? extent.right() : cuts[c].start;
        const QRectF box = extentOf(parts[c]);
        const bool placed = std::abs(box.left() - left) <= mGutter || std::abs(box.right() - right) <= mGutter ||
                            std::abs(box.center().x() - (left + right) / 2) <= mGutter;
        if (!placed || box.left() < left - mGutter || box.right() > right + mGutter)
            return false;
    }
    return true;
}

// Consecutive slices go together while a gutter runs through all of them.
QList<std::pair<Ids, QList<Gutter>>> Cutter::groups(const QList<Ids> &sliceList) const
{
    QList<std::pair<Ids, QList<Gutter>>> result;
    Ids lastSlice; // the last slice of the last group
    for (const Ids &slice : sliceList) {
        if (!result.isEmpty()) {
            auto &[ids, cuts] = result.last();
            const Ids joined = ids + slice;
            const QList<Gutter> kept = crossing(gutters(joined), cuts);
            // Text of one column goes on with more text of one column.
            const QList<Gutter> prose = proseGutters(slice, gutters(slice));
            const bool goesOn = (cuts.isEmpty() && prose.isEmpty()) || !kept.isEmpty();
            if (goesOn && !columnsEnd(cuts, ids, slice) && !panelsEnd(ids, cuts, slice)) {
                ids = joined;
                cuts = kept;
                lastSlice = slice;
                continue;
            }
            // Columns start here; the row just above may head them.
            if (cuts.isEmpty() && !prose.isEmpty() && headsColumns(lastSlice, slice, prose)) {
                ids.resize(ids.size() - lastSlice.size());
                if (ids.isEmpty())
                    result.removeLast();
                const Ids opened = lastSlice + slice;
                result.append({opened, crossing(gutters(opened), prose)});
                lastSlice = slice;
                continue;
            }
        }
        result.append({slice, gutters(slice)});
        lastSlice = slice;
    }
    return result;
}

QList<ReadingOrder::Band> Cutter::cut(const Ids &ids, int depth) const
{
    QList<ReadingOrder::Band> bands;
    for (const auto &[group, found] : groups(slices(ids))) {
        ReadingOrder::Band band;
        const QRectF extent = extentOf(group);
        band.top = extent.top();
        band.bottom = extent.bottom();
        const QList<Gutter> cuts = proseGutters(group, found);
        if (cuts.isEmpty()) {
            band.columns.append({extent.left(), extent.right(), {group}});
            bands.append(band);
            continue;
        }
        const QList<Ids> columns = columnsOf(group, cuts);
        for (qsizetype c = 0; c < columns.size(); ++c) {
            ReadingOrder::Column column;
            column.left = c == 0 ? extent.left() : cuts[c - 1].end;
            column.right = c == cuts.size() ? extent.right() : cuts[c].start;
            if (depth >= 3) {
                column.leaves.append(columns[c]);
            } else {
                for (const ReadingOrder::Band &inner : cut(columns[c], depth + 1)) {
                    for (const ReadingOrder::Column &part : inner.columns)
                        column.leaves += part.leaves;
                }
            }
            band.columns.append(column);
        }
        bands.append(band);
    }
    return bands;
}

} // namespace

QList<ReadingOrder::Band> ReadingOrder::bands(const QList<Item> &items, const QList<Divider> &dividers)
{
    Ids all(items.size());
    std::iota(all.begin(), all.end(), 0);
    if (all.isEmpty())
        return {};
    return Cutter(items, dividers).cut(all, 0);
}
