#include "frameworks/HttpWorker.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

namespace {

// What the network manager may hold of an in-memory reply before it is taken.
constexpr qint64 kReadBufferBytes = 1024 * 1024;

} // namespace

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
    limitReply(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishData(reply); });
}

void HttpWorker::limitReply(QNetworkReply *reply)
{
    // A small read buffer makes the network manager read from the socket only
    // as fast as the body is taken here, so the bound holds for memory too.
    reply->setReadBufferSize(kReadBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { refuseIfTooLarge(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { takeReplyData(reply); });
}

void HttpWorker::takeReplyData(QNetworkReply *reply)
{
    const auto it = mPending.find(reply);
    if (it == mPending.end() || it->tooLarge)
        return;
    it->body += reply->read(kMaxReplyBytes + 1 - it->body.size());
    refuseIfTooLarge(reply);
}

void HttpWorker::refuseIfTooLarge(QNetworkReply *reply)
{
    // The announced length is refused before any of the body; without one,
    // the bytes that arrived are counted.
    const auto it = mPending.find(reply);
    if (it == mPending.end() || it->tooLarge)
        return;
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (it->body.size() <= kMaxReplyBytes && (!announced.isValid() || announced.toLongLong() <= kMaxReplyBytes))
        return;
    it->tooLarge = true;
    it->body.clear();
    reply->abort(); // emits finished(), which completes the request
}

bool HttpWorker::collectBody(QNetworkReply *reply, Pending &pending)
{
    if (pending.tooLarge)
        return false;
    if (reply->isOpen())
        pending.body += reply->readAll();
    pending.tooLarge = pending.body.size() > kMaxReplyBytes;
    return !pending.tooLarge;
}

ToolError HttpWorker::tooLargeError(QNetworkReply *reply)
{
    return ToolError(QStringLiteral("DIRADoduredode"), QNetworkReply::UnknownContentError,
                     QStringLiteral("The reply is larger than %1 MiB and was refused").arg(kMaxReplyBytes >> 20),
                     reply->url().toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
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
    limitReply(reply);
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
    // A refused reply counts as a failed transfer, whatever status it carried.
    const bool whole = collectBody(reply, pending);
    const int status = whole ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    const QByteArray reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    const QByteArray body = status ? pending.body : QByteArray();
    const ToolError error = whole ? errorForReply(reply) : tooLargeError(reply);
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
    Pending pending = std::move(*it);
    mPending.erase(it);
    const bool whole = collectBody(reply, pending);
    const ToolError error = whole ? errorForReply(reply) : tooLargeError(reply);
    // A transport failure hands over no body, so it never parses as a reply.
    const bool transportFailure =
        !whole || (!error.isNull() && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 0);
    reply->deleteLater();
    pending.done(error, transportFailure ? QByteArray() : pending.body);
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
