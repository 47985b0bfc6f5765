#pragma once

#include "layout/PageContent.h"
#include "layout/ToolRunner.h"

#include <QString>

#include <optional>

// Reads what a PDF draws with real tools: MuPDF's drawing trace for text,
// rules, fills and image places (TraceReader), poppler's pdfimages for the
// image data (ImageCatalog), and fontconfig's fc-match for an installed
// family that stands in for each font.
class PdfReader final {
public:
    // Whether to render what is drawn besides text (image files, figures, the
    // colours of shadings): a workbook has no use for them.
    enum class Graphics { Read, Skip };

    // Intermediate files go to workFolder, which must exist.
    static std::optional<SourceDocument> read(ToolRunner &tools, const QString &pdf, const QString &workFolder,
                                              QString *error, Graphics graphics = Graphics::Read);
    // Sets TextStyle::font of every style; a font fc-match cannot place keeps its own family.
    static void resolveFonts(ToolRunner &tools, QList<TextStyle> &styles);
};
