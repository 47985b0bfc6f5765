#pragma once

#include "ToolError.h"

#include <QByteArray>
#include <QFile>
#include <QNetworkRequest>
#include <QObject>
#include <QSslSocket>
#include <QTimer>

#include <functional>

// One PUT of a file, written straight to a TLS socket in large chunks.
// QNetworkAccessManager hands an upload body to its socket 16 KiB at a time,
// which caps a single upload well below what the connection carries; this
// keeps up to a few MiB queued instead, still reading the file as it goes.
// The request is sent with "Connection: close"; the reply must carry a
// Content-Length or end with the connection. Completes exactly once.
class StreamingUpload final : public QObject {
    Q_OBJECT
public:
    using Progress = std::function<void(qint64 bytesSent, qint64 totalSent, qint64 totalExpected)>;
    using Done = std::function<void(const ToolError &error, int httpStatus, const QByteArray &reason,
                                    const QByteArray &body)>;

    StreamingUpload(const QNetworkRequest &request, const QString &filePath, int transferTimeout, Progress progress,
                    Done done, QObject *parent = nullptr);

    void start();
    // Ends the upload now with an error (the completion is called).
    void abort();

private:
    void sendHead();
    void pump();
    void onBytesWritten(qint64 bytes);
    void onReadyRead();
    bool parseHead();
    void finish(const ToolError &error);
    ToolError error(const QString &text) const;

    QNetworkRequest mRequest;
    QFile mFile;
    QSslSocket mSocket;
    QTimer mIdle;
    Progress mProgress;
    Done mDone;
    qint64 mTotal = 0;
    qint64 mQueuedBody = 0;   // body bytes handed to the socket
    qint64 mHeadBytes = 0;    // head bytes not yet confirmed written
    qint64 mSent = 0;         // body bytes confirmed written
    QByteArray mReply;
    int mStatus = 0;
    QByteArray mReason;
    qint64 mBodyStart = -1;
    qint64 mContentLength = -1;
    bool mFinished = false;
};
