#include "frameworks/FileTransfers.h"

#include <QFile>
#include <QSaveFile>

#include <vector>

struct FileTransfers::Job {
    quint64 id = 0;
    std::unique_ptr<QFileDevice> file;
    CurlTransfer::Request request;
    std::unique_ptr<CurlTransfer> transfer; // made when the job starts to run
    std::thread thread;
    CurlTransfer::Result result; // written by the thread, read after join()
    UploadProgress uploadProgress;
    UploadDone uploadDone;
    DownloadProgress downloadProgress;
    qint64 lastSent = 0;
    float fraction = 0.0f;
};

FileTransfers::FileTransfers(qint64 maxAnswerBytes, QObject *parent) : QObject(parent), mMaxAnswerBytes(maxAnswerBytes)
{
}

FileTransfers::~FileTransfers()
{
    abortAll();
}

ToolError FileTransfers::fileError(const QString &verb, const QString &path, const QString &reason)
{
    return ToolError(QStringLiteral("DIRADoduredode"), -1, QStringLiteral("Cannot %1 %2: %3").arg(verb, path, reason));
}

void FileTransfers::startUpload(CurlTransfer::Request request, const QString &filePath, UploadProgress progress,
                                UploadDone done)
{
    auto source = std::make_unique<QFile>(filePath);
    if (!source->open(QIODevice::ReadOnly)) {
        done(fileError(QStringLiteral("read"), filePath, source->errorString()), 0, QByteArray(), QByteArray());
        return;
    }
    request.kind = CurlTransfer::Kind::Upload;
    auto job = std::make_unique<Job>();
    job->request = std::move(request);
    job->file = std::move(source);
    job->uploadProgress = std::move(progress);
    job->uploadDone = std::move(done);
    enqueue(std::move(job));
}

void FileTransfers::startDownload(CurlTransfer::Request request, const QString &filePath, DownloadProgress progress)
{
    auto target = std::make_unique<QSaveFile>(filePath);
    if (!target->open(QIODevice::WriteOnly)) {
        progress(0.0f, true, fileError(QStringLiteral("write"), filePath, target->errorString()));
        return;
    }
    request.kind = CurlTransfer::Kind::Download;
    auto job = std::make_unique<Job>();
    job->request = std::move(request);
    job->file = std::move(target);
    job->downloadProgress = std::move(progress);
    enqueue(std::move(job));
}

void FileTransfers::enqueue(std::unique_ptr<Job> job)
{
    const quint64 id = mNextId++;
    job->id = id;
    mJobs.emplace(id, std::move(job));
    mWaiting.push_back(id);
    launchWaiting();
}

void FileTransfers::launchWaiting()
{
    while (mRunning < kMaxRunning && !mWaiting.empty()) {
        const auto it = mJobs.find(mWaiting.front());
        mWaiting.pop_front();
        if (it != mJobs.end())
            launch(*it->second);
    }
}

void FileTransfers::launch(Job &job)
{
    ++mRunning;
    job.transfer = std::make_unique<CurlTransfer>(job.request, job.file.get(), mMaxAnswerBytes);
    Job *raw = &job;
    const quint64 id = job.id;
    // Reports are queued to this object's thread in the order they are made,
    // so the last progress figure always comes before the completion.
    job.thread = std::thread([this, raw, id] {
        raw->result = raw->transfer->run([this, id](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(this, [this, id, done, total] { report(id, done, total); });
        });
        // Here rather than on the client's thread: the commit waits for the
        // disk, and the transfers' commits then overlap.
        closeTarget(*raw);
        QMetaObject::invokeMethod(this, [this, id] { complete(id); });
    });
}

void FileTransfers::report(quint64 id, qint64 done, qint64 total)
{
    const auto it = mJobs.find(id);
    if (it == mJobs.end() || total <= 0)
        return;
    Job &job = *it->second;
    if (job.downloadProgress) {
        job.fraction = float(double(done) / double(total));
        job.downloadProgress(job.fraction, false, ToolError());
    } else if (job.uploadProgress && done != job.lastSent) {
        const qint64 now = done - job.lastSent;
        job.lastSent = done;
        job.uploadProgress(now, done, total);
    }
}

void FileTransfers::complete(quint64 id)
{
    const auto it = mJobs.find(id);
    if (it == mJobs.end())
        return; // completed by abortAll()
    std::unique_ptr<Job> job = std::move(it->second);
    mJobs.erase(it);
    job->thread.join();
    job->transfer.reset(); // hands its connection on to the next transfer
    --mRunning;
    launchWaiting(); // before the completion, which may queue transfers of its own
    deliver(*job);
}

void FileTransfers::abortAll()
{
    std::vector<std::unique_ptr<Job>> jobs;
    for (auto &[id, job] : mJobs) {
        if (job->transfer)
            job->transfer->cancel();
        jobs.push_back(std::move(job));
    }
    mJobs.clear();
    mWaiting.clear();
    for (const std::unique_ptr<Job> &job : jobs) {
        if (job->transfer) {
            job->thread.join();
            --mRunning;
        } else {
            job->result = CurlTransfer::cancelledResult(job->request.url);
            closeTarget(*job);
        }
    }
    for (const std::unique_ptr<Job> &job : jobs)
        deliver(*job);
}

void FileTransfers::deliver(Job &job)
{
    CurlTransfer::Result &result = job.result;
    if (job.uploadDone) {
        job.file.reset();
        job.uploadDone(result.error, result.httpStatus, result.reason, result.body);
        return;
    }
    job.file.reset();
    job.downloadProgress(result.error.isNull() ? 1.0f : job.fraction, true, result.error);
}

void FileTransfers::closeTarget(Job &job)
{
    if (job.uploadDone)
        return;
    auto *target = static_cast<QSaveFile *>(job.file.get());
    CurlTransfer::Result &result = job.result;
    if (result.error.isNull()) {
        if (!target->commit())
            result.error = fileError(QStringLiteral("write"), target->fileName(), target->errorString());
    } else {
        target->cancelWriting();
        target->commit(); // discards the temporary file
    }
}
