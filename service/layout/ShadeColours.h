#pragma once

#include "layout/PageContent.h"
#include "layout/ToolRunner.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The colours of smooth shadings, which the drawing trace does not give:
// the pages that have shadings are rendered small (finer where a line is
// drawn as one), and each shading's box is read at both ends of the
// direction in which its colour changes most.
class ShadeColours final {
public:
    struct Pixmap {
        int width = 0;
        int height = 0;
        QByteArray rgb; // three bytes a pixel, rows top to bottom
        int dpi = 0;    // as rendered; 0 where the size of the page in pixels is all that is known
    };

    // Renders the pages with shadings into workFolder and colours their shades.
    static bool read(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document,
                     QString *error);
    // A binary RGB portable pixmap (P6, 8 bits); nothing when it is not one.
    static std::optional<Pixmap> parse(const QByteArray &data);
    // Sets the shade's colours from a rendering of its page.
    static void colour(const Pixmap &pixmap, const QSizeF &pageSize, Shade &shade);
    // The resolution a page is rendered at: small, but enough for its
    // thinnest shading (a line drawn as a gradient) to show its own colour,
    // within the largest pixmap read.
    static int dpiFor(const SourcePage &page);

private:
    static void colourPage(const QString &file, int dpi, SourcePage &page);
};
