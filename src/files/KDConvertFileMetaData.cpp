#include "files/KDConvertFileMetaData.h"

#include "tools/ToolFile.h"

#include <QFileInfo>

QString KDConvertFileMetaData::fileName() const
{
    return QFileInfo(mFilePath).fileName();
}

quint64 KDConvertFileMetaData::fileSize() const
{
    const QFileInfo info(mFilePath);
    return info.exists() && !info.isDir() ? quint64(info.size()) : 0;
}

QString KDConvertFileMetaData::fileSizeString() const
{
    return ToolFile::fileSizeFormatterToString(qint64(fileSize()));
}

void KDConvertFileMetaData::setOutcome(qint32 status, const QString &resultPath, const QString &failureReason)
{
    mConvertStatus = status;
    mResultPath = resultPath;
    mFailureReason = failureReason;
}
