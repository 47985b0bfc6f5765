#include "StreamingUpload.h"

#include <QNetworkReply>
#include <QUrl>

namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr qint64 kQueued = 4 << 20;

} // namespace

StreamingUpload::StreamingUpload(const QNetworkRequest &request, const QString &filePath, int transferTimeout,
                                 Progress progress, Done done, QObject *parent)
    : QObject(parent), mRequest(request), mFile(filePath), mProgress(std::move(progress)), mDone(std::move(done))
{
    mIdle.setSingleShot(true);
    mIdle.setInterval(transferTimeout);
    connect(&mIdle, &QTimer::timeout, this,
            [this] { finish(error(QStringLiteral("The transfer was cancelled or timed out"))); });
    connect(&mSocket, &QSslSocket::encrypted, this, &StreamingUpload::sendHead);
    connect(&mSocket, &QSslSocket::bytesWritten, this, &StreamingUpload::onBytesWritten);
    connect(&mSocket, &QSslSocket::readyRead, this, &StreamingUpload::onReadyRead);
    connect(&mSocket, &QSslSocket::disconnected, this, [this] {
        // A reply without Content-Length ends with the connection.
        if (mBodyStart >= 0)
            finish(ToolError());
        else
            finish(error(QStringLiteral("The server closed the connection")));
    });
    connect(&mSocket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (mSocket.error() == QAbstractSocket::RemoteHostClosedError && mBodyStart >= 0)
            return; // handled by disconnected
        finish(error(mSocket.errorString()));
    });
    // Certificate problems are never ignored: the handshake fails.
}

ToolError StreamingUpload::error(const QString &text) const
{
    return ToolError(QStringLiteral("DIRADoduredode"), mStatus ? mStatus : int(QNetworkReply::UnknownNetworkError), text,
                     mRequest.url().toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
}

void StreamingUpload::start()
{
    if (!mFile.open(QIODevice::ReadOnly)) {
        finish(error(QStringLiteral("Cannot read %1: %2").arg(mFile.fileName(), mFile.errorString())));
        return;
    }
    mTotal = mFile.size();
    const QUrl url = mRequest.url();
    mSocket.setSslConfiguration(mRequest.sslConfiguration());
    mSocket.setPeerVerifyName(url.host());
    mIdle.start();
    mSocket.connectToHostEncrypted(url.host(), quint16(url.port(443)));
}

void StreamingUpload::abort()
{
    finish(error(QStringLiteral("The transfer was cancelled or timed out")));
}

void StreamingUpload::sendHead()
{
    const QUrl url = mRequest.url();
    QByteArray head = "PUT " + url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment) +
                      " HTTP/1.1\r\nHost: " + url.host(QUrl::FullyEncoded).toUtf8();
    if (url.port() > 0)
        head += ':' + QByteArray::number(url.port());
    head += "\r\n";
    const QList<QByteArray> names = mRequest.rawHeaderList();
    for (const QByteArray &name : names) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0 && name.compare("Connection", Qt::CaseInsensitive) != 0)
            head += name + ": " + mRequest.rawHeader(name) + "\r\n";
    }
    head += "Content-Length: " + QByteArray::number(mTotal) + "\r\nConnection: close\r\n\r\n";
    mHeadBytes = head.size();
    mSocket.write(head);
    pump();
}

void StreamingUpload::pump()
{
    while (mQueuedBody < mTotal && mSocket.bytesToWrite() < kQueued) {
        const QByteArray chunk = mFile.read(std::min(kChunk, mTotal - mQueuedBody));
        if (chunk.isEmpty()) {
            finish(error(QStringLiteral("Cannot read %1: %2").arg(mFile.fileName(), mFile.errorString())));
            return;
        }
        mSocket.write(chunk);
        mQueuedBody += chunk.size();
    }
}

void StreamingUpload::onBytesWritten(qint64 bytes)
{
    mIdle.start();
    const qint64 head = std::min(bytes, mHeadBytes);
    mHeadBytes -= head;
    const qint64 body = bytes - head;
    if (body > 0) {
        mSent += body;
        if (mProgress)
            mProgress(body, mSent, mTotal);
    }
    if (!mFinished)
        pump();
}

bool StreamingUpload::parseHead()
{
    const qsizetype end = mReply.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = mReply.left(end).split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    mStatus = status.value(1).toInt();
    mReason = QString::fromLatin1(lines.value(0).trimmed()).section(QLatin1Char(' '), 2).toUtf8();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.toLower().startsWith("content-length:"))
            mContentLength = line.mid(15).trimmed().toLongLong();
    }
    mBodyStart = end + 4;
    return true;
}

void StreamingUpload::onReadyRead()
{
    mIdle.start();
    mReply += mSocket.readAll();
    if (mBodyStart < 0 && !parseHead())
        return;
    if (mContentLength >= 0 && mReply.size() - mBodyStart >= mContentLength)
        finish(ToolError());
}

void StreamingUpload::finish(const ToolError &failure)
{
    if (mFinished)
        return;
    mFinished = true;
    mIdle.stop();
    ToolError result = failure;
    QByteArray body;
    if (result.isNull()) {
        body = mReply.mid(mBodyStart, mContentLength >= 0 ? mContentLength : -1);
        if (mStatus >= 400)
            result = error(QString::fromUtf8(mReason));
    }
    mSocket.abort();
    const Done done = std::move(mDone);
    done(result, result.isNull() || mStatus >= 400 ? mStatus : 0, mReason, body);
    deleteLater();
}
