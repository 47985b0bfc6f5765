#pragma once

#include "formats/XlsxWriter.h"
#include "layout/PageContent.h"
#include "layout/PageStructure.h"

// Structured pages as worksheets, one per page: a table's cells become cells
// (a merged cell's cells merged, with its text), every other paragraph a row
// of its own, split into cells where its text had wide gaps (tabs). Cells
// keep the bold and colour their letters share in `styles` (headings are
// bold), and a table's fills and rules.
class SheetBuilder final {
public:
    static QList<XlsxWriter::Sheet> sheets(const QList<StructuredPage> &pages, const QList<TextStyle> &styles = {});
};
