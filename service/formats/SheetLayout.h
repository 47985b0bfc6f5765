#pragma once

#include "formats/CellDate.h"
#include "formats/XlsxWriter.h"

#include <QHash>
#include <QList>
#include <QSet>

// How much room a sheet's cells get: columns widened (in widths of a digit)
// so that what would be cut shows whole, text with line breaks or too long
// for any column wrapped, rows tall enough for their wrapped lines, and the
// merged ranges that can be merged, with long paragraphs merged across columns.
class SheetLayout final {
public:
    // Wider columns would push their neighbours off the screen; longer text wraps.
    static constexpr double kMaxColumnWidth = 60;

    explicit SheetLayout(const XlsxWriter::Sheet &sheet);

    // Inside the sheet, more than one cell, none overlapping one before it.
    const QList<XlsxWriter::Range> &merged() const { return mMerged; }
    // One per column; 0 leaves the default width.
    const QList<double> &columnWidths() const { return mWidths; }
    bool wraps(qsizetype row, qsizetype column) const;
    // Which comes first in the column's dates written with numbers only.
    CellDate::Order dateOrder(qsizetype column) const { return mOrders.value(column); }
    // Whether the cell holds a number or a date rather than text.
    bool isValue(qsizetype row, qsizetype column) const;
    // Lines the row must show; 1 for most.
    int rowLines(qsizetype row) const;
    // Points the row needs for its lines of its largest text.
    double rowHeight(qsizetype row) const;

    // What a text takes across: its longest line, a wide (East Asian) letter counting two.
    static double textWidth(const QString &text);

private:
    static quint64 key(qsizetype row, qsizetype column);
    bool needsItsWidth(qsizetype row, qsizetype column) const;
    bool inTable(qsizetype row, qsizetype column) const;
    // The room a cell has, over every column it is merged across.
    double roomOf(qsizetype row, qsizetype column) const;
    // The widths the source's tables gave each column, in widths of a digit; 0 where none.
    QList<double> sourceWidths() const;
    QList<XlsxWriter::Range> mergeable() const;
    QList<double> widths(const QList<double> &fromSource) const;
    void mergeRunOns();
    bool isLoneText(qsizetype row, qsizetype column) const;

    const XlsxWriter::Sheet &mSheet;
    QList<XlsxWriter::Range> mMerged;
    QHash<quint64, int> mSpans; // columns a range merged across them spans, by its first cell
    QSet<quint64> mRunOns;      // paragraphs merged across columns to wrap in them
    QList<bool> mSourced;       // per column, whether a table of the source gave its width
    QList<double> mWidths;
    QList<CellDate::Order> mOrders;  // per column
    QHash<int, double> mLargestText; // points, by row, where a look sets them
};
