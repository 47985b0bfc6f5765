#pragma once

#include "formats/XlsxWriter.h"
#include "layout/PageStructure.h"

// Structured pages as worksheets, one per page: a table's cells become cells
// (a merged cell's text in its first cell), every other paragraph a row of
// its own, split into cells where its text had wide gaps (tabs).
class SheetBuilder final {
public:
    static QList<XlsxWriter::Sheet> sheets(const QList<StructuredPage> &pages);
    static QList<QStringList> rows(const StructuredPage &page);
    // A cell's value as the workbook writer takes it: thousands separators
    // dropped from numbers, so that "1,234.50" is stored as a number.
    static QString cellValue(const QString &text);
};
