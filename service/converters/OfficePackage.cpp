#include "converters/OfficePackage.h"

#include <QByteArray>
#include <QFile>
#include <QXmlStreamReader>

#include <zip.h>

#include <memory>

namespace {

// The package relationships are a few hundred bytes; more is not a real package.
constexpr zip_uint64_t kMaxRelationshipsBytes = 1024 * 1024;

struct ArchiveCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

bool contains(zip_t *archive, const QString &name)
{
    return zip_name_locate(archive, name.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

QByteArray entry(zip_t *archive, const char *name)
{
    zip_stat_t stat;
    if (zip_stat(archive, name, ZIP_FL_NOCASE, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > kMaxRelationshipsBytes)
        return {};
    zip_file_t *file = zip_fopen(archive, name, ZIP_FL_NOCASE);
    if (!file)
        return {};
    QByteArray data(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    return read == zip_int64_t(stat.size) ? data : QByteArray();
}

// The target of the package's officeDocument relationship, without a leading slash.
QString mainDocumentTarget(const QByteArray &relationships)
{
    QXmlStreamReader xml(relationships);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship") ||
            !xml.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument")))
            continue;
        QString target = xml.attributes().value(QLatin1String("Target")).toString();
        while (target.startsWith(QLatin1Char('/')))
            target.remove(0, 1);
        return target;
    }
    return {};
}

} // namespace

bool OfficePackage::hasMainPart(const QString &path, const QString &mainPart, const QString &folder)
{
    int code = 0;
    const Archive archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!archive)
        return false;
    if (contains(archive.get(), mainPart))
        return true;
    const QString target = mainDocumentTarget(entry(archive.get(), "_rels/.rels"));
    return target.startsWith(folder, Qt::CaseInsensitive) && !target.contains(QLatin1String("..")) &&
           contains(archive.get(), target);
}
