#pragma once

#include "frameworks/FileTransfers.h"
#include "tools/ToolError.h"

#include <QByteArray>
#include <QHash>
#include <QNetworkRequest>
#include <QObject>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The part of the HTTP client that lives on the client's thread: it owns the
// network manager and every reply, and the file transfers, and makes sure
// each request completes once.
class HttpWorker final : public QObject {
    Q_OBJECT
public:
    using DataDone = std::function<void(const ToolError &error, const QByteArray &body)>;

    // Replies held in memory (JSON, upload answers) larger than this are
    // refused: the transfer is aborted as soon as the bound is passed.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;

    HttpWorker();
    ~HttpWorker() override;

    void startData(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body, DataDone done);
    // Uploads and downloads, streamed between the disk and the wire.
    FileTransfers &files() { return *mFiles; }
    void abortAll();

    static ToolError errorForReply(QNetworkReply *reply);

private:
    struct Pending {
        DataDone done;
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

    QNetworkAccessManager *mManager = nullptr;
    QHash<QNetworkReply *, Pending> mPending;
    FileTransfers *mFiles; // a child: it moves to the client's thread with this object
};
