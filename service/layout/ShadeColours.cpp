#include "layout/ShadeColours.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kDpi = 18; // enough for a colour, small enough to be quick
constexpr int kMaxDpi = 150;
constexpr int kPixelsAcross = 3; // of the thinnest shading, so that its middle is its own colour
constexpr double kLineWidth = 4; // points: a shading no wider is a line
constexpr double kNear = 0.25;   // of the box, where its colours are read
constexpr double kFar = 0.75;
constexpr qint64 kMaxPixmap = 1 << 26;

Rgb pixelAt(const ShadeColours::Pixmap &pixmap, const QSizeF &pageSize, const QPointF &at)
{
    // The renderer rounds the page up to whole pixels: its own scale places a
    // thin line's pixel, where the pixmap's size would miss it by one.
    const double scaleX = pixmap.dpi > 0 ? pixmap.dpi / 72.0 : pixmap.width / pageSize.width();
    const double scaleY = pixmap.dpi > 0 ? pixmap.dpi / 72.0 : pixmap.height / pageSize.height();
    const int x = qBound(0, int(at.x() * scaleX), pixmap.width - 1);
    const int y = qBound(0, int(at.y() * scaleY), pixmap.height - 1);
    const qsizetype offset = (qsizetype(y) * pixmap.width + x) * 3;
    const auto byte = [&pixmap](qsizetype i) { return Rgb(uchar(pixmap.rgb[i])); };
    return byte(offset) << 16 | byte(offset + 1) << 8 | byte(offset + 2);
}

int difference(Rgb a, Rgb b)
{
    int sum = 0;
    for (int shift : {16, 8, 0})
        sum += std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff));
    return sum;
}

// Channel by channel, the middle of the samples.
Rgb median(const QList<Rgb> &samples)
{
    Rgb result = 0;
    for (int shift : {16, 8, 0}) {
        QList<int> values;
        for (const Rgb sample : samples)
            values.append(int(sample >> shift & 0xff));
        std::sort(values.begin(), values.end());
        result |= Rgb(values[values.size() / 2]) << shift;
    }
    return result;
}

// The colour at the end beyond `to`, on the line from `from` (a quarter in) to `to` (three quarters in).
Rgb extend(Rgb from, Rgb to)
{
    Rgb result = 0;
    for (int shift : {16, 8, 0}) {
        const int a = int(from >> shift & 0xff);
        const int b = int(to >> shift & 0xff);
        result |= Rgb(qBound(0, b + (b - a) / 2, 255)) << shift;
    }
    return result;
}

// The next whitespace-separated number of a pixmap header, skipping comments.
std::optional<int> headerNumber(const QByteArray &data, qsizetype &at)
{
    while (at < data.size() && (std::isspace(uchar(data[at])) || data[at] == '#')) {
        if (data[at] == '#') {
            while (at < data.size() && data[at] != '\n')
                ++at;
        } else {
            ++at;
        }
    }
    const qsizetype from = at;
    while (at < data.size() && std::isdigit(uchar(data[at])) && at - from < 9)
        ++at;
    if (at == from)
        return std::nullopt;
    return data.mid(from, at - from).toInt();
}

} // namespace

std::optional<ShadeColours::Pixmap> ShadeColours::parse(const QByteArray &data)
{
    if (!data.startsWith("P6"))
        return std::nullopt;
    qsizetype at = 2;
    const std::optional<int> width = headerNumber(data, at);
    const std::optional<int> height = headerNumber(data, at);
    const std::optional<int> maximum = headerNumber(data, at);
    if (!width || !height || !maximum || *width <= 0 || *height <= 0 || *maximum != 255 || at >= data.size())
        return std::nullopt;
    const qint64 bytes = qint64(*width) * *height * 3;
    ++at; // the single whitespace after the header
    if (bytes > kMaxPixmap || data.size() - at < bytes)
        return std::nullopt;
    return Pixmap{*width, *height, data.mid(at, bytes)};
}

void ShadeColours::colour(const Pixmap &pixmap, const QSizeF &pageSize, Shade &shade)
{
    if (pixmap.width <= 0 || pixmap.height <= 0 || pageSize.isEmpty())
        return;
    // Read at a quarter and three quarters along each axis, each the median
    // across the box (a logo or text box over the shading is no sample), and
    // extend the line through them to the box's ends.
    const QRectF &box = shade.box;
    // A line drawn as a shading changes along its length, and is read along
    // its middle: across it, a sample may fall beside it.
    const bool line = qMin(box.width(), box.height()) <= kLineWidth;
    const QList<double> spots = line ? QList<double>{0.5} : QList<double>{0.1, 0.3, 0.5, 0.7, 0.9};
    const auto across = [&](bool vertical, double along) {
        QList<Rgb> samples;
        for (const double t : spots) {
            const QPointF at = vertical ? QPointF(box.left() + t * box.width(), box.top() + along * box.height())
                                        : QPointF(box.left() + along * box.width(), box.top() + t * box.height());
            samples.append(pixelAt(pixmap, pageSize, at));
        }
        return median(samples);
    };
    const Rgb top = across(true, kNear);
    const Rgb bottom = across(true, kFar);
    const Rgb left = across(false, kNear);
    const Rgb right = across(false, kFar);
    shade.vertical = line ? box.height() > box.width() : difference(top, bottom) >= difference(left, right);
    const Rgb near = shade.vertical ? top : left;
    const Rgb far = shade.vertical ? bottom : right;
    shade.start = extend(far, near);
    shade.end = extend(near, far);
    shade.known = true;
}

int ShadeColours::dpiFor(const SourcePage &page)
{
    double thinnest = std::numeric_limits<double>::infinity();
    for (const Shade &shade : page.shades)
        thinnest = qMin(thinnest, qMin(shade.box.width(), shade.box.height()));
    if (thinnest <= 0 || page.size.isEmpty())
        return kDpi;
    const double wanted = std::ceil(kPixelsAcross * 72 / thinnest);
    const double inches = page.size.width() / 72 * page.size.height() / 72;
    const double fitting = std::floor(std::sqrt(double(kMaxPixmap) / 3 / inches));
    return int(qBound(double(kDpi), qMin(wanted, fitting), double(kMaxDpi)));
}

bool ShadeColours::read(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document,
                        QString *error)
{
    // Pages are rendered together, each group at its resolution.
    QMap<int, QStringList> pagesPerDpi;
    for (qsizetype p = 0; p < document.pages.size(); ++p) {
        if (!document.pages[p].shades.isEmpty())
            pagesPerDpi[dpiFor(document.pages[p])].append(QString::number(p + 1));
    }
    if (pagesPerDpi.isEmpty())
        return true;
    const QString folder = workFolder + QStringLiteral("/shades");
    QDir().mkpath(folder);
    for (auto it = pagesPerDpi.cbegin(); it != pagesPerDpi.cend(); ++it) {
        // Spot colours as their process colours (-O 0), as the trace reads them.
        if (!tools.run(QStringLiteral("mutool"),
                       {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-O"), QStringLiteral("0"),
                        QStringLiteral("-r"), QString::number(it.key()), QStringLiteral("-c"), QStringLiteral("rgb"),
                        QStringLiteral("-F"), QStringLiteral("pnm"), QStringLiteral("-o"),
                        folder + QStringLiteral("/page%d.pnm"), pdf, it.value().join(QLatin1Char(','))},
                       error))
            return false;
        for (const QString &number : it.value())
            colourPage(folder + QStringLiteral("/page%1.pnm").arg(number), it.key(),
                       document.pages[number.toInt() - 1]);
    }
    return true;
}

void ShadeColours::colourPage(const QString &file, int dpi, SourcePage &page)
{
    QFile rendered(file);
    // A page that did not render keeps its shades without colours: they are left out.
    if (!rendered.open(QIODevice::ReadOnly))
        return;
    std::optional<Pixmap> pixmap = parse(rendered.read(kMaxPixmap + 64));
    rendered.close();
    rendered.remove();
    if (!pixmap)
        return;
    pixmap->dpi = dpi;
    for (Shade &shade : page.shades)
        colour(*pixmap, page.size, shade);
}
