#include "layout/ImageAlpha.h"

#include <QDir>
#include <QHash>
#include <QImage>

#include <cmath>

namespace {

constexpr qint64 kMaxPixels = 40'000'000; // 160 MB as 32-bit pixels
constexpr double kOpaque = 0.995;

bool seeThrough(const ImagePlacement &placement)
{
    return !placement.file.isEmpty() && (!placement.maskFile.isEmpty() || placement.opacity < kOpaque);
}

} // namespace

bool ImageAlpha::compose(const QString &image, const QString &mask, double opacity, const QString &target)
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
            const QString recipe = placement.file + QLatin1Char('|') + placement.maskFile + QLatin1Char('|') + opacity;
            QString file = made.value(recipe);
            if (file.isNull()) {
                const QString target = QDir(folder).filePath(QStringLiteral("alpha-%1.png").arg(made.size()));
                file = compose(placement.file, placement.maskFile, placement.opacity, target) ? target
                                                                                              : QStringLiteral("");
                made.insert(recipe, file);
            }
            if (file.isEmpty())
                continue;
            placement.file = file;
            placement.key += QStringLiteral(" alpha ") + opacity;
        }
    }
}
