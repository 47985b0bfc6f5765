#pragma once

#include "converters/JobContext.h"

// PDF to workbook: the layout engine's structured pages become sheets, one
// per page, tables as cells and other text a paragraph per row
// (SheetBuilder); "xls" goes through LibreOffice from the xlsx made here.
class SpreadsheetConverter final {
public:
    static ConversionResult toWorkbook(JobContext &context);
};
