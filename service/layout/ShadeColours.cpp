#include "layout/ShadeColours.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

constexpr int kDpi = 18;       // enough for a colour, small enough to be quick
constexpr double kNear = 0.25; // of the box, where its colours are read
constexpr double kFar = 0.75;
constexpr qint64 kMaxPixmap = 1 << 26;

Rgb pixelAt(const ShadeColours::Pixmap &pixmap, const QSizeF &pageSize, const QPointF &at)
{
    const int x = qBound(0, int(at.x() / pageSize.width() * pixmap.width), pixmap.width - 1);
    const int y = qBound(0, int(at.y() / pageSize.height() * pixmap.height), pixmap.height - 1);
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
    const auto across = [&](bool vertical, double along) {
        QList<Rgb> samples;
        for (double t = 0.1; t < 0.95; t += 0.2) {
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
    shade.vertical = difference(top, bottom) >= difference(left, right);
    const Rgb near = shade.vertical ? top : left;
    const Rgb far = shade.vertical ? bottom : right;
    shade.start = extend(far, near);
    shade.end = extend(near, far);
    shade.known = true;
}

bool ShadeColours::read(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document,
                        QString *error)
{
    QStringList pages;
    for (qsizetype p = 0; p < document.pages.size(); ++p) {
        if (!document.pages[p].shades.isEmpty())
            pages.append(QString::number(p + 1));
    }
    if (pages.isEmpty())
        return true;
    const QString folder = workFolder + QStringLiteral("/shades");
    QDir().mkpath(folder);
    if (!tools.run(QStringLiteral("mutool"),
                   {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"), QString::number(kDpi),
                    QStringLiteral("-c"), QStringLiteral("rgb"), QStringLiteral("-F"), QStringLiteral("pnm"),
                    QStringLiteral("-o"), folder + QStringLiteral("/page%d.pnm"), pdf, pages.join(QLatin1Char(','))},
                   error))
        return false;
    for (const QString &number : std::as_const(pages)) {
        QFile file(folder + QStringLiteral("/page%1.pnm").arg(number));
        // A page that did not render keeps its shades without colours: they are left out.
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const std::optional<Pixmap> pixmap = parse(file.read(kMaxPixmap + 64));
        file.close();
        file.remove();
        SourcePage &page = document.pages[number.toInt() - 1];
        for (Shade &shade : page.shades) {
            if (pixmap)
                colour(*pixmap, page.size, shade);
        }
    }
    return true;
}
