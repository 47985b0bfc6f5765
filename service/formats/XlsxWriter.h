#pragma once

#include "formats/DocumentInfo.h"

#include <QHash>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Writes an Office Open XML workbook through libxlsxwriter: one worksheet per
// sheet given, numbers as numbers shown as their text showed them (see
// CellNumber) and everything else as text, in the looks given. Columns are
// widened to show what would otherwise be cut; text with line breaks, or too
// long for any column, wraps.
class XlsxWriter final {
public:
    // Cells from (row, column) on, counted from 0.
    struct Range {
        int row = 0;
        int column = 0;
        int rows = 1;
        int columns = 1;

        bool operator==(const Range &other) const = default;
    };
    struct Cell {
        int row = 0;
        int column = 0;

        bool operator==(const Cell &other) const = default;
        friend size_t qHash(const Cell &cell, size_t seed = 0) { return qHashMulti(seed, cell.row, cell.column); }
    };
    // How a cell looks besides its text; colours are 0xRRGGBB.
    struct Look {
        bool bold = false;
        quint32 color = 0; // of the text
        bool filled = false;
        quint32 fill = 0xFFFFFF;
        // The sides with a thin rule, of Side.
        enum Side : quint8 { Top = 1, Bottom = 2, Left = 4, Right = 8, AllSides = 15 };
        quint8 borders = 0;
        quint32 borderColor = 0;
        enum class Align { General, Left, Center, Right } align = Align::General;
        bool top = false; // text at the cell's top, as a table sets it, rather than its foot
        double size = 0;  // points of the text; 0 for the sheet's own

        bool operator==(const Look &other) const = default;
    };
    // A table of the source on the sheet: its text wraps within the widths
    // its columns had there.
    struct TableArea {
        Range range;
        QList<double> columnPoints; // one per column of the range
    };
    struct Sheet {
        QString name;
        QList<QStringList> rows;
        bool rightToLeft = false; // shown from the right: the first column is the rightmost
        QList<Range> merged = {}; // shown as one cell, with the text of the range's first
        QHash<Cell, Look> looks = {};
        QList<TableArea> tables = {};
        // Where a cell's text leads: an address of the web ("http:", "https:",
        // "ftp:") or of mail ("mailto:"), or "#N" for the sheet at index N.
        // Addresses of other kinds are not followed.
        QHash<Cell, QString> links = {};
        // Points of the paper the sheet prints on, turned as given, as wide
        // as one page; empty for the program's default.
        QSizeF paper = {};
    };

    // On failure *error says why, and no partial workbook is left at path.
    static bool write(const QString &path, const QList<Sheet> &sheets, QString *error, const DocumentInfo &info = {});
    // The names the sheets get: at most 31 characters, none of [ ] : * ? / \,
    // no apostrophe at either end, none empty and none repeated (ignoring case).
    static QStringList sheetNames(const QStringList &wanted);
};
