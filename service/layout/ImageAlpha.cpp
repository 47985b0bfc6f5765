#include "layout/ImageAlpha.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace {

constexpr qint64 kMaxPixels = 40'000'000; // 160 MB as 32-bit pixels
constexpr double kOpaque = 0.995;

bool upright(const ImagePlacement &placement)
{
    return placement.rotation == 0 && !placement.flip;
}

bool seeThrough(const ImagePlacement &placement)
{
    return !placement.file.isEmpty() && (!placement.maskFile.isEmpty() || placement.opacity < kOpaque ||
                                         (!placement.clipShape.isEmpty() && upright(placement)));
}

// The clip's outline in the image's own pixels (its first row at the top).
QPainterPath inPixels(const ImagePlacement &placement)
{
    if (placement.clipShape.isEmpty() || placement.box.isEmpty())
        return {};
    QTransform toPixels;
    toPixels.scale(placement.pixels.width() / placement.box.width(),
                   placement.pixels.height() / placement.box.height());
    toPixels.translate(-placement.box.left(), -placement.box.top());
    return toPixels.map(placement.clipShape);
}

// The outline as text, to tell recipes apart: its points to a tenth of a pixel.
QString outlineKey(const QPainterPath &shape)
{
    QString key;
    for (int i = 0; i < shape.elementCount(); ++i) {
        const QPainterPath::Element element = shape.elementAt(i);
        key += QStringLiteral("%1 %2 %3;").arg(int(element.type)).arg(element.x, 0, 'f', 1).arg(element.y, 0, 'f', 1);
    }
    return key;
}

// Multiplies the image's alpha by the share of each pixel the outline covers.
void cutTo(QImage &picture, const QPainterPath &shape)
{
    QImage coverage(picture.size(), QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter painter(&coverage);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, Qt::white);
    painter.end();
    for (int y = 0; y < picture.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        const uchar *covered = coverage.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), qAlpha(row[x]) * covered[x] / 255);
    }
}

} // namespace

bool ImageAlpha::compose(const QString &image, const QString &mask, double opacity, const QString &target,
                         const QPainterPath &outline, QSize outlineSize)
{
    QImage picture(image);
    if (picture.isNull() || qint64(picture.width()) * picture.height() > kMaxPixels)
        return false;
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    QImage alpha;
    if (!mask.isEmpty()) {
        alpha = QImage(mask);
        if (alpha.isNull() || qint64(alpha.width()) * alpha.height() > kMaxPixels)
            return false;
        alpha = alpha.convertToFormat(QImage::Format_Grayscale8)
                    .scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const int scale = qBound(0, int(std::lround(opacity * 255)), 255);
    for (int y = 0; y < picture.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        const uchar *coverage = alpha.isNull() ? nullptr : alpha.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const int a = (coverage ? coverage[x] : 255) * scale / 255;
            row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), a);
        }
    }
    if (!outline.isEmpty()) {
        // The outline is given in the pixels the placement names; the file may hold another size.
        QTransform toFile;
        toFile.scale(double(picture.width()) / qMax(1, outlineSize.width()),
                     double(picture.height()) / qMax(1, outlineSize.height()));
        cutTo(picture, toFile.map(outline));
    }
    return picture.save(target, "PNG");
}

void ImageAlpha::apply(QList<SourcePage> &pages, const QString &folder)
{
    QHash<QString, QString> made; // image, mask and opacity to the file made of them
    for (SourcePage &page : pages) {
        for (ImagePlacement &placement : page.images) {
            if (!seeThrough(placement))
                continue;
            const QString opacity = QString::number(qBound(0.0, placement.opacity, 1.0), 'f', 2);
            const QPainterPath outline = upright(placement) ? inPixels(placement) : QPainterPath();
            const QString cut = outlineKey(outline);
            const QString recipe = placement.file + QLatin1Char('|') + placement.maskFile + QLatin1Char('|') + opacity +
                                   QLatin1Char('|') + cut;
            QString file = made.value(recipe);
            if (file.isNull()) {
                const QString target = QDir(folder).filePath(QStringLiteral("alpha-%1.png").arg(made.size()));
                file = compose(placement.file, placement.maskFile, placement.opacity, target, outline, placement.pixels)
                           ? target
                           : QStringLiteral("");
                made.insert(recipe, file);
            }
            if (file.isEmpty())
                continue;
            placement.file = file;
            // The file made stands for the outline, which may run long.
            placement.key += QStringLiteral(" alpha ") + opacity +
                             (cut.isEmpty() ? QString() : QStringLiteral(" cut ") + QFileInfo(file).fileName());
        }
    }
}
