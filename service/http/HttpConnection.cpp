#include "http/HttpConnection.h"

#include "http/HttpRequest.h"

#include <QSslSocket>
#include <QUrl>

namespace {

constexpr qint64 kChunk = 256 * 1024;
constexpr qint64 kSendWindow = 1024 * 1024;
constexpr int kDrainMs = 2000;

bool isToken(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        QByteArray("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

HttpConnection::HttpConnection(QSslSocket *socket, HttpHandler &handler, const Limits &limits, QObject *parent)
    : QObject(parent), mSocket(socket), mHandler(handler), mLimits(limits)
{
    mSocket->setParent(this);
    mSocket->setReadBufferSize(kSendWindow);
    mIdleTimer.setSingleShot(true);
    // Nothing moved for too long: a stalled body gets an answer, anything else is closed.
    connect(&mIdleTimer, &QTimer::timeout, this, [this] {
        if (mState == State::Body)
            fail(408, QStringLiteral("The request body stalled"));
        else
            close();
    });
    connect(mSocket, &QSslSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(mSocket, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::pumpFile);
    connect(mSocket, &QSslSocket::disconnected, this, &HttpConnection::onDisconnected);
    touch();
    if (mSocket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::onReadyRead, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection()
{
    if (mRoute.sink)
        mRoute.sink->abort();
}

void HttpConnection::close()
{
    if (mState == State::Closed)
        return;
    mState = State::Closed;
    mIdleTimer.stop();
    if (mRoute.sink) {
        mRoute.sink->abort();
        mRoute.sink.reset();
    }
    if (mFile.isOpen())
        mFile.close();
    mSocket->disconnectFromHost();
    if (mSocket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void HttpConnection::touch()
{
    mIdleTimer.start(mState == State::Draining ? kDrainMs : mLimits.idleTimeoutMs);
    emit activity();
}

void HttpConnection::onReadyRead()
{
    touch();
    if (mState == State::Draining) {
        mBodyRemaining -= mSocket->readAll().size();
        if (mBodyRemaining <= 0 || mDrainClock.hasExpired(kDrainMs))
            close();
        return;
    }
    if (mState == State::Closed)
        return;
    mBuffer += mSocket->readAll();
    process();
}

void HttpConnection::process()
{
    while (mState != State::Closed) {
        if (mState == State::Head) {
            if (!takeHead())
                return;
            dispatch();
        } else if (mState == State::Body) {
            feedBody();
            if (mState == State::Body)
                return;
        } else {
            return; // sending or draining: the next request waits
        }
    }
}

bool HttpConnection::takeHead()
{
    // Blank lines before a request are allowed and skipped.
    while (mBuffer.startsWith("\r\n"))
        mBuffer.remove(0, 2);
    const qsizetype end = mBuffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (mBuffer.size() > mLimits.maxHeadBytes)
            fail(431, QStringLiteral("The request head is too large"));
        return false;
    }
    if (end > mLimits.maxHeadBytes) {
        fail(431, QStringLiteral("The request head is too large"));
        return false;
    }
    const QByteArray head = mBuffer.left(end);
    mBuffer.remove(0, end + 4);
    if (!parseHead(head)) {
        fail(400, QStringLiteral("Malformed request"));
        return false;
    }
    return true;
}

bool HttpConnection::parseHead(const QByteArray &head)
{
    mRequest = HttpRequest();
    mRequest.peer = mSocket->peerAddress();
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/') ||
        !requestLine[2].startsWith("HTTP/1."))
        return false;
    mRequest.method = requestLine[0];
    mRequest.target = requestLine[1];
    mRequest.version = requestLine[2];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return false;
        mRequest.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    const qsizetype question = mRequest.target.indexOf('?');
    const QByteArray rawPath = question < 0 ? mRequest.target : mRequest.target.left(question);
    mRequest.path = QUrl::fromPercentEncoding(rawPath);
    if (question >= 0)
        mRequest.query = QUrlQuery(QString::fromLatin1(mRequest.target.mid(question + 1)));
    if (mRequest.hasHeader("Transfer-Encoding"))
        return false;
    mRequest.contentLength = 0;
    if (mRequest.hasHeader("Content-Length")) {
        for (const auto &[key, value] : std::as_const(mRequest.headers)) {
            qint64 length = 0;
            if (key.compare("Content-Length", Qt::CaseInsensitive) == 0 &&
                (!HttpRequest::parseDecimal(value, &length) ||
                 (mRequest.contentLength && length != mRequest.contentLength)))
                return false;
            if (key.compare("Content-Length", Qt::CaseInsensitive) == 0)
                mRequest.contentLength = length;
        }
    }
    mKeepAlive = !mRequest.wantsClose();
    return true;
}

void HttpConnection::dispatch()
{
    mRoute = mHandler.route(mRequest);
    mBodyRemaining = mRequest.contentLength;
    if (mRoute.kind == HttpRoute::Kind::Respond) {
        // The body is not wanted; it is never read, and the connection cannot be
        // reused because the peer may still be sending it.
        if (mBodyRemaining > 0)
            mRoute.response.setCloseConnection();
        send(std::move(mRoute.response));
        return;
    }
    if (mRoute.kind == HttpRoute::Kind::Buffer && mBodyRemaining > mLimits.maxBufferedBody) {
        HttpResponse tooLarge = HttpResponse::json(
            {{QStringLiteral("status"), 0}, {QStringLiteral("message"), QStringLiteral("Request body too large")}},
            413);
        tooLarge.setCloseConnection();
        send(std::move(tooLarge));
        return;
    }
    if (mBodyRemaining > 0 && mRequest.header("Expect").toLower() == "100-continue")
        mSocket->write("HTTP/1.1 100 Continue\r\n\r\n");
    mState = State::Body;
}

void HttpConnection::feedBody()
{
    const qint64 take = qMin<qint64>(mBodyRemaining, mBuffer.size());
    if (take > 0) {
        if (mRoute.kind == HttpRoute::Kind::Stream) {
            if (!mRoute.sink->write(mBuffer.constData(), take)) {
                mBodyRemaining -= mBuffer.size();
                mBuffer.clear();
                mKeepAlive = false;
                completeBody();
                return;
            }
        } else {
            mRequest.body.append(mBuffer.constData(), take);
        }
        mBuffer.remove(0, take);
        mBodyRemaining -= take;
    }
    if (mBodyRemaining == 0)
        completeBody();
}

void HttpConnection::completeBody()
{
    HttpResponse response;
    if (mRoute.kind == HttpRoute::Kind::Stream) {
        response = mRoute.sink->finish();
        mRoute.sink.reset();
    } else {
        response = mRoute.handler(mRequest);
    }
    mRequest.body.clear();
    send(std::move(response));
}

void HttpConnection::send(HttpResponse response)
{
    if (response.closeConnection())
        mKeepAlive = false;
    if (mRequest.method == "HEAD")
        response.dropBody();
    mSocket->write(response.head(mKeepAlive));
    mState = State::Sending;
    if (response.headOnly()) {
        responseDone();
        return;
    }
    if (!response.hasFileBody()) {
        mSocket->write(response.body());
        responseDone();
        return;
    }
    mFile.setFileName(response.filePath());
    if (!mFile.open(QIODevice::ReadOnly) || !mFile.seek(response.fileOffset())) {
        // The head is out already: the only honest signal left is a short body.
        mKeepAlive = false;
        close();
        return;
    }
    mFileRemaining = response.bodyLength();
    pumpFile();
}

void HttpConnection::pumpFile()
{
    touch();
    if (mState != State::Sending || !mFile.isOpen())
        return;
    while (mFileRemaining > 0 && mSocket->encryptedBytesToWrite() + mSocket->bytesToWrite() < kSendWindow) {
        const QByteArray chunk = mFile.read(qMin(kChunk, mFileRemaining));
        if (chunk.isEmpty()) {
            mFile.close();
            close();
            return;
        }
        mSocket->write(chunk);
        mFileRemaining -= chunk.size();
    }
    if (mFileRemaining == 0) {
        mFile.close();
        responseDone();
    }
}

void HttpConnection::responseDone()
{
    if (!mKeepAlive) {
        if (mBodyRemaining > 0) {
            drainThenClose();
            return;
        }
        mSocket->flush();
        close();
        return;
    }
    mState = State::Head;
    mRoute = HttpRoute();
    if (!mBuffer.isEmpty())
        QMetaObject::invokeMethod(this, &HttpConnection::process, Qt::QueuedConnection);
}

void HttpConnection::drainThenClose()
{
    // Closing at once while the peer is still sending a refused body would reset
    // the connection before it reads the answer; swallow input for a moment.
    mState = State::Draining;
    mDrainClock.start();
    mBodyRemaining -= mBuffer.size();
    mBuffer.clear();
    mSocket->flush();
    touch();
}

void HttpConnection::fail(int status, const QString &message)
{
    mKeepAlive = false;
    mBuffer.clear();
    if (mRoute.sink) {
        mRoute.sink->abort();
        mRoute.sink.reset();
    }
    HttpResponse response =
        HttpResponse::json({{QStringLiteral("status"), 0}, {QStringLiteral("message"), message}}, status);
    response.setCloseConnection();
    mBodyRemaining = 0;
    send(std::move(response));
}

void HttpConnection::onDisconnected()
{
    if (mFinished)
        return;
    mFinished = true;
    if (mRoute.sink) {
        mRoute.sink->abort();
        mRoute.sink.reset();
    }
    mState = State::Closed;
    mIdleTimer.stop();
    emit finished(this);
}
