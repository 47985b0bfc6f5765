#pragma once

#include <QHash>
#include <QString>

#include <optional>

// How long tasks of each kind take on this node and when the running ones
// began: enough to tell a poller when its task is likely done, so a task of
// a few dozen milliseconds is not waited on for a whole poll interval. Not
// thread-safe: the task queue owns it on its own thread.
class TaskDurations final {
public:
    void started(const QString &taskId, const QString &serviceType, qint64 nowMs);
    // Only a run that finished teaches how long its kind takes; a failed or
    // cancelled one says nothing about it.
    void ended(const QString &taskId, bool finished, qint64 nowMs);

    // Milliseconds until the task is likely done: for a task running here,
    // its kind's typical run less what it has run so far; for one that
    // starts at once, the whole typical run. Nothing when this node cannot
    // tell (no run of the kind finished yet, or the task is not here).
    std::optional<qint64> remainingMs(const QString &taskId, const QString &serviceType, bool startsNow,
                                      qint64 nowMs) const;
    // For a task queued behind `ahead` others while this node's `workers`
    // are busy: when it is likely done if this node runs them all in order,
    // each queued one taking the task's own kind's typical time. Nothing
    // when this node cannot tell.
    std::optional<qint64> queuedRemainingMs(const QString &serviceType, int ahead, int workers, qint64 nowMs) const;

    // The poll interval to suggest: the base pace, shortened to the likely
    // remaining time (or so that the poll after it can land there) but never
    // below half of it nor below 100 ms. A task still waiting for a worker
    // has no progress to show: it is told to come back shortly before its
    // likely end, up to a few paces away.
    static int pollHintMs(int baseMs, std::optional<qint64> remainingMs, bool waiting = false);

private:
    struct Run {
        QString serviceType;
        qint64 startMs = 0;
    };

    // What a run likely has left, given its kind's typical time.
    static qint64 leftMs(const Run &run, double typicalMs, qint64 nowMs);

    QHash<QString, Run> mRunning;
    QHash<QString, double> mTypicalMs; // a moving average per kind
};
