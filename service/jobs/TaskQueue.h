#pragma once

#include "jobs/ConversionJob.h"
#include "jobs/ConversionWorker.h"
#include "jobs/TaskDurations.h"
#include "store/DataFolder.h"
#include "store/Records.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

// Runs queued tasks, oldest first, on a fixed number of workers, each a
// thread with its own LibreOffice profile (and warm LibreOffice). Lives on the main thread; jobs report
// back to it, and only it writes the records. Every task it runs is leased to
// this node and the lease renewed on a timer; a task whose lease went to
// another node is cancelled and its output thrown away. The queue also looks
// for work on a timer: other nodes add tasks, and leases of dead nodes run out.
class TaskQueue final : public QObject {
    Q_OBJECT
public:
    struct Settings {
        int workers = 1;
        int timeoutSeconds = 300;
        bool warmOffice = false; // keep a LibreOffice per worker (OfficeBridge)
        int leaseSeconds = 30;   // renewed every third of it
        int pollMs = 1000;       // between looks for tasks nobody runs
    };

    TaskQueue(Records &records, const DataFolder &folder, Settings settings, QObject *parent = nullptr);
    ~TaskQueue() override;

    // Starts queued tasks while a worker is free.
    void kick();
    // Kills running conversions and puts their tasks back in the queue.
    void stop();
    int runningCount() const { return int(mRunning.size()); }
    // The poll interval to suggest for a task in the given state, from the
    // base pace and when the task is likely done (TaskDurations::pollHintMs).
    int pollHintMs(const QString &taskId, const QString &serviceType, TaskState state, int baseMs) const;
    // Milliseconds until a task this node runs is likely done; nothing for a
    // task it does not run or a kind it has not timed yet.
    std::optional<qint64> runningRemainingMs(const QString &taskId) const;
    // The file name a result is offered under: the input's base name and the result's extension.
    static QString resultFileName(const QString &inputName, const QString &resultPath);

signals:
    void taskEnded(const QString &taskId);

private:
    // Milliseconds until a task in the given state is likely done, when this
    // node can tell: it runs the task, a worker is free to start it, or the
    // task waits behind queued ones this node's workers would run first
    // (then `waiting` is set).
    std::optional<qint64> expectedRemainingMs(const QString &taskId, const QString &serviceType, TaskState state,
                                              bool *waiting) const;

    struct Running {
        int slot = 0;
        std::shared_ptr<std::atomic_bool> cancel;
        QString inputName;
        TaskClaim claim;
        QString resultFolder;
    };
    struct Slot {
        QThread *thread = nullptr;
        ConversionWorker *worker = nullptr;
    };

    void start(const TaskRecord &task, int slot);
    std::optional<ConversionJob::Order> orderFor(const TaskRecord &task, int slot, QString *inputName,
                                                 QString *error) const;
    void onDone(const ConversionJob::Outcome &outcome);
    // Commits the outcome if this node still holds the task; otherwise drops its result.
    void settle(const Running &running, const ConversionJob::Outcome &outcome);
    void renewLeases();
    int freeSlot() const;
    QString workerFolder(int slot) const;
    void clearWorkerLeftovers() const;
    void startWorkers();
    void stopWorkers();

    Records &mRecords;
    DataFolder mFolder;
    Settings mSettings;
    QList<Slot> mSlots;
    QHash<QString, Running> mRunning;
    bool mStopping = false;
    QTimer mLeaseTimer;
    QTimer mPollTimer;
    QElapsedTimer mClock;
    TaskDurations mDurations;
};
