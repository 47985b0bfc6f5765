#pragma once

#include "frameworks/CurlTransfer.h"
#include "tools/ToolError.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <thread>

class QFileDevice;

// The HTTP client's uploads and downloads. Each runs as a CurlTransfer on a
// thread of its own and reports back on the thread this object lives on,
// where every transfer gets exactly one completion.
class FileTransfers final : public QObject {
    Q_OBJECT
public:
    using DownloadProgress = std::function<void(float fraction, bool finished, const ToolError &error)>;
    using UploadProgress = std::function<void(qint64 bytesSent, qint64 totalSent, qint64 totalExpected)>;
    using UploadDone =
        std::function<void(const ToolError &error, int httpStatus, const QByteArray &reason, const QByteArray &body)>;

    explicit FileTransfers(qint64 maxAnswerBytes, QObject *parent = nullptr);
    ~FileTransfers() override;

    // Streams the file as the body of a PUT.
    void startUpload(CurlTransfer::Request request, const QString &filePath, UploadProgress progress, UploadDone done);
    // Streams the body into the file, which is replaced only when the whole
    // body has arrived; a failed transfer leaves whatever was there.
    void startDownload(CurlTransfer::Request request, const QString &filePath, DownloadProgress progress);
    // Cancels every transfer and completes each before it returns.
    void abortAll();

private:
    struct Job;

    void launch(std::unique_ptr<Job> job);
    void report(quint64 id, qint64 done, qint64 total);
    void complete(quint64 id);
    void deliver(Job &job);
    static ToolError fileError(const QString &verb, const QString &path, const QString &reason);

    qint64 mMaxAnswerBytes;
    std::map<quint64, std::unique_ptr<Job>> mJobs;
    quint64 mNextId = 1;
};
