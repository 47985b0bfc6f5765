#pragma once

#include "formats/DocumentInfo.h"

#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <algorithm>
#include <array>

// A colour as 0xRRGGBB.
using Rgb = quint32;

// What a colour painted at an opacity shows over white paper.
inline Rgb seenOverWhite(Rgb color, double opacity)
{
    Rgb result = 0;
    for (const int shift : {16, 8, 0}) {
        const double channel = double(color >> shift & 0xff) * opacity + 255 * (1 - opacity);
        result |= Rgb(std::clamp(int(channel + 0.5), 0, 255)) << shift;
    }
    return result;
}

// What a PDF page draws, as read from the renderer's trace: positioned glyphs
// with their fonts, axis-aligned rules and filled boxes, and placed images.
// Coordinates are points from the page's top-left corner, y growing down.

struct TextStyle {
    QString sourceFont; // as the PDF names it, without a subset prefix
    QString font;       // the installed family that stands in for it
    double size = 0;    // points
    bool bold = false;
    bool italic = false;
    bool mono = false;
    Rgb color = 0;
    double spaceWidth = 0.3; // of a space in em: of the stand-in font where known, else of the PDF's
    double letterWidth = 0;  // the mean advance of the letters the PDF drew in this font, in em
    double stretch = 1;      // the letters' width against their size, as the PDF scaled them

    bool operator==(const TextStyle &other) const = default;
};

// The middle value (the upper of the two middle ones of an even count); 0 for none.
inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The style with the largest count (of characters, of gaps); ties go to the
// first style, whatever order the hash keeps. -1 for no style at all.
inline int mostUsedStyle(const QHash<int, int> &countPerStyle)
{
    int most = -1;
    for (auto count = countPerStyle.constBegin(); count != countPerStyle.constEnd(); ++count) {
        const int best = countPerStyle.value(most);
        if (most < 0 || count.value() > best || (count.value() == best && count.key() < most))
            most = count.key();
    }
    return most;
}

// What is drawn with a word besides its letters: a line under it or through
// it, or a coloured box behind it, as a highlighter marks text.
struct TextMarks {
    bool underline = false;
    Rgb underlineColor = 0;
    bool strike = false;
    bool shaded = false;
    Rgb shade = 0;

    bool any() const { return underline || strike || shaded; }
    bool operator==(const TextMarks &other) const = default;
};

struct Glyph {
    QString text;
    QRectF box; // advance width by an em-based height
    double baseline = 0;
    double size = 0;
    int style = -1; // index into SourceDocument::styles

    // Only white space: a space the PDF drew.
    bool blank() const
    {
        for (const QChar c : text) {
            if (!c.isSpace())
                return false;
        }
        return true;
    }
};

// How a stroked line is broken: not at all, in dots (dashes no longer than
// the line is wide), or in dashes.
enum class Dash { None, Dots, Dashes };

// A line drawn along one axis: a stroked segment or a thin filled box.
struct Rule {
    QPointF from;
    QPointF to;
    double width = 0;
    Rgb color = 0;
    bool stroked = false;  // drawn as a line, not as a thin filled box
    bool hairline = false; // stroked at width 0: the thinnest line the device draws
    int order = -1;        // place in the page's paint order; -1 where not known
    double opacity = 1;    // 0 (invisible) to 1
    Dash dash = Dash::None;

    bool horizontal() const { return qAbs(to.y() - from.y()) <= qAbs(to.x() - from.x()); }
    // The box it covers, at least half a point across.
    QRectF box() const
    {
        const double half = qMax(0.25, width / 2);
        return QRectF(from, to).normalized().adjusted(-half, -half, half, half);
    }
};

struct FilledBox {
    QRectF box;
    Rgb color = 0;
    int order = -1; // place in the page's paint order; -1 where not known
    double opacity = 1;
};

// A smooth shading, as the box its clip gives it; the trace names no
// colours, so they are read from a rendering of the page (ShadeColours).
struct Shade {
    QRectF box;
    bool known = false;   // colours read
    bool vertical = true; // the colour changes from top to bottom, else from left to right
    Rgb start = 0xffffff; // at the top or left
    Rgb end = 0xffffff;   // at the bottom or right
    int order = -1;       // place in the page's paint order; -1 where not known
};

struct ImagePlacement {
    QRectF box;        // what it covers on the page
    QSizeF frame;      // its own width and height before turning
    int rotation = 0;  // clockwise, a multiple of 90
    bool flip = false; // mirrored across its vertical axis after turning
    QSize pixels;
    QRectF clip{};            // the clip it is drawn through, on the page; null when none
    QPainterPath clipShape{}; // the clip's outline on the page, where it is no box and cuts into the image
    double opacity = 1;       // 0 (invisible) to 1, of the image and the groups it is drawn in
    QString file;             // the extracted image, once known
    QString maskFile;         // its soft mask's, where it has one
    QString key;              // the same for every placement of one image
    int order = -1;           // place in the page's paint order; -1 where not known (a rendered figure)
    bool scan = false;        // a scan of the text the page gives in words of its own
};

// A link of the page: a web or mail address, or a page of the document.
struct PageLink {
    QRectF box;
    QString url;   // the address; empty for a page of the document
    int page = -1; // the page it leads to, from 0, for a link inside the document

    bool operator==(const PageLink &other) const = default;
};

struct SourcePage {
    QSizeF size;
    QList<Glyph> glyphs;
    QList<Glyph> invisibleGlyphs; // text drawn invisibly: the words recognised on a scan
    QList<Rule> rules;
    QList<FilledBox> fills;
    QList<ImagePlacement> images;
    QList<Shade> shades;
    // Boxes of shapes that are no rule and no box (curves, slants) and of
    // text upside down or slanted.
    QList<QRectF> drawings;
    QList<QRectF> turnedText; // boxes of glyphs upside down or slanted, for figures to show
    QList<PageLink> links;
    // Glyphs by the clockwise quarter turns of the page that would set them
    // upright: [0] runs left to right; the rest are left out of the flow.
    std::array<int, 4> glyphsByTurn{};
    // Glyphs reading upwards ([1]) and downwards ([3]), placed as the page
    // turned by that many quarters would show them upright (TurnedText).
    std::array<QList<Glyph>, 4> sideGlyphs;
};

struct SourceDocument {
    QList<TextStyle> styles;
    QList<SourcePage> pages;
    DocumentInfo info;
};
