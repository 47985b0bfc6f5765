#pragma once

#include "http/HttpHandler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

class QSslSocket;

// One keep-alive HTTP/1.1 connection over TLS: parses request heads, reads or
// streams Content-Length bodies, writes responses (file bodies in chunks, as
// fast as the peer takes them) and then reads the next request.
class HttpConnection final : public QObject {
    Q_OBJECT
public:
    struct Limits {
        qint64 maxHeadBytes = 16 * 1024;
        qint64 maxBufferedBody = 4 * 1024 * 1024;
        int idleTimeoutMs = 60 * 1000;
    };

    HttpConnection(QSslSocket *socket, HttpHandler &handler, const Limits &limits, QObject *parent = nullptr);
    ~HttpConnection() override;

    void close();

signals:
    void activity();
    void finished(HttpConnection *connection);

private:
    enum class State { Head, Body, Sending, Draining, Closed };

    void onReadyRead();
    void process();
    bool takeHead();
    bool parseHead(const QByteArray &head);
    void dispatch();
    void feedBody();
    void completeBody();
    void send(HttpResponse response);
    void pumpFile();
    void responseDone();
    void fail(int status, const QString &message);
    void drainThenClose();
    void onDisconnected();
    void touch();

    QSslSocket *mSocket;
    HttpHandler &mHandler;
    Limits mLimits;
    State mState = State::Head;
    QByteArray mBuffer;
    HttpRequest mRequest;
    HttpRoute mRoute;
    qint64 mBodyRemaining = 0;
    QFile mFile;
    qint64 mFileRemaining = 0;
    bool mKeepAlive = true;
    QTimer mIdleTimer;
    QElapsedTimer mDrainClock;
    bool mFinished = false;
};
