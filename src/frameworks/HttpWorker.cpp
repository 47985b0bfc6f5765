#include "frameworks/HttpWorker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

// What the network manager may hold of an in-memory reply before it is taken.
constexpr qint64 kReadBufferBytes = 1024 * 1024;

} // namespace

HttpWorker::HttpWorker() : mFiles(new FileTransfers(kMaxReplyBytes, this))
{
}

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
    // Only what is there: read(n) sets aside n bytes first, and the bound is 16 MiB.
    it->body += reply->read(qMin(reply->bytesAvailable(), kMaxReplyBytes + 1 - it->body.size()));
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

void HttpWorker::abortAll()
{
    // abort() emits finished() synchronously, which completes and forgets the reply.
    const QList<QNetworkReply *> replies = mPending.keys();
    for (QNetworkReply *reply : replies) {
        if (mPending.contains(reply))
            reply->abort();
    }
    mFiles->abortAll();
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
