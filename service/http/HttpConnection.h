#pragma once

#include "http/HttpHandler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

class QSslSocket;

// One keep-alive HTTP/1.1 connection over TLS: parses request heads, reads or
// streams Content-Length bodies, writes responses (at once or when the
// handler answers later; file bodies in chunks, as fast as the peer takes
// them) and then reads the next request. What it holds
// for one peer is bounded: input is read only as far as there is room for it,
// and no further request is taken while the peer leaves its replies unread.
class HttpConnection final : public QObject {
    Q_OBJECT
public:
    struct Limits {
        qint64 maxHeadBytes = 16 * 1024;
        qint64 maxBufferedBody = 4 * 1024 * 1024;
        // Input read ahead of the request in hand; the rest waits in the kernel.
        qint64 maxBufferedInput = 256 * 1024;
        // Replies the peer has not taken yet; above this no further request is read.
        qint64 maxUnsentBytes = 1024 * 1024;
        int idleTimeoutMs = 60 * 1000;
        // From the first byte of a request head to its end.
        int headTimeoutMs = 15 * 1000;
    };

    HttpConnection(QSslSocket *socket, HttpHandler &handler, const Limits &limits, QObject *parent = nullptr);
    ~HttpConnection() override;

    void close();

signals:
    void activity();
    void finished(HttpConnection *connection);

private:
    enum class State { Head, Waiting, Body, Sending, Draining, Closed };

    void onReadyRead();
    void onBytesWritten();
    void onIdleTimeout();
    void onHeadTimeout();
    void pump();
    void process();
    bool takeHead();
    void dispatch();
    void waitForAnswer();
    void answer(HttpResponse response);
    void feedBody();
    void completeBody();
    void send(HttpResponse response);
    void pumpFile();
    void responseDone();
    void fail(int status, const QString &message);
    void drainThenClose();
    void onDisconnected();
    void abortSink();
    void touch();
    bool repliesBacklogged() const;

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
    bool mPumping = false;
    QTimer mIdleTimer;
    QTimer mHeadTimer;
    QElapsedTimer mDrainClock;
    bool mFinished = false;
    quint64 mExchange = 0; // counts requests, so that a late answer finds its own
};
