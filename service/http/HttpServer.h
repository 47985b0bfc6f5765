#pragma once

#include "http/HttpConnection.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QSslConfiguration>

class QSslServer;

// Accepts TLS connections and gives each to an HttpConnection that routes its
// requests through one handler. Lives on the thread that made it.
class HttpServer final : public QObject {
    Q_OBJECT
public:
    HttpServer(HttpHandler &handler, const QSslConfiguration &tls, QObject *parent = nullptr);
    ~HttpServer() override;

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;
    void close();

    int connectionCount() const { return int(mConnections.size()); }
    // Milliseconds since the last byte moved on any connection.
    qint64 idleMs() const { return mLastActivity.elapsed(); }

private:
    void onPendingConnection();

    HttpHandler &mHandler;
    QSslServer *mServer;
    QSet<HttpConnection *> mConnections;
    QElapsedTimer mLastActivity;
};
