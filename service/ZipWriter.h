#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// Writes a zip archive of stored (uncompressed) entries. Converted documents
// and images are compressed already, and stored entries keep the writer
// small; file entries are copied in chunks, never read whole.
class ZipWriter final {
public:
    explicit ZipWriter(const QString &path);

    bool open();
    bool addFile(const QString &name, const QString &sourcePath);
    bool addData(const QString &name, const QByteArray &data);
    // Writes the central directory; the archive is complete only after this.
    bool close();
    QString errorString() const { return mError; }

private:
    struct Entry {
        QByteArray name;
        quint32 crc = 0;
        quint32 size = 0;
        quint32 offset = 0;
    };

    bool begin(const QString &name, Entry *entry);
    bool end(Entry &entry, qint64 size);
    bool fail(const QString &error);
    QByteArray localHeader(const Entry &entry) const;
    QByteArray centralHeader(const Entry &entry) const;

    QFile mFile;
    QList<Entry> mEntries;
    QString mError;
    quint16 mDosTime = 0;
    quint16 mDosDate = 0;
};
