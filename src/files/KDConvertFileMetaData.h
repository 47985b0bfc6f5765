#pragma once

#include "files/ConvertTypes.h"

#include <QString>

#include <memory>

// One input file in one mode's list. Name, size and size text are read from
// the file system on every call, never cached, so a redrawn row shows a file
// that has grown or vanished as it is now.
class KDConvertFileMetaData final {
public:
    KDConvertFileMetaData() = default;
    explicit KDConvertFileMetaData(QString filePath) : mFilePath(std::move(filePath)) {}

    QString filePath() const { return mFilePath; }
    void setFilePath(const QString &filePath) { mFilePath = filePath; }
    qint32 convertStatus() const { return mConvertStatus; }
    void setConvertStatus(qint32 status) { mConvertStatus = status; }

    // The path the user gave, when filePath is an unlocked copy made from it.
    QString sourcePath() const { return mSourcePath.isEmpty() ? mFilePath : mSourcePath; }
    void setSourcePath(const QString &sourcePath) { mSourcePath = sourcePath; }

    QString fileName() const;
    quint64 fileSize() const;
    QString fileSizeString() const;

private:
    QString mFilePath;
    QString mSourcePath;
    qint32 mConvertStatus = Waiting;
};

using KDConvertFileRecord = std::shared_ptr<KDConvertFileMetaData>;
