#pragma once

#include <QString>
#include <QVariant>

#include <functional>

// What to upload where: the bucket, the object key, the callback parameters
// the service gave (an object, or text passed on as it is) and the local file.
struct OssPutObjectRequest {
    QString bucketName;
    QString objectKey;
    QVariant callbackParam;
    QString uploadingFilePath;
    // Bytes sent now, total sent, total expected.
    std::function<void(qint64, qint64, qint64)> uploadProgress;
};
