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

    // Replies held in memory (JSON, upload answers) larger than this are
    // refused: the transfer is aborted as soon as the bound is passed.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;

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
        QByteArray body;       // what arrived of a reply read into memory
        bool tooLarge = false; // refused by limitReply()
    };

    QNetworkAccessManager *manager();
    void limitReply(QNetworkReply *reply);
    void takeReplyData(QNetworkReply *reply);
    void refuseIfTooLarge(QNetworkReply *reply);
    // The whole body of a finished in-memory reply; false when it is over the bound.
    static bool collectBody(QNetworkReply *reply, Pending &pending);
    static ToolError tooLargeError(QNetworkReply *reply);
    void finishData(QNetworkReply *reply);
    void finishDownload(QNetworkReply *reply);
    void finishUpload(QNetworkReply *reply);
    void writeDownloadChunk(QNetworkReply *reply);
    void reportDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total);

    QNetworkAccessManager *mManager = nullptr;
    QHash<QNetworkReply *, Pending> mPending;
};
