#include "layout/ScanText.h"

#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCovered = 0.8; // of the invisible words whose middles images hold, for them to be their scan
constexpr double kPad = 0.12;    // of a word's size, added around it where it is whited out
constexpr int kJpegQuality = 90;
constexpr double kInkShare = 0.2; // of a glyph's pixels, the darkest, whose mean is its ink
constexpr int kGreyInk = 60;      // channels apart below which ink counts as black or grey
constexpr int kInkStep = 32;      // ink colours are rounded to steps of this, so that a word keeps one style

bool hasVisibleText(const SourcePage &page)
{
    return std::any_of(page.glyphs.cbegin(), page.glyphs.cend(), [](const Glyph &glyph) { return !glyph.blank(); });
}

// Marks the images that hold the middles of the invisible words, where
// together they hold most of them: a scan, or a scan cut into strips.
bool markScans(SourcePage &page)
{
    qsizetype held = 0;
    for (const Glyph &glyph : std::as_const(page.invisibleGlyphs)) {
        bool under = false;
        for (ImagePlacement &image : page.images) {
            const bool holds = image.box.contains(glyph.box.center());
            image.scan = image.scan || holds;
            under = under || holds;
        }
        held += under ? 1 : 0;
    }
    if (double(held) >= kCovered * double(page.invisibleGlyphs.size()))
        return true;
    for (ImagePlacement &image : page.images)
        image.scan = false;
    return false;
}

bool darker(QRgb a, QRgb b)
{
    return qGray(a) < qGray(b);
}

// The paper's colour around a box of the image: the middle brightness of
// the pixels of its outline.
QRgb paperAround(const QImage &image, const QRect &box)
{
    QList<QRgb> ring;
    const QRect inside = box.intersected(image.rect());
    for (int x = inside.left(); x <= inside.right(); ++x)
        ring << image.pixel(x, inside.top()) << image.pixel(x, inside.bottom());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        ring << image.pixel(inside.left(), y) << image.pixel(inside.right(), y);
    if (ring.isEmpty())
        return qRgb(255, 255, 255);
    std::nth_element(ring.begin(), ring.begin() + ring.size() / 2, ring.end(), darker);
    return ring[ring.size() / 2];
}

// The colour of a glyph's ink on the scan, where it has one: the mean of its
// darkest pixels, rounded; none for black or grey ink, which the style's
// black stands for.
std::optional<Rgb> inkOf(const QImage &image, const QRect &box)
{
    QList<QRgb> pixels;
    const QRect inside = box.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            pixels << image.pixel(x, y);
    }
    if (pixels.isEmpty())
        return std::nullopt;
    const qsizetype darkest = qMax<qsizetype>(1, qsizetype(kInkShare * double(pixels.size())));
    std::nth_element(pixels.begin(), pixels.begin() + (darkest - 1), pixels.end(), darker);
    int channels[3] = {0, 0, 0};
    for (qsizetype i = 0; i < darkest; ++i) {
        channels[0] += qRed(pixels[i]);
        channels[1] += qGreen(pixels[i]);
        channels[2] += qBlue(pixels[i]);
    }
    for (int &channel : channels)
        channel = qMin(255, (channel / int(darkest) + kInkStep / 2) / kInkStep * kInkStep);
    const auto [low, high] = std::minmax({channels[0], channels[1], channels[2]});
    if (high - low < kGreyInk)
        return std::nullopt;
    return Rgb((channels[0] << 16) | (channels[1] << 8) | channels[2]);
}

// The document's styles as glyphs need them recoloured: each style and ink
// becomes one style.
class Inks {
public:
    explicit Inks(QList<TextStyle> &styles) : mStyles(styles) {}

    int styled(int style, Rgb ink)
    {
        if (style < 0 || style >= mStyles.size())
            return style;
        const quint64 key = (quint64(style) << 32) | ink;
        if (const auto found = mIndex.constFind(key); found != mIndex.constEnd())
            return *found;
        TextStyle coloured = mStyles[style];
        coloured.color = ink;
        mStyles.append(coloured);
        return *mIndex.insert(key, int(mStyles.size() - 1));
    }

private:
    QList<TextStyle> &mStyles;
    QHash<quint64, int> mIndex;
};

QRect pixelsOf(const QRectF &onPage, double sx, double sy)
{
    return QRect(QPoint(int(onPage.left() * sx), int(onPage.top() * sy)),
                 QPoint(int(std::ceil(onPage.right() * sx)), int(std::ceil(onPage.bottom() * sy))));
}

// The scan with the page's words painted out, written to `base` with the
// scan's own kind of file (a photographed page stays JPEG); empty when it
// cannot be made (a scan too large to load among them). The words take the
// colour their ink had on it.
QString blanked(const ImagePlacement &scan, QList<Glyph> &glyphs, Inks &inks, const QString &base)
{
    QImage image(scan.file);
    if (image.isNull() || scan.rotation != 0 || scan.flip || scan.box.isEmpty())
        return {};
    image = image.convertToFormat(QImage::Format_RGB32);
    const double sx = image.width() / scan.box.width();
    const double sy = image.height() / scan.box.height();
    QList<std::pair<QRect, QRgb>> patches;
    for (Glyph &glyph : glyphs) {
        const double pad = kPad * glyph.size;
        const QRect pixels = pixelsOf(glyph.box.adjusted(-pad, -pad, pad, pad).translated(-scan.box.topLeft()), sx, sy);
        if (!pixels.intersects(image.rect()))
            continue;
        patches.append({pixels, paperAround(image, pixels)});
        if (const std::optional<Rgb> ink = inkOf(image, pixelsOf(glyph.box.translated(-scan.box.topLeft()), sx, sy)))
            glyph.style = inks.styled(glyph.style, *ink);
    }
    // Colours are all taken before any is painted, so that a patch does not
    // take its colour from the one beside it.
    QPainter painter(&image);
    for (const auto &[pixels, colour] : std::as_const(patches))
        painter.fillRect(pixels, QColor(colour));
    painter.end();
    const bool jpeg = QFileInfo(scan.file).suffix().compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0;
    const QString file = base + (jpeg ? QStringLiteral(".jpg") : QStringLiteral(".png"));
    return image.save(file, jpeg ? "JPEG" : "PNG", jpeg ? kJpegQuality : -1) ? file : QString();
}

} // namespace

void ScanText::reveal(SourceDocument &document)
{
    for (SourcePage &page : document.pages) {
        if (page.invisibleGlyphs.isEmpty() || hasVisibleText(page))
            continue;
        if (!markScans(page))
            continue;
        page.glyphs = page.invisibleGlyphs;
        // A recogniser draws its words in a font of like boxes, each word
        // stretched to the width it had on the scan: neither the boxes
        // (monospaced to look at) nor the stretch say how its letters look.
        for (const Glyph &glyph : std::as_const(page.glyphs)) {
            if (glyph.style < 0 || glyph.style >= document.styles.size())
                continue;
            TextStyle &style = document.styles[glyph.style];
            style.stretch = 1;
            style.mono = false;
            style.letterWidth = 0;
        }
    }
}

void ScanText::blank(SourceDocument &document, const QString &folder)
{
    Inks inks(document.styles);
    for (qsizetype p = 0; p < document.pages.size(); ++p) {
        SourcePage &page = document.pages[p];
        for (qsizetype i = 0; i < page.images.size(); ++i) {
            ImagePlacement &image = page.images[i];
            if (!image.scan)
                continue;
            const QString base = folder + QStringLiteral("/scan-%1-%2").arg(p + 1).arg(i + 1);
            image.file = image.file.isEmpty() ? QString() : blanked(image, page.glyphs, inks, base);
            image.key = image.file;
        }
        page.images.removeIf([](const ImagePlacement &image) { return image.scan && image.file.isEmpty(); });
    }
}
