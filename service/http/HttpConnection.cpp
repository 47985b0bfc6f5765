#include "http/HttpConnection.h"

#include "http/HttpHeadParser.h"
#include "http/HttpRequest.h"

#include <QPointer>
#include <QSslSocket>

namespace {

constexpr qint64 kChunk = 256 * 1024;
constexpr qint64 kSendWindow = 1024 * 1024;
constexpr int kDrainMs = 2000;

} // namespace

HttpConnection::HttpConnection(QSslSocket *socket, HttpHandler &handler, const Limits &limits, QObject *parent)
    : QObject(parent), mSocket(socket), mHandler(handler), mLimits(limits)
{
    mSocket->setParent(this);
    // The socket stops reading from the kernel once this much waits in it, so
    // a peer that sends faster than its requests are handled is held back by TCP.
    mSocket->setReadBufferSize(mLimits.maxBufferedInput);
    mIdleTimer.setSingleShot(true);
    mHeadTimer.setSingleShot(true);
    connect(&mIdleTimer, &QTimer::timeout, this, &HttpConnection::onIdleTimeout);
    connect(&mHeadTimer, &QTimer::timeout, this, &HttpConnection::onHeadTimeout);
    connect(mSocket, &QSslSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(mSocket, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::onBytesWritten);
    connect(mSocket, &QSslSocket::disconnected, this, &HttpConnection::onDisconnected);
    touch();
    if (mSocket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::onReadyRead, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection()
{
    abortSink();
}

void HttpConnection::abortSink()
{
    if (!mRoute.sink)
        return;
    mRoute.sink->abort();
    mRoute.sink.reset();
}

void HttpConnection::close()
{
    if (mState == State::Closed)
        return;
    mState = State::Closed;
    mIdleTimer.stop();
    mHeadTimer.stop();
    abortSink();
    if (mFile.isOpen())
        mFile.close();
    mSocket->disconnectFromHost();
    if (mSocket->state() == QAbstractSocket::UnconnectedState) {
        onDisconnected();
        return;
    }
    // A graceful close waits until the peer has taken every queued byte; one
    // that never reads would keep the connection, and its replies, forever.
    QTimer::singleShot(kDrainMs, this, [this] {
        if (mFinished)
            return;
        mSocket->abort();
        onDisconnected();
    });
}

void HttpConnection::touch()
{
    mIdleTimer.start(mState == State::Draining ? kDrainMs : mLimits.idleTimeoutMs);
    emit activity();
}

bool HttpConnection::repliesBacklogged() const
{
    return mSocket->bytesToWrite() + mSocket->encryptedBytesToWrite() > mLimits.maxUnsentBytes;
}

void HttpConnection::onIdleTimeout()
{
    // Nothing moved for too long: a stalled body gets an answer, anything else is closed.
    if (mState == State::Body)
        fail(408, QStringLiteral("The request body stalled"));
    else
        close();
}

void HttpConnection::onHeadTimeout()
{
    if (mState != State::Head || mBuffer.contains("\r\n\r\n"))
        return; // a whole head is here; it waits for the peer to read its replies
    if (mBuffer.isEmpty())
        close(); // only blank lines came
    else
        fail(408, QStringLiteral("The request head took too long"));
}

void HttpConnection::onReadyRead()
{
    touch();
    pump();
}

void HttpConnection::onBytesWritten()
{
    touch();
    if (mState == State::Sending)
        pumpFile();
    else if (mState == State::Head && !repliesBacklogged())
        pump(); // replies drained: requests held back may be taken now
}

void HttpConnection::pump()
{
    if (mPumping)
        return;
    mPumping = true;
    while (mState != State::Closed) {
        if (mState == State::Draining) {
            mBodyRemaining -= mSocket->readAll().size();
            if (mBodyRemaining <= 0 || mDrainClock.hasExpired(kDrainMs))
                close();
            break;
        }
        // Only what is there: read(n) sets aside n bytes first, which for a
        // quarter megabyte is a fresh mapping of memory on every call.
        const qint64 room = qMin(mLimits.maxBufferedInput - mBuffer.size(), mSocket->bytesAvailable());
        const QByteArray input = room > 0 ? mSocket->read(room) : QByteArray();
        mBuffer += input;
        process();
        if (input.isEmpty())
            break;
    }
    mPumping = false;
}

void HttpConnection::process()
{
    while (mState != State::Closed) {
        if (mState == State::Head) {
            if (repliesBacklogged() || !takeHead())
                return;
            dispatch();
        } else if (mState == State::Body) {
            feedBody();
            if (mState == State::Body)
                return;
        } else {
            return; // answering or draining: the next request waits
        }
    }
}

bool HttpConnection::takeHead()
{
    if (mBuffer.isEmpty())
        return false;
    if (!mHeadTimer.isActive())
        mHeadTimer.start(mLimits.headTimeoutMs);
    // Blank lines before a request are allowed and skipped.
    while (mBuffer.startsWith("\r\n"))
        mBuffer.remove(0, 2);
    const qsizetype end = mBuffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (mBuffer.size() > mLimits.maxHeadBytes)
            fail(431, QStringLiteral("The request head is too large"));
        return false;
    }
    mHeadTimer.stop();
    HttpHeadParser::Result parsed = HttpHeadParser::parse(mBuffer.left(end), mLimits.maxHeadBytes);
    mBuffer.remove(0, end + 4);
    if (const auto *error = std::get_if<HttpHeadParser::Error>(&parsed)) {
        fail(error->status, error->message);
        return false;
    }
    mRequest = std::move(std::get<HttpRequest>(parsed));
    mRequest.peer = mSocket->peerAddress();
    mKeepAlive = !mRequest.wantsClose();
    return true;
}

void HttpConnection::dispatch()
{
    mRoute = mHandler.route(mRequest);
    mBodyRemaining = mRequest.contentLength;
    if (mRoute.kind == HttpRoute::Kind::Respond) {
        answer(std::move(mRoute.response));
        return;
    }
    if (mRoute.kind == HttpRoute::Kind::Later) {
        waitForAnswer();
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

void HttpConnection::waitForAnswer()
{
    mState = State::Waiting;
    const quint64 exchange = ++mExchange;
    const HttpRoute::LaterHandler handler = std::move(mRoute.laterHandler);
    handler([self = QPointer<HttpConnection>(this), exchange](HttpResponse response) {
        if (self && self->mState == State::Waiting && self->mExchange == exchange)
            self->answer(std::move(response));
    });
}

void HttpConnection::answer(HttpResponse response)
{
    // The body is not wanted; it is never read, and the connection cannot be
    // reused because the peer may still be sending it.
    if (mBodyRemaining > 0)
        response.setCloseConnection();
    send(std::move(response));
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
    if (!mBuffer.isEmpty() || mSocket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::pump, Qt::QueuedConnection);
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
    mHeadTimer.stop();
    abortSink();
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
    abortSink();
    mState = State::Closed;
    mIdleTimer.stop();
    mHeadTimer.stop();
    emit finished(this);
}
