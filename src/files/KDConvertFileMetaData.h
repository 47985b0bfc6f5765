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

    // What the last run made of the file: its result (empty when there is
    // none) and, for a failed file, why, in the words shown to the user.
    QString resultPath() const { return mResultPath; }
    QString failureReason() const { return mFailureReason; }
    // Sets the status with its result and reason together, so that a row never
    // shows the reason or result of an earlier run.
    void setOutcome(qint32 status, const QString &resultPath = QString(), const QString &failureReason = QString());

    QString fileName() const;
    quint64 fileSize() const;
    QString fileSizeString() const;

private:
    QString mFilePath;
    QString mSourcePath;
    qint32 mConvertStatus = Waiting;
    QString mResultPath;
    QString mFailureReason;
};

using KDConvertFileRecord = std::shared_ptr<KDConvertFileMetaData>;
