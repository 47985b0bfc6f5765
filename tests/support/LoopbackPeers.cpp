#include "support/LoopbackPeers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int kConnectMs = 3000;
// What the pipelining peer lets its own socket queue before waiting for the kernel.
constexpr qint64 kClientQueue = 256 * 1024;

// The first bytes of a TLS 1.2 ClientHello record announcing 512 bytes that never come.
QByteArray helloStart()
{
    QByteArray bytes("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    bytes += QByteArray(32, '\x5a'); // client random
    return bytes;
}

} // namespace

LoopbackPeers::LoopbackPeers(quint16 port, const QString &caFile) : mPort(port)
{
    mTls = QSslConfiguration::defaultConfiguration();
    mTls.setCaCertificates(QSslCertificate::fromPath(caFile));
    mTls.setPeerVerifyMode(QSslSocket::VerifyPeer);
}

LoopbackPeers::~LoopbackPeers()
{
    closeAll();
}

QAbstractSocket *LoopbackPeers::connectPlain()
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QStringLiteral("127.0.0.1"), mPort);
    if (!socket->waitForConnected(kConnectMs))
        return nullptr;
    mSockets.push_back(std::move(socket));
    return mSockets.back().get();
}

int LoopbackPeers::openSilent(int count)
{
    int opened = 0;
    for (int i = 0; i < count; ++i)
        opened += connectPlain() ? 1 : 0;
    return opened;
}

int LoopbackPeers::sendPlainText(int count)
{
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        QAbstractSocket *socket = connectPlain();
        if (!socket)
            continue;
        socket->write("GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        sent += socket->waitForBytesWritten(kConnectMs) ? 1 : 0;
        socket->disconnectFromHost();
    }
    return sent;
}

int LoopbackPeers::leaveMidHandshake(int count)
{
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        QAbstractSocket *socket = connectPlain();
        if (!socket)
            continue;
        socket->write(helloStart());
        sent += socket->waitForBytesWritten(kConnectMs) ? 1 : 0;
        socket->abort();
    }
    return sent;
}

int LoopbackPeers::openIdle(int count, int timeoutMs)
{
    int opened = 0;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QSslSocket>();
        socket->setSslConfiguration(mTls);
        socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), mPort);
        if (!socket->waitForEncrypted(timeoutMs))
            continue;
        mSockets.push_back(std::move(socket));
        ++opened;
    }
    return opened;
}

qint64 LoopbackPeers::pipelineWithoutReading(const QByteArray &request, qint64 bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    auto owned = std::make_unique<QSslSocket>();
    QSslSocket *socket = owned.get();
    mSockets.push_back(std::move(owned));
    socket->setSslConfiguration(mTls);
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), mPort);
    if (!socket->waitForEncrypted(int(qMax<qint64>(1, deadline.remainingTime()))))
        return 0;
    // A small read buffer (set once the TCP socket under TLS exists, so that
    // it holds for both): when it is full the replies stay in the kernel and
    // the server sees a peer that does not read.
    socket->setReadBufferSize(16 * 1024);
    const QByteArray block = request.repeated(qMax<qsizetype>(1, 64 * 1024 / request.size()));
    qint64 queued = 0;
    while (queued < bytes && !deadline.hasExpired() && socket->state() == QAbstractSocket::ConnectedState) {
        if (socket->bytesToWrite() + socket->encryptedBytesToWrite() < kClientQueue)
            queued += qMax<qint64>(0, socket->write(block));
        else if (!socket->waitForBytesWritten(50))
            QThread::msleep(5); // the kernel is full: the server has stopped reading
    }
    return queued - socket->bytesToWrite() - socket->encryptedBytesToWrite();
}

void LoopbackPeers::closeAll()
{
    for (const auto &socket : mSockets)
        socket->abort();
    mSockets.clear();
}

bool LoopbackPeers::hasWholeReply(const QByteArray &received)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QByteArray head = received.left(end).toLower();
    const qsizetype field = head.indexOf("\r\ncontent-length:");
    if (field < 0)
        return true;
    const qsizetype valueStart = field + 17;
    const qsizetype lineEnd = head.indexOf('\r', valueStart);
    const qint64 length = head.mid(valueStart, lineEnd < 0 ? -1 : lineEnd - valueStart).trimmed().toLongLong();
    return received.size() >= end + 4 + length;
}

QByteArray LoopbackPeers::exchange(const QByteArray &request, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QSslSocket socket;
    socket.setSslConfiguration(mTls);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), mPort);
    if (!socket.waitForEncrypted(int(qMax<qint64>(1, deadline.remainingTime()))))
        return {};
    socket.write(request);
    QByteArray received;
    while (!hasWholeReply(received) && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(qBound(qint64(1), deadline.remainingTime(), qint64(100))));
        received += socket.readAll();
        if (socket.state() != QAbstractSocket::ConnectedState)
            break;
    }
    return received + socket.readAll();
}

qint64 LoopbackPeers::processMemory(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith(prefix))
            continue;
        // "VmRSS:	   21012 kB"
        const QList<QByteArray> parts = line.mid(prefix.size()).simplified().split(' ');
        return parts.value(0).toLongLong() * 1024;
    }
    return -1;
}
