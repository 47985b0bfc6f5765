#include "formats/SheetLayout.h"

#include "formats/CellNumber.h"

#include <algorithm>
#include <cmath>

namespace {

// Excel's default column, in widths of a digit.
constexpr double kDefaultWidth = 8.43;
// Points a digit of the default font takes, and a column's padding.
constexpr double kPointsPerDigit = 5.25;
constexpr double kColumnPadding = 3.75;
// The narrowest column a table's may become.
constexpr double kMinTableWidth = 2;
// Points of a row of the default font, and of a line per point of a larger one.
constexpr double kDefaultRowHeight = 15;
constexpr double kLineSpacing = 1.3;
// Columns a worksheet has.
constexpr qsizetype kMaxColumns = 16384;

} // namespace

SheetLayout::SheetLayout(const XlsxWriter::Sheet &sheet) : mSheet(sheet)
{
    QList<QStringList> columns;
    for (const QStringList &row : sheet.rows) {
        if (columns.size() < row.size())
            columns.resize(row.size());
        for (qsizetype c = 0; c < row.size(); ++c)
            columns[c].append(row[c]);
    }
    for (const QStringList &column : std::as_const(columns))
        mOrders.append(CellDate::orderOf(column));
    for (auto look = sheet.looks.cbegin(); look != sheet.looks.cend(); ++look) {
        double &largest = mLargestText[look.key().row];
        largest = qMax(largest, look.value().size);
    }
    mMerged = mergeable();
    for (const XlsxWriter::Range &range : mMerged) {
        if (range.columns > 1)
            mSpans.insert(key(range.row, range.column), range.columns);
    }
    mWidths = widths();
}

quint64 SheetLayout::key(qsizetype row, qsizetype column)
{
    return (quint64(row) << 32) | quint64(column);
}

double SheetLayout::textWidth(const QString &text)
{
    double widest = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        double width = 0;
        for (const QChar c : line)
            width += (c.unicode() >= 0x1100 && c.script() != QChar::Script_Common) ? 2 : 1.1;
        widest = qMax(widest, width);
    }
    return widest;
}

bool SheetLayout::isValue(qsizetype row, qsizetype column) const
{
    const QString &text = mSheet.rows[row][column];
    return CellNumber::read(text) || CellDate::read(text, dateOrder(column));
}

// Whether a cell's text must fit its column to be read: a number or a date
// shows as "###" when cut, and text runs on over its right neighbour only
// while that is empty.
bool SheetLayout::needsItsWidth(qsizetype row, qsizetype column) const
{
    const QStringList &cells = mSheet.rows[row];
    if (isValue(row, column))
        return true;
    for (qsizetype next = column + 1; next < cells.size(); ++next) {
        if (!cells[next].trimmed().isEmpty())
            return true;
    }
    return cells[column].contains(QLatin1Char('\n'));
}

QList<XlsxWriter::Range> SheetLayout::mergeable() const
{
    qsizetype columns = 0;
    for (const QStringList &row : mSheet.rows)
        columns = qMax(columns, row.size());
    QList<XlsxWriter::Range> ranges;
    QSet<quint64> covered;
    for (const XlsxWriter::Range &range : mSheet.merged) {
        const bool inside = range.row >= 0 && range.column >= 0 && range.rows >= 1 && range.columns >= 1 &&
                            qsizetype(range.row) + range.rows <= mSheet.rows.size() &&
                            qsizetype(range.column) + range.columns <= columns;
        if (!inside || range.rows * qint64(range.columns) < 2)
            continue;
        QList<quint64> cells;
        for (int r = range.row; r < range.row + range.rows; ++r) {
            for (int c = range.column; c < range.column + range.columns; ++c)
                cells.append(key(r, c));
        }
        if (std::any_of(cells.cbegin(), cells.cend(), [&](quint64 cell) { return covered.contains(cell); }))
            continue;
        covered.unite(QSet<quint64>(cells.cbegin(), cells.cend()));
        ranges.append(range);
    }
    return ranges;
}

bool SheetLayout::inTable(qsizetype row, qsizetype column) const
{
    return std::any_of(mSheet.tables.cbegin(), mSheet.tables.cend(), [&](const XlsxWriter::TableArea &table) {
        const XlsxWriter::Range &range = table.range;
        return row >= range.row && row < range.row + range.rows && column >= range.column &&
               column < range.column + range.columns;
    });
}

QList<double> SheetLayout::sourceWidths() const
{
    QList<double> widths;
    for (const XlsxWriter::TableArea &table : mSheet.tables) {
        for (qsizetype i = 0; i < table.columnPoints.size(); ++i) {
            const qsizetype column = table.range.column + i;
            if (column < 0 || column >= kMaxColumns)
                continue;
            if (widths.size() <= column)
                widths.resize(column + 1, 0);
            const double digits = (table.columnPoints[i] - kColumnPadding) / kPointsPerDigit;
            widths[column] = qMax(widths[column], qBound(kMinTableWidth, digits, kMaxColumnWidth));
        }
    }
    return widths;
}

// A table's column keeps the width it had in the source, its text wrapping
// within it; only a number or a date too wide for it widens it. Elsewhere a
// cell merged across columns has the room of them all, and asks none of the first.
QList<double> SheetLayout::widths() const
{
    QList<double> widths = sourceWidths();
    const qsizetype sourced = widths.size();
    for (qsizetype r = 0; r < mSheet.rows.size(); ++r) {
        const QStringList &row = mSheet.rows[r];
        if (widths.size() < row.size())
            widths.resize(row.size(), 0);
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (mSpans.contains(key(r, c)) || !needsItsWidth(r, c) || (inTable(r, c) && !isValue(r, c)))
                continue;
            widths[c] = qMax(widths[c], qMin(textWidth(row[c]) + 1, kMaxColumnWidth));
        }
    }
    for (qsizetype c = 0; c < widths.size(); ++c) {
        if (c >= sourced || widths[c] == 0)
            widths[c] = widths[c] > kDefaultWidth ? widths[c] : 0;
    }
    return widths;
}

// Lines break where the source broke them, and text too long for the
// widest column wraps rather than being cut at its neighbour.
bool SheetLayout::wraps(qsizetype row, qsizetype column) const
{
    const QString &text = mSheet.rows[row][column];
    if (text.contains(QLatin1Char('\n')))
        return true;
    if (inTable(row, column) && !isValue(row, column))
        return textWidth(text) + 1 > roomOf(row, column);
    return needsItsWidth(row, column) && textWidth(text) + 1 > kMaxColumnWidth;
}

double SheetLayout::roomOf(qsizetype row, qsizetype column) const
{
    double room = 0;
    const int columns = mSpans.value(key(row, column), 1);
    for (qsizetype c = column; c < column + columns; ++c)
        room += mWidths.value(c) > 0 ? mWidths[c] : kDefaultWidth;
    return room;
}

int SheetLayout::rowLines(qsizetype row) const
{
    int most = 1;
    const QStringList &cells = mSheet.rows[row];
    for (qsizetype c = 0; c < cells.size(); ++c) {
        if (!wraps(row, c) || isValue(row, c))
            continue;
        const double width = roomOf(row, c);
        int lines = 0;
        for (const QString &line : cells[c].split(QLatin1Char('\n')))
            lines += qMax(1, int(std::ceil(textWidth(line) / qMax(1.0, width - 1))));
        most = qMax(most, lines);
    }
    return most;
}

double SheetLayout::rowHeight(qsizetype row) const
{
    return qMax(kDefaultRowHeight, kLineSpacing * mLargestText.value(int(row))) * rowLines(row);
}
