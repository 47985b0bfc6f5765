#pragma once

#include "http/HttpConnection.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSslConfiguration>

class HttpHandshake;
class HttpListener;

// Accepts TCP connections, runs their TLS handshakes and gives each
// encrypted socket to an HttpConnection that routes its requests through one
// handler. At its limits it stops accepting, so further peers wait in the
// kernel's backlog until a handshake or a connection ends. Lives on the
// thread that made it.
class HttpServer final : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int maxConnections = 512; // handshaking and established together
        int maxHandshakes = 128;
        int handshakeTimeoutMs = 10 * 1000;
        HttpConnection::Limits connection;
    };

    HttpServer(HttpHandler &handler, const QSslConfiguration &tls, QObject *parent = nullptr);
    HttpServer(HttpHandler &handler, const QSslConfiguration &tls, const Limits &limits, QObject *parent = nullptr);
    ~HttpServer() override;

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;
    void close();

    // Every peer the server holds: waiting, handshaking or connected.
    int connectionCount() const { return int(mWaiting.size() + mHandshakes.size() + mConnections.size()); }
    // Milliseconds since the last byte moved on any connection.
    qint64 idleMs() const { return mLastActivity.elapsed(); }

private:
    void onAccepted(qintptr descriptor);
    void onAcceptError();
    void startHandshake(qintptr descriptor);
    void onHandshakeSucceeded(HttpHandshake *handshake);
    void onHandshakeFailed(HttpHandshake *handshake);
    void onConnectionFinished(HttpConnection *connection);
    bool atCapacity() const;
    void admitWaiting();

    HttpHandler &mHandler;
    QSslConfiguration mTls;
    Limits mLimits;
    HttpListener *mListener;
    // Accepted while at the limits (Qt's accept loop takes a few more after
    // pausing); only their descriptors are held until a slot frees.
    QList<qintptr> mWaiting;
    QSet<HttpHandshake *> mHandshakes;
    QSet<HttpConnection *> mConnections;
    QElapsedTimer mLastActivity;
    bool mAcceptErrorPause = false;
};
