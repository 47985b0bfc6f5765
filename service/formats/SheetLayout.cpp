#include "formats/SheetLayout.h"

#include "formats/CellNumber.h"

#include <QSet>

#include <algorithm>
#include <array>
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

// Widths of the printable ASCII characters in the sheet's default font, in
// widths of its digit: text that took one line of a source column should not
// seem to need two because its letters were counted as digits.
constexpr std::array<double, 95> kAsciiWidths = {
    0.45, 0.64, 0.79, 0.98, 1.00, 1.41, 1.35, 0.43, 0.60, 0.60, 0.98, 0.98, 0.49, 0.60, 0.50, 0.76, 1.00, 1.00, 1.00,
    1.00, 1.00, 1.00, 1.00, 1.00, 1.00, 1.00, 0.53, 0.53, 0.98, 0.98, 0.98, 0.91, 1.76, 1.14, 1.07, 1.05, 1.21, 0.96,
    0.91, 1.25, 1.23, 0.50, 0.63, 1.02, 0.83, 1.69, 1.27, 1.31, 1.02, 1.33, 1.07, 0.91, 0.96, 1.27, 1.12, 1.75, 1.02,
    0.96, 0.92, 0.60, 0.76, 0.60, 0.98, 0.98, 0.57, 0.94, 1.04, 0.83, 1.04, 0.98, 0.60, 0.93, 1.04, 0.45, 0.47, 0.90,
    0.45, 1.58, 1.04, 1.04, 1.04, 1.04, 0.69, 0.77, 0.66, 1.04, 0.89, 1.41, 0.85, 0.89, 0.78, 0.62, 0.91, 0.62, 0.98};
// Other letters are taken as a little wider than a digit, wide (East Asian) ones as two.
constexpr double kOtherWidth = 1.1;
constexpr double kWideWidth = 2;

double charWidth(QChar c)
{
    if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
        return kAsciiWidths[c.unicode() - 0x20];
    return (c.unicode() >= 0x1100 && c.script() != QChar::Script_Common) ? kWideWidth : kOtherWidth;
}

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
    const QList<double> sourced = sourceWidths();
    for (const double width : sourced)
        mSourced.append(width > 0);
    mWidths = widths(sourced);
    mergeRunOns();
}

// A paragraph with nothing beside it that is too long for any column, or
// whose lines are too long for a table's column it stands in, wraps there,
// merged with the next columns until they give it the room it needs (the
// widest column's at most): run on over the empty cells, it made the
// printed page as wide as its line; widening the column, it stretched the
// table's.
void SheetLayout::mergeRunOns()
{
    QSet<quint64> covered;
    for (const XlsxWriter::Range &range : std::as_const(mMerged)) {
        for (int r = range.row; r < range.row + range.rows; ++r) {
            for (int c = range.column; c < range.column + range.columns; ++c)
                covered.insert(key(r, c));
        }
    }
    for (qsizetype r = 0; r < mSheet.rows.size(); ++r) {
        const qsizetype c = mSheet.rows[r].size() - 1;
        if (c < 0 || covered.contains(key(r, c)) || !isLoneText(r, c))
            continue;
        const QString &text = mSheet.rows[r][c];
        const double need = textWidth(text) + 1;
        const bool breaks = text.contains(QLatin1Char('\n'));
        if ((!breaks && need <= kMaxColumnWidth) || (breaks && !mSourced.value(c)))
            continue;
        const double target = qMin(need, kMaxColumnWidth);
        int columns = 0;
        double room = 0;
        while (room < target && c + columns < kMaxColumns) {
            const double width = mWidths.value(c + columns);
            room += width > 0 ? width : kDefaultWidth;
            ++columns;
        }
        if (columns > 1) {
            mMerged.append({int(r), int(c), 1, columns});
            mSpans.insert(key(r, c), columns);
        }
        mRunOns.insert(key(r, c));
    }
}

// The last cell of its row, outside the tables, holding text.
bool SheetLayout::isLoneText(qsizetype row, qsizetype column) const
{
    return column == mSheet.rows[row].size() - 1 && !inTable(row, column) && !isValue(row, column);
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
            width += charWidth(c);
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
QList<double> SheetLayout::widths(const QList<double> &fromSource) const
{
    QList<double> widths = fromSource;
    const qsizetype sourced = widths.size();
    for (qsizetype r = 0; r < mSheet.rows.size(); ++r) {
        const QStringList &row = mSheet.rows[r];
        if (widths.size() < row.size())
            widths.resize(row.size(), 0);
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (mSpans.contains(key(r, c)) || !needsItsWidth(r, c) || (inTable(r, c) && !isValue(r, c)) ||
                (isLoneText(r, c) && mSourced.value(c)))
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
    if (mRunOns.contains(key(row, column)))
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
