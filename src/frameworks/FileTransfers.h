#pragma once

#include "frameworks/CurlTransfer.h"
#include "tools/ToolError.h"

#include <QObject>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <thread>

class QFileDevice;

// The HTTP client's uploads and downloads. Each runs as a CurlTransfer on a
// thread of its own and reports back on the thread this object lives on,
// where every transfer gets exactly one completion. At most kMaxRunning run
// at once, the rest wait in order: a batch of files then travels over a few
// kept connections instead of a TLS handshake per file.
class FileTransfers final : public QObject {
    Q_OBJECT
public:
    using DownloadProgress = std::function<void(float fraction, bool finished, const ToolError &error)>;
    using UploadProgress = std::function<void(qint64 bytesSent, qint64 totalSent, qint64 totalExpected)>;
    using UploadDone =
        std::function<void(const ToolError &error, int httpStatus, const QByteArray &reason, const QByteArray &body)>;

    // As many as a browser opens to one server.
    static constexpr int kMaxRunning = 6;

    explicit FileTransfers(qint64 maxAnswerBytes, QObject *parent = nullptr);
    ~FileTransfers() override;

    // Streams the file as the body of a PUT.
    void startUpload(CurlTransfer::Request request, const QString &filePath, UploadProgress progress, UploadDone done);
    // Streams the body into the file, which is replaced only when the whole
    // body has arrived; a failed transfer leaves whatever was there.
    void startDownload(CurlTransfer::Request request, const QString &filePath, DownloadProgress progress);
    // Cancels every transfer, running or waiting, and completes each before it returns.
    void abortAll();

private:
    struct Job;

    void enqueue(std::unique_ptr<Job> job);
    void launchWaiting();
    void launch(Job &job);
    void report(quint64 id, qint64 done, qint64 total);
    void complete(quint64 id);
    void deliver(Job &job);
    // Keeps a finished download's file or discards its partial one.
    static void closeTarget(Job &job);
    static ToolError fileError(const QString &verb, const QString &path, const QString &reason);

    qint64 mMaxAnswerBytes;
    std::map<quint64, std::unique_ptr<Job>> mJobs;
    std::deque<quint64> mWaiting;
    int mRunning = 0;
    quint64 mNextId = 1;
};
