#pragma once

#include "tools/ToolError.h"

#include <QByteArray>
#include <QHash>
#include <QNetworkRequest>
#include <QObject>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QFile;
class QSaveFile;

// The part of the HTTP client that lives on the client's thread: it owns the
// network manager and every reply, and makes sure each request completes once.
class HttpWorker final : public QObject {
    Q_OBJECT
public:
    using DataDone = std::function<void(const ToolError &error, const QByteArray &body)>;
    using DownloadProgress = std::function<void(float fraction, bool finished, const ToolError &error)>;
    using UploadProgress = std::function<void(qint64 bytesSent, qint64 totalSent, qint64 totalExpected)>;
    using UploadDone =
        std::function<void(const ToolError &error, int httpStatus, const QByteArray &reason, const QByteArray &body)>;

    HttpWorker();
    ~HttpWorker() override;

    void startData(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body, DataDone done);
    void startDownload(const QNetworkRequest &request, const QString &filePath, DownloadProgress progress);
    // Streams the file as the request body (PUT); nothing is read whole into memory.
    void startUpload(const QNetworkRequest &request, const QString &filePath, UploadProgress progress, UploadDone done);
    void abortAll();

    static ToolError errorForReply(QNetworkReply *reply);

private:
    struct Pending {
        DataDone done;
        DownloadProgress progress;
        QSaveFile *file = nullptr;
        float fraction = 0.0f;
        UploadProgress uploadProgress;
        UploadDone uploadDone;
        QFile *source = nullptr;
        qint64 lastSent = 0;
    };

    QNetworkAccessManager *manager();
    void finishData(QNetworkReply *reply);
    void finishDownload(QNetworkReply *reply);
    void finishUpload(QNetworkReply *reply);
    void writeDownloadChunk(QNetworkReply *reply);
    void reportDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total);

    QNetworkAccessManager *mManager = nullptr;
    QHash<QNetworkReply *, Pending> mPending;
};
