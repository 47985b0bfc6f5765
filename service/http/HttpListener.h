#pragma once

#include <QTcpServer>

// A listening socket that hands over each accepted descriptor as it is, so
// that the server decides when its TLS handshake runs and how long it may take.
class HttpListener final : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void accepted(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override;
};
