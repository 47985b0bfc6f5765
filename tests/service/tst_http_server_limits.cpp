#include "http/HttpServer.h"
#include "support/LoopbackPeers.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"

#include <QDeadlineTimer>
#include <QSslSocket>
#include <QThread>

#include <memory>

// The HTTP layer's defences against peers that hold on to it: handshake and
// connection caps with the backlog behind them, deadlines for handshakes,
// heads and idle connections in every state, and backpressure on a peer that
// pipelines without reading. The server runs on a thread of its own so that
// the test can play its peers with blocking sockets.
class TestHttpServerLimits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void brokenHandshakesFreeTheirSlots();
    void silentPeersAreDroppedAtTheHandshakeDeadline();
    void peersAboveTheConnectionCapWaitInTheBacklog();
    void slowHeadIsAnswered408();
    void oversizedHeadIsAnswered431_data();
    void oversizedHeadIsAnswered431();
    void malformedHeadIsRefusedAndClosed();
    void idlePeersAreClosedInEveryState();
    void peerThatNeverReadsIsClosed();
    void pipelinedRequestsAreAllAnsweredAfterBackpressure();
    void laterAnswersKeepTheirOrder();
};

namespace {

const QByteArray kGet = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// Answers every request at once; /echo buffers its body and sends it back,
// /later keeps its responder until the test answers.
class TestHandler final : public HttpHandler {
public:
    HttpRoute route(const HttpRequest &head) override
    {
        if (head.path == QLatin1String("/echo"))
            return HttpRoute::buffer(
                [](const HttpRequest &request) { return HttpResponse(200, request.body, "application/octet-stream"); });
        if (head.path == QLatin1String("/later"))
            return HttpRoute::later([this](const HttpRoute::Responder &respond) { held << respond; });
        return HttpRoute::respond(HttpResponse::text(200, QStringLiteral("ok")));
    }

    QList<HttpRoute::Responder> held;
};

// An HttpServer with the given limits on its own thread, listening on 127.0.0.1.
class ServerThread final {
public:
    explicit ServerThread(const HttpServer::Limits &limits)
    {
        mThread.start();
        mContext.moveToThread(&mThread);
        run([this, limits] {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setLocalCertificate(TestCertificates::instance().serverCertificate());
            tls.setPrivateKey(TestCertificates::instance().serverKey());
            tls.setPeerVerifyMode(QSslSocket::VerifyNone);
            mServer = std::make_unique<HttpServer>(mHandler, tls, limits);
            if (mServer->listen(QHostAddress::LocalHost, 0, nullptr))
                mPort = mServer->port();
        });
    }
    ~ServerThread()
    {
        run([this] { mServer.reset(); });
        mThread.quit();
        mThread.wait();
    }

    quint16 port() const { return mPort; }
    // Answers the oldest held request; false when none is held.
    bool answerHeld(const QString &text)
    {
        bool answered = false;
        run([this, &text, &answered] {
            if (mHandler.held.isEmpty())
                return;
            const HttpRoute::Responder respond = mHandler.held.takeFirst();
            respond(HttpResponse::text(200, text));
            respond(HttpResponse::text(200, QStringLiteral("twice"))); // dropped
            answered = true;
        });
        return answered;
    }
    int heldCount()
    {
        int count = 0;
        run([this, &count] { count = int(mHandler.held.size()); });
        return count;
    }
    int connectionCount()
    {
        int count = 0;
        run([this, &count] { count = mServer->connectionCount(); });
        return count;
    }

private:
    void run(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&mContext, work, Qt::BlockingQueuedConnection);
    }

    QThread mThread;
    QObject mContext;
    TestHandler mHandler;
    std::unique_ptr<HttpServer> mServer;
    quint16 mPort = 0;
};

HttpServer::Limits limits(int maxConnections, int maxHandshakes, int handshakeTimeoutMs)
{
    HttpServer::Limits result;
    result.maxConnections = maxConnections;
    result.maxHandshakes = maxHandshakes;
    result.handshakeTimeoutMs = handshakeTimeoutMs;
    return result;
}

std::unique_ptr<QSslSocket> startTls(const LoopbackPeers &peers, quint16 port)
{
    auto socket = std::make_unique<QSslSocket>();
    socket->setSslConfiguration(peers.tls());
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return socket;
}

// Reads until the peer closes or the time is up; everything that came.
QByteArray readUntilClosed(QSslSocket &socket, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray received;
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    return received + socket.readAll();
}

} // namespace

void TestHttpServerLimits::initTestCase()
{
    QVERIFY(TestCertificates::instance().isValid());
}

void TestHttpServerLimits::brokenHandshakesFreeTheirSlots()
{
    // Four handshake slots and a deadline far beyond the test: only a server
    // that frees the slot of a peer leaving mid-handshake gets through this.
    ServerThread server(limits(64, 4, 60000));
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    for (int round = 0; round < 5; ++round) {
        QCOMPARE(peers.sendPlainText(4), 4);
        QCOMPARE(peers.leaveMidHandshake(4), 4);
    }
    const QByteArray reply = peers.exchange(kGet, 5000);
    QVERIFY2(reply.startsWith("HTTP/1.1 200"), reply.constData());
    peers.closeAll();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, 5000);
}

void TestHttpServerLimits::silentPeersAreDroppedAtTheHandshakeDeadline()
{
    ServerThread server(limits(64, 4, 400));
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    // Four take the slots, four more wait behind them.
    QCOMPARE(peers.openSilent(8), 8);
    const std::unique_ptr<QSslSocket> client = startTls(peers, server.port());
    QVERIFY(!client->waitForEncrypted(200));
    QVERIFY(client->waitForEncrypted(5000));
    client->write(kGet);
    QVERIFY(client->waitForReadyRead(5000));
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 5000);
}

void TestHttpServerLimits::peersAboveTheConnectionCapWaitInTheBacklog()
{
    ServerThread server(limits(3, 3, 10000));
    LoopbackPeers first(server.port(), TestCertificates::instance().caFile());
    LoopbackPeers others(server.port(), TestCertificates::instance().caFile());
    QCOMPARE(first.openIdle(1, 5000), 1);
    QCOMPARE(others.openIdle(2, 5000), 2);
    // Connected by the kernel, but not handshaken while the server is full.
    const std::unique_ptr<QSslSocket> waiting = startTls(first, server.port());
    QVERIFY(!waiting->waitForEncrypted(500));
    QCOMPARE(waiting->state(), QAbstractSocket::ConnectedState);
    first.closeAll();
    QVERIFY(waiting->waitForEncrypted(5000));
    waiting->write(kGet);
    QByteArray reply;
    const QDeadlineTimer deadline(5000);
    while (!LoopbackPeers::hasWholeReply(reply) && !deadline.hasExpired() && waiting->waitForReadyRead(100))
        reply += waiting->readAll();
    QVERIFY2(reply.startsWith("HTTP/1.1 200"), reply.constData());
    QCOMPARE(server.connectionCount(), 3);
}

void TestHttpServerLimits::slowHeadIsAnswered408()
{
    HttpServer::Limits slowHeads;
    slowHeads.connection.headTimeoutMs = 300;
    ServerThread server(slowHeads);
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    const std::unique_ptr<QSslSocket> client = startTls(peers, server.port());
    QVERIFY(client->waitForEncrypted(5000));
    // One byte every 100 ms keeps the connection busy, but the head never ends.
    client->write("GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    QByteArray received;
    for (int i = 0; i < 50 && client->state() == QAbstractSocket::ConnectedState && received.isEmpty(); ++i) {
        client->write("a");
        client->waitForReadyRead(100);
        received += client->readAll();
    }
    received += readUntilClosed(*client, 3000);
    QVERIFY2(received.startsWith("HTTP/1.1 408"), received.constData());
    QVERIFY(received.contains("Connection: close"));
}

void TestHttpServerLimits::oversizedHeadIsAnswered431_data()
{
    QTest::addColumn<QByteArray>("request");
    const QByteArray start = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: ";
    QTest::newRow("head without end") << start + QByteArray(20 * 1024, 'a');
    QTest::newRow("whole head") << start + QByteArray(20 * 1024, 'a') + "\r\n\r\n";
    QByteArray many = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int i = 0; i < 200; ++i)
        many += "X-" + QByteArray::number(i) + ": v\r\n";
    QTest::newRow("too many headers") << many + "\r\n";
}

void TestHttpServerLimits::oversizedHeadIsAnswered431()
{
    QFETCH(QByteArray, request);
    ServerThread server{HttpServer::Limits()};
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    const QByteArray reply = peers.exchange(request, 5000);
    QVERIFY2(reply.startsWith("HTTP/1.1 431"), reply.constData());
}

void TestHttpServerLimits::malformedHeadIsRefusedAndClosed()
{
    // The length smuggling case end to end: the five bytes are not a body of a
    // request that the server accepted, and nothing after the refusal is read.
    ServerThread server{HttpServer::Limits()};
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    const std::unique_ptr<QSslSocket> client = startTls(peers, server.port());
    QVERIFY(client->waitForEncrypted(5000));
    client->write("POST /echo HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nContent-Length: 5\r\n\r\nhello" +
                  kGet);
    const QByteArray received = readUntilClosed(*client, 5000);
    QVERIFY2(received.startsWith("HTTP/1.1 400"), received.constData());
    QCOMPARE(received.count("HTTP/1.1 "), 1);
    QVERIFY(!received.contains("hello"));
}

void TestHttpServerLimits::idlePeersAreClosedInEveryState()
{
    HttpServer::Limits quick;
    quick.connection.idleTimeoutMs = 300;
    ServerThread server(quick);
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    // Handshaken and silent; after a reply (keep-alive); half-way through a body.
    const std::unique_ptr<QSslSocket> silent = startTls(peers, server.port());
    const std::unique_ptr<QSslSocket> afterReply = startTls(peers, server.port());
    const std::unique_ptr<QSslSocket> inBody = startTls(peers, server.port());
    QVERIFY(silent->waitForEncrypted(5000) && afterReply->waitForEncrypted(5000) && inBody->waitForEncrypted(5000));
    afterReply->write(kGet);
    inBody->write("POST /echo HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\nonly ten b");
    QVERIFY(readUntilClosed(*silent, 5000).isEmpty());
    QVERIFY(readUntilClosed(*afterReply, 5000).startsWith("HTTP/1.1 200"));
    const QByteArray stalled = readUntilClosed(*inBody, 5000);
    QVERIFY2(stalled.startsWith("HTTP/1.1 408"), stalled.constData());
    QCOMPARE(silent->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(afterReply->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, 5000);
}

void TestHttpServerLimits::peerThatNeverReadsIsClosed()
{
    // Once the peer has timed out, the replies it leaves unread must not keep
    // the connection, and everything queued on it, alive.
    HttpServer::Limits quick;
    quick.connection.idleTimeoutMs = 300;
    ServerThread server(quick);
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    QVERIFY(peers.pipelineWithoutReading(kGet, 64 * 1024 * 1024, 3000) > 0);
    // No events are processed here, so the peer's socket reads nothing more.
    int open = server.connectionCount();
    for (int i = 0; i < 100 && open > 0; ++i) {
        QThread::msleep(100);
        open = server.connectionCount();
    }
    QCOMPARE(open, 0);
}

void TestHttpServerLimits::pipelinedRequestsAreAllAnsweredAfterBackpressure()
{
    // Several MiB of replies: far more than the server queues for one peer,
    // so it must stop and resume reading without losing a request.
    constexpr int kRequests = 30000;
    ServerThread server{HttpServer::Limits()};
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    const std::unique_ptr<QSslSocket> client = startTls(peers, server.port());
    QVERIFY(client->waitForEncrypted(5000));
    client->setReadBufferSize(16 * 1024);
    client->write(kGet.repeated(kRequests));
    const QDeadlineTimer deadline(scaledMs(60000));
    while (client->bytesToWrite() + client->encryptedBytesToWrite() > 0 && !deadline.hasExpired())
        client->waitForBytesWritten(100);
    QCOMPARE(client->bytesToWrite() + client->encryptedBytesToWrite(), 0);
    client->setReadBufferSize(0);
    qsizetype replies = 0;
    QByteArray tail;
    while (replies < kRequests && !deadline.hasExpired() && client->state() == QAbstractSocket::ConnectedState) {
        client->waitForReadyRead(100);
        tail += client->readAll();
        // Count whole replies and keep a possibly cut one for the next read.
        for (qsizetype at = tail.indexOf("HTTP/1.1 200 OK"); at >= 0; at = tail.indexOf("HTTP/1.1 200 OK")) {
            const qsizetype end = tail.indexOf("ok\n", at);
            if (end < 0)
                break;
            ++replies;
            tail.remove(0, end + 3);
        }
    }
    QCOMPARE(replies, qsizetype(kRequests));
}

void TestHttpServerLimits::laterAnswersKeepTheirOrder()
{
    // A held request holds the next one behind it; each is answered once, in
    // order, and an answer for a peer that has left goes nowhere.
    ServerThread server{HttpServer::Limits()};
    LoopbackPeers peers(server.port(), TestCertificates::instance().caFile());
    const std::unique_ptr<QSslSocket> client = startTls(peers, server.port());
    QVERIFY(client->waitForEncrypted(5000));
    client->write("GET /later HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + kGet);
    QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, scaledMs(5000));
    QVERIFY(!client->waitForReadyRead(200));
    QVERIFY(server.answerHeld(QStringLiteral("first")));
    QByteArray received;
    const QDeadlineTimer deadline(scaledMs(5000));
    while (received.count("HTTP/1.1 200") < 2 && !deadline.hasExpired()) {
        client->waitForReadyRead(100);
        received += client->readAll();
    }
    QCOMPARE(received.count("HTTP/1.1 200"), 2);
    QVERIFY(received.indexOf("first") < received.indexOf("ok\n"));
    QVERIFY(!received.contains("twice"));
    client->write("GET /later HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, scaledMs(5000));
    client->abort();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, scaledMs(5000));
    QVERIFY(server.answerHeld(QStringLiteral("gone")));
    QVERIFY(peers.exchange(kGet, 5000).startsWith("HTTP/1.1 200"));
}

MIRELUNE_TEST_MAIN(TestHttpServerLimits)
#include "tst_http_server_limits.moc"
