// What hostile peers cost mirelune-service, measured in one run:
//  - its memory before and after one peer pipelines 60 MiB of small requests
//    without reading a reply (target: growth < 100 MiB);
//  - the time of a health request on a fresh connection while 300 idle
//    (handshaken, silent) and 60 silent (never handshaking) connections are
//    open, against the same request with no other peer.
//   bench_service_limits [REQUESTS] [PIPELINE_SECONDS]
#include "support/LoopbackPeers.h"
#include "support/service/ServiceProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
const QByteArray kHealth = "GET /api/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// Milliseconds of each health request; a failed one counts in `failures`.
QList<double> healthTimes(const LoopbackPeers &peers, int count, int *failures)
{
    QList<double> times;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        const bool ok = peers.exchange(kHealth, 10000).startsWith("HTTP/1.1 200");
        times << clock.nsecsElapsed() / 1e6;
        *failures += ok ? 0 : 1;
    }
    return times;
}

double mib(qint64 bytes)
{
    return double(bytes) / kMiB;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int requests = arguments.size() > 1 ? qMax(1, arguments[1].toInt()) : 15;
    const int pipelineSeconds = arguments.size() > 2 ? qMax(1, arguments[2].toInt()) : 30;
    QTemporaryDir dir;
    ServiceProcess service(dir.filePath(QStringLiteral("data")));
    if (!service.start({QStringLiteral("--workers"), QStringLiteral("0")})) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    const qint64 pid = service.pid();
    LoopbackPeers peers(service.port(), service.caFile());
    int failures = 0;
    healthTimes(peers, 5, &failures); // warm-up
    const double baseline = median(healthTimes(peers, requests, &failures));

    const qint64 rssBefore = LoopbackPeers::processMemory(pid, "VmRSS");
    const qint64 peakBefore = LoopbackPeers::processMemory(pid, "VmHWM");
    QElapsedTimer clock;
    clock.start();
    const qint64 sent = peers.pipelineWithoutReading(kHealth, 60 * kMiB, pipelineSeconds * 1000);
    const double pipelined = clock.elapsed() / 1000.0;
    const qint64 rssDuring = LoopbackPeers::processMemory(pid, "VmRSS");
    const qint64 peakGrowth = LoopbackPeers::processMemory(pid, "VmHWM") - peakBefore;
    const double whilePipelining = median(healthTimes(peers, requests, &failures));
    peers.closeAll();
    healthTimes(peers, 1, &failures); // the service has noticed the peer left
    const qint64 rssAfter = LoopbackPeers::processMemory(pid, "VmRSS");

    const int idle = peers.openIdle(300, 10000);
    const int silent = peers.openSilent(60);
    const double crowded = median(healthTimes(peers, requests, &failures));
    peers.closeAll();
    // The machine's load drifts: the baseline is taken before and after, and averaged.
    const double baselineAfter = median(healthTimes(peers, requests, &failures));
    const double reference = (baseline + baselineAfter) / 2;
    service.stop();

    std::printf("pipelining peer that never reads: %.1f MiB of requests taken in %.1f s (offered 60 MiB)\n", mib(sent),
                pipelined);
    std::printf("  service RSS %.1f MiB before, %.1f MiB with the peer connected, %.1f MiB after it left\n",
                mib(rssBefore), mib(rssDuring), mib(rssAfter));
    std::printf("  peak RSS growth %.1f MiB (target < 100 MiB)\n", mib(peakGrowth));
    std::printf("health request on a fresh connection, median of %d:\n", requests);
    std::printf("  no other peer (before, after):          %.2f ms, %.2f ms\n", baseline, baselineAfter);
    std::printf("  with the pipelining peer connected:     %.2f ms (%.2fx)\n", whilePipelining,
                whilePipelining / reference);
    std::printf("  with %d idle and %d silent connections: %.2f ms (%.2fx)\n", idle, silent, crowded,
                crowded / reference);
    std::printf("failed health requests: %d\n", failures);
    return failures == 0 && peakGrowth < 100 * kMiB ? 0 : 1;
}
