#include "jobs/TaskDurations.h"

#include <QList>

#include <algorithm>

namespace {

// The newest run weighs this much in a kind's typical time: a few runs
// follow a change (a warm office, larger files) without one outlier ruling.
constexpr double kNewestWeight = 0.3;
// A poll lands this long after the likely end rather than just before it.
constexpr qint64 kMarginMs = 20;
constexpr int kFloorMs = 100;
// Queued tasks an estimate walks through, per worker, before it gives up on
// exactness: beyond them the likely end is far past any poll interval.
constexpr int kMaxQueuedSteps = 50;
// The longest wait suggested to a task behind busy workers, in base paces:
// an estimate far ahead may be wrong (tasks ahead that fail at once, another
// node taking it), and a late poll costs its whole error.
constexpr int kWaitingPaces = 5;

} // namespace

void TaskDurations::started(const QString &taskId, const QString &serviceType, qint64 nowMs)
{
    mRunning.insert(taskId, {serviceType, nowMs});
}

void TaskDurations::ended(const QString &taskId, bool finished, qint64 nowMs)
{
    const auto run = mRunning.constFind(taskId);
    if (run == mRunning.constEnd())
        return;
    if (finished) {
        const double took = double(std::max<qint64>(0, nowMs - run->startMs));
        const auto typical = mTypicalMs.constFind(run->serviceType);
        mTypicalMs.insert(run->serviceType,
                          typical == mTypicalMs.constEnd() ? took : *typical + kNewestWeight * (took - *typical));
    }
    mRunning.erase(run);
}

std::optional<qint64> TaskDurations::remainingMs(const QString &taskId, const QString &serviceType, bool startsNow,
                                                 qint64 nowMs) const
{
    const auto run = mRunning.constFind(taskId);
    const QString kind = run != mRunning.constEnd() ? run->serviceType : serviceType;
    const auto typical = mTypicalMs.constFind(kind);
    if (typical == mTypicalMs.constEnd())
        return std::nullopt;
    if (run != mRunning.constEnd())
        return leftMs(*run, *typical, nowMs) + kMarginMs;
    if (startsNow)
        return qint64(*typical) + kMarginMs;
    return std::nullopt;
}

std::optional<qint64> TaskDurations::queuedRemainingMs(const QString &serviceType, int ahead, int workers,
                                                       qint64 nowMs) const
{
    const auto typical = mTypicalMs.constFind(serviceType);
    if (typical == mTypicalMs.constEnd() || workers < 1 || ahead < 0)
        return std::nullopt;
    // When each worker is free again: a running task's kind may be one this
    // node has not timed yet, and then nothing can be told.
    QList<qint64> freeAt(workers, 0);
    int busy = 0;
    for (const Run &run : mRunning) {
        const auto runTypical = mTypicalMs.constFind(run.serviceType);
        if (runTypical == mTypicalMs.constEnd())
            return std::nullopt;
        if (busy < workers)
            freeAt[busy++] = leftMs(run, *runTypical, nowMs);
    }
    // The tasks ahead, then this one, each on the worker free first. A queue
    // far longer than the pace needs no exact figure.
    const int steps = std::min(ahead, workers * kMaxQueuedSteps);
    for (int i = 0; i < steps; ++i)
        *std::min_element(freeAt.begin(), freeAt.end()) += qint64(*typical);
    return *std::min_element(freeAt.begin(), freeAt.end()) + qint64(*typical) + kMarginMs;
}

qint64 TaskDurations::leftMs(const Run &run, double typicalMs, qint64 nowMs)
{
    return std::max<qint64>(0, qint64(typicalMs) - (nowMs - run.startMs));
}

int TaskDurations::pollHintMs(int baseMs, std::optional<qint64> remainingMs, bool waiting)
{
    if (!remainingMs)
        return baseMs;
    const int floor = std::min(baseMs, std::max(kFloorMs, baseMs / 2));
    if (waiting && *remainingMs >= qint64(baseMs) + floor)
        return int(std::min(*remainingMs - floor, qint64(baseMs) * kWaitingPaces));
    // A poll aimed just short of a base pace away would leave less than the
    // floor for the last one, which then lands up to a floor past the end:
    // wait less now, so that the next poll can be aimed at the end itself.
    if (*remainingMs > baseMs && *remainingMs < qint64(baseMs) + floor)
        return int(std::max<qint64>(floor, *remainingMs - floor));
    return int(std::clamp<qint64>(*remainingMs, floor, baseMs));
}
