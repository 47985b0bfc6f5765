#include "support/LoopbackPeers.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"
#include "support/service/ServiceProcess.h"

#include <QTemporaryDir>

#include <memory>

// A real mirelune-service against peers that try to wear it out without ever
// logging in: a flood of broken TLS handshakes, and a peer that pipelines
// requests without reading the replies. Other clients must still be served,
// and the service's memory must stay bounded.
class TestServiceHostilePeers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void brokenHandshakesDoNotWedgeTheListener();
    void pipeliningPeerThatNeverReadsStaysBounded();
    void cleanupTestCase();

private:
    // A health request on a fresh connection, answered within `timeoutMs`.
    bool healthAnswered(int timeoutMs) const;

    QTemporaryDir mDir;
    std::unique_ptr<ServiceProcess> mService;
    std::unique_ptr<LoopbackPeers> mPeers;
};

namespace {

const QByteArray kHealth = "GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
constexpr qint64 kMiB = 1024 * 1024;

} // namespace

void TestServiceHostilePeers::initTestCase()
{
    QVERIFY(mDir.isValid());
    mService = std::make_unique<ServiceProcess>(mDir.filePath(QStringLiteral("data")));
    QVERIFY(mService->start({QStringLiteral("--workers"), QStringLiteral("0")}));
    mPeers = std::make_unique<LoopbackPeers>(mService->port(), mService->caFile());
    QVERIFY(healthAnswered(5000));
}

bool TestServiceHostilePeers::healthAnswered(int timeoutMs) const
{
    const QByteArray reply = mPeers->exchange(kHealth, scaledMs(timeoutMs));
    if (!reply.startsWith("HTTP/1.1 200"))
        qWarning("health reply: %s", reply.left(200).constData());
    return reply.startsWith("HTTP/1.1 200") && reply.contains("\"service\":\"mirelune-service\"");
}

void TestServiceHostilePeers::brokenHandshakesDoNotWedgeTheListener()
{
    // Silent peers stay connected while the health request is made; the others
    // leave at once, plain-text ones and ones half-way through their hello.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(mPeers->openSilent(16), 16);
        QCOMPARE(mPeers->sendPlainText(16), 16);
        QCOMPARE(mPeers->leaveMidHandshake(16), 16);
        QVERIFY(healthAnswered(5000));
        mPeers->closeAll();
        QVERIFY(healthAnswered(5000));
    }
}

void TestServiceHostilePeers::pipeliningPeerThatNeverReadsStaysBounded()
{
    QVERIFY(healthAnswered(5000));
    const qint64 pid = mService->pid();
    const qint64 residentBefore = LoopbackPeers::processMemory(pid, "VmRSS");
    const qint64 peakBefore = LoopbackPeers::processMemory(pid, "VmHWM");
    QVERIFY(residentBefore > 0 && peakBefore > 0);
    // Small requests, 60 MiB of them if the service takes them, for at most 20 s.
    const qint64 sent = mPeers->pipelineWithoutReading(kHealth, 60 * kMiB, 20000);
    QVERIFY(sent > 0);
    const qint64 growth = LoopbackPeers::processMemory(pid, "VmHWM") - peakBefore;
    // The stubborn peer is still connected; everyone else is served.
    QVERIFY(healthAnswered(5000));
    QVERIFY(healthAnswered(5000));
    mPeers->closeAll();
    QVERIFY(healthAnswered(5000));
    const qint64 kept = LoopbackPeers::processMemory(pid, "VmRSS") - residentBefore;
    qInfo("sent %.1f MiB without reading; peak memory grew by %.1f MiB, %.1f MiB kept after the peer left",
          double(sent) / kMiB, double(growth) / kMiB, double(kept) / kMiB);
    if (sanitizedBuild())
        return; // the peer was still cut off and everyone else served: that much holds here too
    QVERIFY2(growth < 100 * kMiB, qPrintable(QStringLiteral("grew by %1 MiB").arg(growth / kMiB)));
    QVERIFY2(kept < 32 * kMiB, qPrintable(QStringLiteral("kept %1 MiB").arg(kept / kMiB)));
}

void TestServiceHostilePeers::cleanupTestCase()
{
    mPeers.reset();
    if (mService)
        QVERIFY(mService->stop());
}

MIRELUNE_TEST_MAIN(TestServiceHostilePeers)
#include "tst_service_hostile_peers.moc"
