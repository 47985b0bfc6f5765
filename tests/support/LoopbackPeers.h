#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

#include <memory>
#include <vector>

class QAbstractSocket;

// Raw connections to a TLS server on 127.0.0.1, for the tests and benchmarks
// of its limits: peers that never start TLS, speak plain text, leave half-way
// through a handshake, sit idle, or pipeline requests without reading the
// replies. Every wait is bounded; the connections stay open until closeAll().
class LoopbackPeers final {
public:
    LoopbackPeers(quint16 port, const QString &caFile);
    ~LoopbackPeers();
    LoopbackPeers(const LoopbackPeers &) = delete;
    LoopbackPeers &operator=(const LoopbackPeers &) = delete;

    // TCP connections that never send a byte; how many connected.
    int openSilent(int count);
    // Each sends a plain-text HTTP request instead of a TLS hello and leaves.
    int sendPlainText(int count);
    // Each sends the start of a TLS hello and leaves in the middle of it.
    int leaveMidHandshake(int count);
    // TLS connections that finish their handshake and then stay silent.
    int openIdle(int count, int timeoutMs);
    // Writes `request` again and again on one TLS connection without reading
    // the replies, until `bytes` are written or `timeoutMs` passes; the bytes
    // the kernel took. Qt's TLS socket decrypts a little whenever it gets the
    // chance, so the peer reads nothing at all only while no events are
    // processed for it: wait with blocking calls on other sockets, not with an
    // event loop.
    qint64 pipelineWithoutReading(const QByteArray &request, qint64 bytes, int timeoutMs);
    void closeAll();
    int openCount() const { return int(mSockets.size()); }

    // A client configuration that trusts only the server's CA.
    const QSslConfiguration &tls() const { return mTls; }
    // One request on a fresh TLS connection: the whole first reply, or what
    // came before the time-out (nothing when the handshake did not finish).
    QByteArray exchange(const QByteArray &request, int timeoutMs) const;
    // Whether `received` starts with a whole reply (head and Content-Length body).
    static bool hasWholeReply(const QByteArray &received);
    // A field of /proc/PID/status in bytes ("VmRSS", "VmHWM"); -1 when unreadable.
    static qint64 processMemory(qint64 pid, const QByteArray &field);

private:
    QAbstractSocket *connectPlain();

    quint16 mPort;
    QSslConfiguration mTls;
    std::vector<std::unique_ptr<QAbstractSocket>> mSockets;
};
