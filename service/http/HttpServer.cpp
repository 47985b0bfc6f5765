#include "http/HttpServer.h"

#include <QSslServer>
#include <QSslSocket>

HttpServer::HttpServer(HttpHandler &handler, const QSslConfiguration &tls, QObject *parent)
    : QObject(parent), mHandler(handler), mServer(new QSslServer(this))
{
    mServer->setSslConfiguration(tls);
    mServer->setHandshakeTimeout(10000);
    mLastActivity.start();
    connect(mServer, &QTcpServer::pendingConnectionAvailable, this, &HttpServer::onPendingConnection);
}

HttpServer::~HttpServer()
{
    close();
}

bool HttpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (mServer->listen(address, port))
        return true;
    if (error)
        *error = mServer->errorString();
    return false;
}

quint16 HttpServer::port() const
{
    return mServer->serverPort();
}

void HttpServer::close()
{
    mServer->close();
    const QSet<HttpConnection *> connections = mConnections;
    mConnections.clear();
    for (HttpConnection *connection : connections) {
        connection->disconnect(this);
        connection->close();
        connection->deleteLater();
    }
}

void HttpServer::onPendingConnection()
{
    while (mServer->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(mServer->nextPendingConnection());
        if (!socket)
            continue;
        auto *connection = new HttpConnection(socket, mHandler, HttpConnection::Limits(), this);
        mConnections.insert(connection);
        mLastActivity.start();
        connect(connection, &HttpConnection::activity, this, [this] { mLastActivity.start(); });
        connect(connection, &HttpConnection::finished, this, [this](HttpConnection *finished) {
            mConnections.remove(finished);
            finished->deleteLater();
        });
    }
}
