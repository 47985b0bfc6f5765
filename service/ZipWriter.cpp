#include "ZipWriter.h"

#include <QDateTime>
#include <QtEndian>

#include <zlib.h>

namespace {

constexpr qint64 kChunk = 1024 * 1024;
constexpr qint64 kMaxSize = 0xFFFFFFFFLL; // no zip64: 4 GiB per entry and archive
constexpr quint16 kUtf8Names = 0x0800;

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

ZipWriter::ZipWriter(const QString &path) : mFile(path)
{
    const QDateTime now = QDateTime::currentDateTime();
    mDosTime = quint16((now.time().hour() << 11) | (now.time().minute() << 5) | (now.time().second() / 2));
    mDosDate = quint16(((now.date().year() - 1980) << 9) | (now.date().month() << 5) | now.date().day());
}

bool ZipWriter::open()
{
    if (!mFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(mFile.errorString());
    return true;
}

bool ZipWriter::fail(const QString &error)
{
    mError = error;
    return false;
}

QByteArray ZipWriter::localHeader(const Entry &entry) const
{
    QByteArray out;
    put32(out, 0x04034b50);
    put16(out, 20);
    put16(out, kUtf8Names);
    put16(out, 0); // stored
    put16(out, mDosTime);
    put16(out, mDosDate);
    put32(out, entry.crc);
    put32(out, entry.size);
    put32(out, entry.size);
    put16(out, quint16(entry.name.size()));
    put16(out, 0);
    return out + entry.name;
}

QByteArray ZipWriter::centralHeader(const Entry &entry) const
{
    QByteArray out;
    put32(out, 0x02014b50);
    put16(out, 0x031E); // made on Unix, zip 3.0
    put16(out, 20);
    put16(out, kUtf8Names);
    put16(out, 0);
    put16(out, mDosTime);
    put16(out, mDosDate);
    put32(out, entry.crc);
    put32(out, entry.size);
    put32(out, entry.size);
    put16(out, quint16(entry.name.size()));
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0100644u << 16);
    put32(out, entry.offset);
    return out + entry.name;
}

bool ZipWriter::begin(const QString &name, Entry *entry)
{
    entry->name = name.toUtf8();
    if (entry->name.isEmpty() || entry->name.size() > 0xFFFF || mEntries.size() >= 0xFFFF)
        return fail(QStringLiteral("Too many entries or a bad entry name for a zip archive"));
    if (mFile.pos() > kMaxSize)
        return fail(QStringLiteral("The archive would be larger than 4 GiB"));
    entry->offset = quint32(mFile.pos());
    // Sizes and checksum are patched in once the data is written.
    const QByteArray header = localHeader(*entry);
    return mFile.write(header) == header.size() || fail(mFile.errorString());
}

bool ZipWriter::end(Entry &entry, qint64 size)
{
    if (size > kMaxSize)
        return fail(QStringLiteral("An entry is larger than 4 GiB"));
    entry.size = quint32(size);
    const qint64 after = mFile.pos();
    const QByteArray header = localHeader(entry);
    if (!mFile.seek(entry.offset) || mFile.write(header) != header.size() || !mFile.seek(after))
        return fail(mFile.errorString());
    mEntries.append(entry);
    return true;
}

bool ZipWriter::addData(const QString &name, const QByteArray &data)
{
    Entry entry;
    if (!begin(name, &entry))
        return false;
    entry.crc = quint32(crc32(0L, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    if (mFile.write(data) != data.size())
        return fail(mFile.errorString());
    return end(entry, data.size());
}

bool ZipWriter::addFile(const QString &name, const QString &sourcePath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(source.errorString());
    Entry entry;
    if (!begin(name, &entry))
        return false;
    uLong crc = crc32(0L, Z_NULL, 0);
    qint64 total = 0;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return fail(source.errorString());
        crc = crc32(crc, reinterpret_cast<const Bytef *>(chunk.constData()), uInt(chunk.size()));
        if (mFile.write(chunk) != chunk.size())
            return fail(mFile.errorString());
        total += chunk.size();
    }
    entry.crc = quint32(crc);
    return end(entry, total);
}

bool ZipWriter::close()
{
    const qint64 directoryStart = mFile.pos();
    QByteArray directory;
    for (const Entry &entry : std::as_const(mEntries))
        directory += centralHeader(entry);
    if (directoryStart + directory.size() > kMaxSize)
        return fail(QStringLiteral("The archive would be larger than 4 GiB"));
    QByteArray tail;
    put32(tail, 0x06054b50);
    put16(tail, 0);
    put16(tail, 0);
    put16(tail, quint16(mEntries.size()));
    put16(tail, quint16(mEntries.size()));
    put32(tail, quint32(directory.size()));
    put32(tail, quint32(directoryStart));
    put16(tail, 0);
    directory += tail;
    if (mFile.write(directory) != directory.size() || !mFile.flush())
        return fail(mFile.errorString());
    mFile.close();
    return true;
}
