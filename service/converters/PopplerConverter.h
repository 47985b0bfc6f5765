#pragma once

#include "converters/JobContext.h"

#include <optional>

// PDF to text and PDF to HTML with poppler-utils.
class PopplerConverter final {
public:
    static ConversionResult toText(JobContext &context);
    // One HTML file, or a zip of it with its images when the PDF has any.
    static ConversionResult toHtml(JobContext &context);

private:
    // Whether the PDF holds any image; nothing when pdfimages failed.
    static std::optional<bool> hasImages(JobContext &context, const QString &pdf, QString *error);
};
