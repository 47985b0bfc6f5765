#pragma once

#include "converters/JobContext.h"

// PDFs merged with qpdf: all pages of every input, in the order given.
class MergeConverter final {
public:
    static ConversionResult merge(JobContext &context);
};
