#pragma once

#include "jobs/ConversionJob.h"
#include "jobs/ConversionWorker.h"
#include "store/DataFolder.h"
#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

// Runs queued tasks, oldest first, on a fixed number of workers, each a
// thread with its own LibreOffice profile (and warm LibreOffice). Lives on the main thread; jobs report
// back to it, and only it writes the records.
class TaskQueue final : public QObject {
    Q_OBJECT
public:
    struct Settings {
        int workers = 1;
        int timeoutSeconds = 300;
        bool warmOffice = false; // keep a LibreOffice per worker (OfficeBridge)
    };

    TaskQueue(Records &records, const DataFolder &folder, Settings settings, QObject *parent = nullptr);
    ~TaskQueue() override;

    // Starts queued tasks while a worker is free.
    void kick();
    // Kills running conversions and puts their tasks back in the queue.
    void stop();
    int runningCount() const { return int(mRunning.size()); }
    // The file name a result is offered under: the input's base name and the result's extension.
    static QString resultFileName(const QString &inputName, const QString &resultPath);

signals:
    void taskEnded(const QString &taskId);

private:
    struct Running {
        int slot = 0;
        std::shared_ptr<std::atomic_bool> cancel;
        QString inputName;
    };
    struct Slot {
        QThread *thread = nullptr;
        ConversionWorker *worker = nullptr;
    };

    void start(const TaskRecord &task, int slot);
    std::optional<ConversionJob::Order> orderFor(const TaskRecord &task, int slot, QString *inputName,
                                                 QString *error) const;
    void onDone(const ConversionJob::Outcome &outcome);
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
};
