#include "frameworks/HttpWorker.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

HttpWorker::HttpWorker() = default;

HttpWorker::~HttpWorker()
{
    abortAll();
}

QNetworkAccessManager *HttpWorker::manager()
{
    if (!mManager) {
        mManager = new QNetworkAccessManager(this);
        mManager->setAutoDeleteReplies(false);
    }
    return mManager;
}

void HttpWorker::startData(const QNetworkRequest &request, const QByteArray &verb, const QByteArray &body,
                           DataDone done)
{
    QNetworkReply *reply = manager()->sendCustomRequest(request, verb, body);
    Pending pending;
    pending.done = std::move(done);
    mPending.insert(reply, std::move(pending));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishData(reply); });
}

void HttpWorker::startDownload(const QNetworkRequest &request, const QString &filePath, DownloadProgress progress)
{
    auto *file = new QSaveFile(filePath, this);
    if (!file->open(QIODevice::WriteOnly)) {
        const ToolError error(QStringLiteral("DIRADoduredode"), QNetworkReply::UnknownContentError,
                              QStringLiteral("Cannot write %1: %2").arg(filePath, file->errorString()));
        delete file;
        progress(0.0f, true, error);
        return;
    }
    QNetworkReply *reply = manager()->get(request);
    Pending pending;
    pending.progress = std::move(progress);
    pending.file = file;
    mPending.insert(reply, std::move(pending));
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { writeDownloadChunk(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) { reportDownloadProgress(reply, received, total); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishDownload(reply); });
}

void HttpWorker::startUpload(const QNetworkRequest &request, const QString &filePath, UploadProgress progress,
                             UploadDone done)
{
    auto *source = new QFile(filePath, this);
    if (!source->open(QIODevice::ReadOnly)) {
        const ToolError error(QStringLiteral("DIRADoduredode"), QNetworkReply::UnknownContentError,
                              QStringLiteral("Cannot read %1: %2").arg(filePath, source->errorString()));
        delete source;
        done(error, 0, QByteArray(), QByteArray());
        return;
    }
    QNetworkRequest withLength(request);
    withLength.setHeader(QNetworkRequest::ContentLengthHeader, source->size());
    QNetworkReply *reply = manager()->put(withLength, source);
    Pending pending;
    pending.uploadProgress = std::move(progress);
    pending.uploadDone = std::move(done);
    pending.source = source;
    mPending.insert(reply, std::move(pending));
    connect(reply, &QNetworkReply::uploadProgress, this, [this, reply](qint64 sent, qint64 total) {
        const auto it = mPending.find(reply);
        if (it == mPending.end() || total <= 0 || sent == it->lastSent)
            return;
        const qint64 now = sent - it->lastSent;
        it->lastSent = sent;
        if (it->uploadProgress)
            it->uploadProgress(now, sent, total);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishUpload(reply); });
}

void HttpWorker::finishUpload(QNetworkReply *reply)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end())
        return;
    Pending pending = std::move(*it);
    mPending.erase(it);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    const QByteArray body = status ? reply->readAll() : QByteArray();
    const ToolError error = errorForReply(reply);
    reply->deleteLater();
    pending.source->deleteLater();
    pending.uploadDone(error, status, reason, body);
}

void HttpWorker::abortAll()
{
    // abort() emits finished() synchronously, which completes and forgets the reply.
    const QList<QNetworkReply *> replies = mPending.keys();
    for (QNetworkReply *reply : replies) {
        if (mPending.contains(reply))
            reply->abort();
    }
}

ToolError HttpWorker::errorForReply(QNetworkReply *reply)
{
    if (reply->error() == QNetworkReply::NoError)
        return {};
    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString reason = reply->errorString();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        reason = QStringLiteral("The transfer was cancelled or timed out");
    return ToolError(QStringLiteral("DIRADoduredode"), httpStatus ? httpStatus : int(reply->error()), reason,
                     reply->url().toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
}

void HttpWorker::finishData(QNetworkReply *reply)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end())
        return;
    const DataDone done = std::move(it->done);
    mPending.erase(it);
    const ToolError error = errorForReply(reply);
    // A transport failure hands over no body, so it never parses as a reply.
    const bool transportFailure =
        !error.isNull() && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 0;
    const QByteArray body = transportFailure ? QByteArray() : reply->readAll();
    reply->deleteLater();
    done(error, body);
}

void HttpWorker::writeDownloadChunk(QNetworkReply *reply)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end() || !it->file)
        return;
    const QByteArray chunk = reply->readAll();
    if (it->file->write(chunk) != chunk.size())
        reply->abort(); // the disk is full or gone: fail the transfer
}

void HttpWorker::reportDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end() || total <= 0)
        return;
    it->fraction = float(double(received) / double(total));
    it->progress(it->fraction, false, ToolError());
}

void HttpWorker::finishDownload(QNetworkReply *reply)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end())
        return;
    Pending pending = std::move(*it);
    mPending.erase(it);
    ToolError error = errorForReply(reply);
    if (error.isNull()) {
        pending.file->write(reply->readAll());
        if (!pending.file->commit())
            error = ToolError(
                QStringLiteral("DIRADoduredode"), QNetworkReply::UnknownContentError,
                QStringLiteral("Cannot write %1: %2").arg(pending.file->fileName(), pending.file->errorString()));
    } else {
        pending.file->cancelWriting();
        pending.file->commit(); // discards the temporary file
    }
    delete pending.file;
    reply->deleteLater();
    pending.progress(error.isNull() ? 1.0f : pending.fraction, true, error);
}
