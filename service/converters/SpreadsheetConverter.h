#pragma once

#include "converters/JobContext.h"

// PDF to workbook: the physical-layout text of every page becomes a sheet of
// cells (LayoutTable); "xls" goes through LibreOffice from the xlsx made here.
class SpreadsheetConverter final {
public:
    static ConversionResult toWorkbook(JobContext &context);
};
