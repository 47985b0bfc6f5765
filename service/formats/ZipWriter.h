#pragma once

#include <QByteArray>
#include <QString>

struct zip;
struct zip_source;

// Writes a zip archive through libzip. Entries are deflated (libzip stores
// only small entries that deflate would make larger), zip64 records are
// written when sizes or the entry count need them, and names are UTF-8.
// Nothing reaches the target path before close(): libzip assembles the
// archive in a temporary file beside it and renames it into place, so an
// archive given up half-way (the writer destroyed without close, or a failed
// close) never leaves a partial file there.
class ZipWriter final {
public:
    explicit ZipWriter(const QString &path);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool open();
    // The file is read when close() writes the archive, in chunks; it must
    // stay in place until then. A source that cannot be read fails here.
    bool addFile(const QString &name, const QString &sourcePath);
    // The bytes are copied; the caller's buffer may go at once.
    bool addData(const QString &name, const QByteArray &data);
    // Compresses and writes every entry; the archive exists only after this.
    bool close();
    QString errorString() const { return mError; }

private:
    bool add(const QString &name, zip_source *source);
    bool fail(const QString &error);
    bool failFromArchive();

    QString mPath;
    zip *mArchive = nullptr;
    QString mError;
};
