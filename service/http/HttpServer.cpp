#include "http/HttpServer.h"

#include "http/HttpHandshake.h"
#include "http/HttpListener.h"

#include <QSslSocket>
#include <QTimer>

#include <utility>

#include <unistd.h>

namespace {

// After a failed accept (out of descriptors, usually) Qt stops listening; try again after this.
constexpr int kAcceptRetryMs = 1000;

} // namespace

HttpServer::HttpServer(HttpHandler &handler, const QSslConfiguration &tls, QObject *parent)
    : HttpServer(handler, tls, Limits(), parent)
{
}

HttpServer::HttpServer(HttpHandler &handler, const QSslConfiguration &tls, const Limits &limits, QObject *parent)
    : QObject(parent), mHandler(handler), mTls(tls), mLimits(limits), mListener(new HttpListener(this))
{
    mLastActivity.start();
    connect(mListener, &HttpListener::accepted, this, &HttpServer::onAccepted);
    connect(mListener, &QTcpServer::acceptError, this, &HttpServer::onAcceptError);
}

HttpServer::~HttpServer()
{
    close();
}

bool HttpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (mListener->listen(address, port))
        return true;
    if (error)
        *error = mListener->errorString();
    return false;
}

quint16 HttpServer::port() const
{
    return mListener->serverPort();
}

void HttpServer::close()
{
    mListener->close();
    for (const qintptr descriptor : std::as_const(mWaiting))
        ::close(int(descriptor));
    mWaiting.clear();
    const QSet<HttpHandshake *> handshakes = std::exchange(mHandshakes, {});
    for (HttpHandshake *handshake : handshakes) {
        handshake->disconnect(this);
        handshake->deleteLater();
    }
    const QSet<HttpConnection *> connections = std::exchange(mConnections, {});
    for (HttpConnection *connection : connections) {
        connection->disconnect(this);
        connection->close();
        connection->deleteLater();
    }
}

bool HttpServer::atCapacity() const
{
    return mHandshakes.size() >= mLimits.maxHandshakes ||
           mHandshakes.size() + mConnections.size() >= mLimits.maxConnections;
}

void HttpServer::onAccepted(qintptr descriptor)
{
    mLastActivity.start();
    mWaiting.append(descriptor);
    admitWaiting();
}

void HttpServer::onAcceptError()
{
    // Qt has paused accepting; without a retry the service would stay deaf.
    mAcceptErrorPause = true;
    QTimer::singleShot(kAcceptRetryMs, this, [this] {
        mAcceptErrorPause = false;
        admitWaiting();
    });
}

void HttpServer::startHandshake(qintptr descriptor)
{
    auto *handshake = new HttpHandshake(mTls, mLimits.handshakeTimeoutMs, this);
    connect(handshake, &HttpHandshake::succeeded, this, &HttpServer::onHandshakeSucceeded);
    connect(handshake, &HttpHandshake::failed, this, &HttpServer::onHandshakeFailed);
    mHandshakes.insert(handshake);
    if (!handshake->start(descriptor)) {
        ::close(int(descriptor));
        onHandshakeFailed(handshake);
    }
}

void HttpServer::onHandshakeSucceeded(HttpHandshake *handshake)
{
    if (!mHandshakes.remove(handshake))
        return;
    QSslSocket *socket = handshake->takeSocket();
    handshake->deleteLater();
    auto *connection = new HttpConnection(socket, mHandler, mLimits.connection, this);
    mConnections.insert(connection);
    mLastActivity.start();
    connect(connection, &HttpConnection::activity, this, [this] { mLastActivity.start(); });
    connect(connection, &HttpConnection::finished, this, &HttpServer::onConnectionFinished);
    admitWaiting();
}

void HttpServer::onHandshakeFailed(HttpHandshake *handshake)
{
    if (!mHandshakes.remove(handshake))
        return;
    handshake->disconnect(this);
    handshake->deleteLater();
    admitWaiting();
}

void HttpServer::onConnectionFinished(HttpConnection *connection)
{
    if (!mConnections.remove(connection))
        return;
    connection->deleteLater();
    admitWaiting();
}

void HttpServer::admitWaiting()
{
    while (!mWaiting.isEmpty() && !atCapacity())
        startHandshake(mWaiting.takeFirst());
    if (!mListener->isListening())
        return;
    // Accept only while there is room; further peers wait in the kernel's backlog.
    if (atCapacity() || !mWaiting.isEmpty() || mAcceptErrorPause)
        mListener->pauseAccepting();
    else
        mListener->resumeAccepting();
}
