#include "layout/ImageCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>

#include <utility>

namespace {

// Qt's default limit, 256 MB, would drop a large poster's picture.
constexpr int kAllocationLimitMb = 1024;

// The file as PNG where it is in a netpbm format; empty where it cannot be read.
QString portable(const QString &file)
{
    static const QStringList netpbm{QStringLiteral("ppm"), QStringLiteral("pgm"), QStringLiteral("pbm")};
    const QFileInfo info(file);
    if (!netpbm.contains(info.suffix().toLower()))
        return file;
    QImageReader reader(file);
    reader.setAllocationLimit(kAllocationLimitMb);
    const QImage image = reader.read();
    const QString png = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".png");
    return !image.isNull() && image.save(png, "PNG") ? png : QString();
}

} // namespace

QList<ImageCatalog::Entry> ImageCatalog::parseList(const QString &listing)
{
    QList<Entry> entries;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList lines = listing.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList fields = line.trimmed().split(space, Qt::SkipEmptyParts);
        bool pageOk = false;
        bool numberOk = false;
        if (fields.size() < 5)
            continue;
        Entry entry;
        entry.page = fields[0].toInt(&pageOk);
        entry.number = fields[1].toInt(&numberOk);
        if (!pageOk || !numberOk)
            continue;
        entry.type = fields[2];
        entry.pixels = QSize(fields[3].toInt(), fields[4].toInt());
        bool objectOk = false;
        const int object = fields.value(10).toInt(&objectOk);
        entry.key = objectOk && object > 0 ? fields[10] + QLatin1Char(' ') + fields.value(11)
                                           : QStringLiteral("inline %1").arg(entry.number);
        entries.append(entry);
    }
    return entries;
}

QHash<int, QString> ImageCatalog::extractedFiles(const QString &folder)
{
    static const QRegularExpression name(QStringLiteral("-(\\d+)-(\\d+)\\.[A-Za-z0-9]+$"));
    QHash<int, QString> files;
    const QStringList entries = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &entry : entries) {
        const QRegularExpressionMatch match = name.match(entry);
        if (match.hasMatch())
            files.insert(match.captured(2).toInt(), QDir(folder).filePath(entry));
    }
    return files;
}

void ImageCatalog::match(QList<SourcePage> &pages, const QList<Entry> &entries, const QHash<int, QString> &files)
{
    QHash<int, QList<Entry>> perPage;
    QHash<int, int> softMaskOf; // image number to its soft mask's, listed right after it
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const Entry &entry = entries[e];
        if (entry.type == QLatin1String("image"))
            perPage[entry.page].append(entry);
        else if (entry.type == QLatin1String("smask") && e > 0 && entries[e - 1].type == QLatin1String("image") &&
                 entries[e - 1].page == entry.page)
            softMaskOf.insert(entries[e - 1].number, entry.number);
    }
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const QList<Entry> rows = perPage.value(int(p + 1));
        qsizetype next = 0;
        for (ImagePlacement &placement : pages[p].images) {
            // Skip rows that do not fit, but never go back: the order is shared.
            qsizetype at = next;
            while (at < rows.size() && rows[at].pixels != placement.pixels)
                ++at;
            if (at == rows.size())
                continue;
            placement.file = files.value(rows[at].number);
            if (softMaskOf.contains(rows[at].number))
                placement.maskFile = files.value(softMaskOf.value(rows[at].number));
            placement.key = rows[at].key;
            next = at + 1;
        }
    }
}

void ImageCatalog::settleFiles(QList<SourcePage> &pages)
{
    QHash<QString, std::pair<QString, QString>> settled; // key to file and mask file
    for (SourcePage &page : pages) {
        for (ImagePlacement &placement : page.images) {
            if (placement.file.isEmpty())
                continue;
            auto found = settled.constFind(placement.key);
            if (found == settled.constEnd())
                found = settled.insert(placement.key, {portable(placement.file), placement.maskFile});
            placement.file = found->first;
            placement.maskFile = found->second;
        }
    }
}
