#pragma once

#include "converters/JobContext.h"

// Images to PDF with img2pdf: one A4 page per image, the image fitted and
// centred on it. JPEG and PNG data go into the PDF as they are.
class ImagePdfConverter final {
public:
    static ConversionResult toPdf(JobContext &context);
    // img2pdf's --border value for the "border" argument (points), or empty for none.
    static QString borderArgument(const QString &border);
};
