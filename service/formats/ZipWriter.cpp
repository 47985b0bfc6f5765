#include "formats/ZipWriter.h"

#include <QFile>

#include <zip.h>

#include <cstdlib>
#include <cstring>

ZipWriter::ZipWriter(const QString &path) : mPath(path)
{
}

ZipWriter::~ZipWriter()
{
    if (mArchive)
        zip_discard(mArchive);
}

bool ZipWriter::fail(const QString &error)
{
    mError = error;
    return false;
}

bool ZipWriter::failFromArchive()
{
    return fail(QString::fromLocal8Bit(zip_strerror(mArchive)));
}

bool ZipWriter::open()
{
    if (mArchive)
        return fail(QStringLiteral("The archive is open already"));
    int code = ZIP_ER_OK;
    mArchive = zip_open(QFile::encodeName(mPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (mArchive)
        return true;
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return fail(text);
}

bool ZipWriter::add(const QString &name, zip_source *source)
{
    // libzip takes the source only when the entry is added.
    if (zip_file_add(mArchive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        return failFromArchive();
    }
    return true;
}

bool ZipWriter::addData(const QString &name, const QByteArray &data)
{
    if (!mArchive)
        return fail(QStringLiteral("The archive is not open"));
    if (name.isEmpty())
        return fail(QStringLiteral("An archive entry needs a name"));
    void *copy = nullptr;
    if (!data.isEmpty()) {
        copy = std::malloc(size_t(data.size()));
        if (!copy)
            return fail(QStringLiteral("Out of memory"));
        std::memcpy(copy, data.constData(), size_t(data.size()));
    }
    // With freep set, libzip frees the copy once the archive is written.
    zip_source_t *source = zip_source_buffer(mArchive, copy, zip_uint64_t(data.size()), 1);
    if (!source) {
        std::free(copy);
        return failFromArchive();
    }
    return add(name, source);
}

bool ZipWriter::addFile(const QString &name, const QString &sourcePath)
{
    if (!mArchive)
        return fail(QStringLiteral("The archive is not open"));
    if (name.isEmpty())
        return fail(QStringLiteral("An archive entry needs a name"));
    // libzip opens the file only in close(); opening it here reports a missing
    // or unreadable source against the entry that needs it.
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(name, source.errorString()));
    source.close();
    zip_source_t *file = zip_source_file(mArchive, QFile::encodeName(sourcePath).constData(), 0, 0);
    if (!file)
        return fail(QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(zip_strerror(mArchive))));
    return add(name, file);
}

bool ZipWriter::close()
{
    if (!mArchive)
        return fail(QStringLiteral("The archive is not open"));
    // libzip writes no file at all for an archive without entries.
    if (zip_get_num_entries(mArchive, 0) == 0) {
        zip_discard(mArchive);
        mArchive = nullptr;
        return fail(QStringLiteral("The archive has no entries"));
    }
    if (zip_close(mArchive) == 0) {
        mArchive = nullptr;
        return true;
    }
    // A failed close keeps the archive open; give it up, which also removes
    // libzip's temporary file.
    failFromArchive();
    zip_discard(mArchive);
    mArchive = nullptr;
    return false;
}
