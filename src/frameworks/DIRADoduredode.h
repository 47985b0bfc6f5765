#pragma once

#include "frameworks/CurlTransfer.h"
#include "tools/ToolError.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <functional>

class HttpWorker;

// The framework's HTTP client: one QNetworkAccessManager on a thread of its
// own, so replies keep flowing whatever the callers' threads are doing.
// Every request gets exactly one completion (a download: exactly one call
// with the finished flag), also on time-out, TLS failure, refused connection
// or shutdown; completions run on the client's thread. A transport failure
// delivers an error and an empty body. TLS peers are always verified. Replies
// read into memory (everything but downloads) are refused beyond 16 MiB
// (HttpWorker::kMaxReplyBytes); downloads stream to disk at any size.
// Uploads and downloads go through libcurl, the JSON requests through the
// network manager.
class DIRADoduredode final : public QObject {
    Q_OBJECT
public:
    using DataReturn = std::function<void(const ToolError &error, const QByteArray &body)>;
    // The reply is handed over as the body bytes (a QByteArray in the QVariant).
    using ReplyReturn = std::function<void(const ToolError &error, const QVariant &reply)>;
    using DownloadProgress = std::function<void(float fraction, bool finished, const ToolError &error)>;

    DIRADoduredode();
    ~DIRADoduredode() override;

    // The process's client.
    static DIRADoduredode &shared();

    // Parameters as a JSON body (Content-Type: application/json).
    void POSTWithUrl(const QString &url, const QVariantMap &withDictrionary, const QVariantMap &withHeaders,
                     DataReturn withReturn);
    // Parameters as a query string; lists and maps JSON-encoded.
    void GETtWithUrl(const QString &url, const QVariantMap &withDictionary, const QVariantMap &withHeaders,
                     ReplyReturn withRerturn);
    // Streams the body into withFilePath. The file is replaced only when the
    // whole body has arrived; a failed transfer leaves whatever was there.
    void downloadFile(const QString &url, const QString &withFilePath, DownloadProgress withProgressBlcok);

    using UploadProgress = std::function<void(qint64 bytesSent, qint64 totalSent, qint64 totalExpected)>;
    using UploadReturn =
        std::function<void(const ToolError &error, int httpStatus, const QByteArray &reason, const QByteArray &body)>;
    // PUTs a file as the body, streamed from disk, with the given headers.
    void PUTFileWithUrl(const QUrl &url, const QString &filePath, const QVariantMap &withHeaders,
                        UploadProgress progress, UploadReturn withReturn);

    // No bytes for this long ends a transfer with a time-out (default 60 s).
    void setTransferTimeout(int milliseconds);
    int transferTimeout() const;
    // Trusts the PEM certificates in a file in addition to the system's.
    bool addCaCertificatesFromFile(const QString &path, QString *errorText = nullptr);
    QList<QSslCertificate> extraCaCertificates() const;

    // Ends every request under way; each gets its completion with an error.
    void cancelAll();
    // Cancels everything and stops the thread; later requests fail at once.
    void shutdown();

    // Pure encoders, shared with the tests.
    static QByteArray jsonBody(const QVariantMap &parameters);
    static QString queryString(const QVariantMap &parameters);

private:
    bool postToWorker(std::function<void(HttpWorker *)> job);
    CurlTransfer::Request transferRequest(const QUrl &url, const QVariantMap &headers);
    // The extra CA certificates as PEM, for the file transfers.
    QByteArray extraCasPem() const;

    mutable QMutex mMutex;
    QList<QSslCertificate> mExtraCaCertificates;
    int mTransferTimeout = 60000;
    bool mStopped = false;
    QThread mThread;
    HttpWorker *mWorker = nullptr;
};
