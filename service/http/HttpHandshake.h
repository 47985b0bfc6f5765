#pragma once

#include <QObject>
#include <QSslConfiguration>
#include <QTimer>

class QSslSocket;

// One accepted connection until its TLS handshake is over. It ends either way
// within the deadline: a peer that stays silent, speaks plain text or leaves
// half-way fails, and the socket goes with this object.
class HttpHandshake final : public QObject {
    Q_OBJECT
public:
    HttpHandshake(const QSslConfiguration &tls, int timeoutMs, QObject *parent = nullptr);

    // False when the descriptor could not be taken over; the caller still owns it then.
    bool start(qintptr descriptor);
    // The encrypted socket, after succeeded(); the caller becomes its owner.
    QSslSocket *takeSocket();

signals:
    void succeeded(HttpHandshake *handshake);
    void failed(HttpHandshake *handshake);

private:
    void fail();

    QSslSocket *mSocket;
    QTimer mDeadline;
    bool mOver = false;
};
