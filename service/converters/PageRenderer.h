#pragma once

#include "converters/JobContext.h"

#include <QList>
#include <QSize>
#include <QSizeF>

// PDF to images with pdftoppm: with "resize" "A4" each page is rendered to
// fit an A4 sheet at 150 dpi (1240 x 1754 portrait, 1754 x 1240 landscape),
// keeping its aspect; otherwise at 150 dpi. One page gives one image, several
// a zip of page-1.jpg, page-2.jpg, ...
class PageRenderer final {
public:
    static ConversionResult toImages(JobContext &context);

    // Page sizes in points as pdfinfo shows them, already turned by each page's rotation.
    static QList<QSizeF> parsePageSizes(const QString &pdfinfoOutput);
    static QSize fitA4(const QSizeF &pagePoints);

private:
    static QList<QSizeF> pageSizes(JobContext &context, const QString &pdf, QString *error);
    static ConversionResult renderPage(JobContext &context, int page, const QSizeF &size, bool a4,
                                       const QString &format);
};
