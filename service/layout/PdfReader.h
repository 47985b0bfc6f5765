#pragma once

#include "layout/PageContent.h"
#include "layout/ToolRunner.h"

#include <QString>

#include <optional>

// Reads what a PDF draws with real tools: MuPDF's drawing trace for text,
// rules, fills and image places (TraceReader), poppler's pdfimages for the
// image data (ImageCatalog), a script MuPDF runs for the links (LinkReader),
// and fontconfig's fc-match for an installed family that stands in for each
// font. Pages set sideways (a page turned by its rotation, a scan fed in
// sideways) are read from a copy made upright with qpdf, so that their text
// reads as text.
class PdfReader final {
public:
    // Whether to render what is drawn besides text (image files, figures, the
    // colours of shadings): a workbook has no use for them.
    enum class Graphics { Read, Skip };

    // Intermediate files go to workFolder, which must exist.
    static std::optional<SourceDocument> read(ToolRunner &tools, const QString &pdf, const QString &workFolder,
                                              QString *error, Graphics graphics = Graphics::Read);
    // The clockwise quarter turns (0 to 3) that set the page upright: 0 unless
    // text turned one way clearly outnumbers the text running left to right.
    static int uprightTurn(const SourcePage &page);
    // The document information `pdfinfo -isodates -enc UTF-8` printed.
    static DocumentInfo parseInfo(const QByteArray &output);
    // Sets TextStyle::font of every style; a font fc-match cannot place keeps its own family.
    static void resolveFonts(ToolRunner &tools, QList<TextStyle> &styles);
};
