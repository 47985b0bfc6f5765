#pragma once

#include "converters/JobContext.h"

// Conversions done by LibreOffice in headless mode: in the worker's warm
// office when it has one, else in a cold run; either way with the worker's own
// profile, so that parallel workers never share one.
class OfficeConverter final {
public:
    static ConversionResult toPdf(JobContext &context);
    static ConversionResult pdfToPresentation(JobContext &context);

    // `target` is LibreOffice's "ext[:filter]"; `inputFilter` forces the import filter.
    static ConversionResult convert(JobContext &context, const QString &input, const QString &target,
                                    const QString &inputFilter = {});
    static QString program();
};
