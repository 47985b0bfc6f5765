#include "jobs/TaskQueue.h"

#include "converters/OfficeBridge.h"
#include "store/ObjectKeys.h"
#include "store/Secrets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <cstdio>

namespace {

constexpr int kMaxNameBytes = 200;

QString baseNameOf(const QString &clientName)
{
    QString name = clientName.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    QString clean;
    for (const QChar c : std::as_const(name)) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            clean.append(c);
    }
    const qsizetype dot = clean.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        clean.truncate(dot);
    while (clean.startsWith(QLatin1Char('.')) || clean.startsWith(QLatin1Char(' ')))
        clean.remove(0, 1);
    clean = clean.trimmed();
    while (clean.toUtf8().size() > kMaxNameBytes)
        clean.chop(1);
    return clean.isEmpty() ? QStringLiteral("result") : clean;
}

} // namespace

TaskQueue::TaskQueue(Records &records, const DataFolder &folder, Settings settings, QObject *parent)
    : QObject(parent), mRecords(records), mFolder(folder), mSettings(settings)
{
    mClock.start();
    startWorkers();
    connect(&mLeaseTimer, &QTimer::timeout, this, &TaskQueue::renewLeases);
    connect(&mPollTimer, &QTimer::timeout, this, &TaskQueue::kick);
    mLeaseTimer.start(qMax(1, mSettings.leaseSeconds) * 1000 / 3);
    if (mSettings.workers > 0)
        mPollTimer.start(qMax(50, mSettings.pollMs));
}

TaskQueue::~TaskQueue()
{
    stop();
}

QString TaskQueue::resultFileName(const QString &inputName, const QString &resultPath)
{
    return baseNameOf(inputName) + QLatin1Char('.') + QFileInfo(resultPath).suffix();
}

QString TaskQueue::workerFolder(int slot) const
{
    return mFolder.profilesFolder() + QStringLiteral("/worker-") + QString::number(slot);
}

void TaskQueue::clearWorkerLeftovers() const
{
    // No office runs yet: what the workers' offices left in their temporary
    // folders (a killed service takes none of it along) is debris.
    const QStringList workers =
        QDir(mFolder.profilesFolder())
            .entryList({QStringLiteral("worker-*")}, QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &worker : workers)
        OfficeBridge::clearTemporaryFiles(mFolder.profilesFolder() + QLatin1Char('/') + worker);
}

void TaskQueue::startWorkers()
{
    clearWorkerLeftovers();
    // A pipe name unique to this service and slot: two services never share an office.
    const QString prefix =
        QStringLiteral("mirelune-%1-%2-").arg(QCoreApplication::applicationPid()).arg(quintptr(this), 0, 16);
    for (int slot = 0; slot < mSettings.workers; ++slot) {
        Slot entry;
        entry.thread = new QThread(this);
        entry.thread->setObjectName(QStringLiteral("worker-%1").arg(slot));
        entry.worker = new ConversionWorker(workerFolder(slot), prefix + QString::number(slot), mSettings.warmOffice);
        entry.worker->moveToThread(entry.thread);
        entry.thread->start();
        mSlots.append(entry);
    }
}

void TaskQueue::stopWorkers()
{
    for (const Slot &slot : std::as_const(mSlots)) {
        // Queued behind its running job, if any; the worker's office ends with it.
        ConversionWorker *worker = slot.worker;
        QMetaObject::invokeMethod(
            worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
        slot.thread->quit();
        slot.thread->wait();
    }
    mSlots.clear();
}

int TaskQueue::freeSlot() const
{
    for (int slot = 0; slot < mSettings.workers; ++slot) {
        bool busy = false;
        for (const Running &running : mRunning)
            busy = busy || running.slot == slot;
        if (!busy)
            return slot;
    }
    return -1;
}

int TaskQueue::pollHintMs(const QString &taskId, const QString &serviceType, TaskState state, int baseMs) const
{
    bool waiting = false;
    const std::optional<qint64> remaining = expectedRemainingMs(taskId, serviceType, state, &waiting);
    return TaskDurations::pollHintMs(baseMs, remaining, waiting);
}

std::optional<qint64> TaskQueue::runningRemainingMs(const QString &taskId) const
{
    if (!mRunning.contains(taskId))
        return std::nullopt;
    return mDurations.remainingMs(taskId, QString(), false, mClock.elapsed());
}

std::optional<qint64> TaskQueue::expectedRemainingMs(const QString &taskId, const QString &serviceType, TaskState state,
                                                     bool *waiting) const
{
    const bool runsHere = mRunning.contains(taskId);
    const bool queued = state == TaskState::Queued && !mStopping;
    const bool startsNow = queued && freeSlot() >= 0;
    if (runsHere || startsNow)
        return mDurations.remainingMs(taskId, serviceType, startsNow, mClock.elapsed());
    if (!queued)
        return std::nullopt;
    // Behind busy workers: done after the tasks ahead of it, as far as this
    // node alone would run them (other nodes can only make it sooner).
    *waiting = true;
    const std::optional<int> ahead = mRecords.queuedAhead(taskId);
    if (!ahead)
        return std::nullopt;
    return mDurations.queuedRemainingMs(serviceType, *ahead, mSettings.workers, mClock.elapsed());
}

void TaskQueue::kick()
{
    while (!mStopping) {
        const int slot = freeSlot();
        if (slot < 0)
            return;
        const std::optional<TaskRecord> task = mRecords.claimNextTask();
        if (!task)
            return;
        // This thread was held up past its own lease and claimed a task it is
        // still running: the run goes on under the new claim.
        const auto running = mRunning.find(task->id);
        if (running != mRunning.end())
            running->claim = {task->id, task->attempt};
        else
            start(*task, slot);
    }
}

std::optional<ConversionJob::Order> TaskQueue::orderFor(const TaskRecord &task, int slot, QString *inputName,
                                                        QString *error) const
{
    ConversionJob::Order order;
    order.taskId = task.id;
    order.serviceType = task.serviceType;
    order.args = task.args;
    order.jobFolder = mFolder.jobsFolder() + QLatin1Char('/') + task.id;
    // A folder of this claim's own: a node that lost the task must not touch
    // the result of the node that won it.
    order.resultFolder = mFolder.resultsFolder() + QLatin1Char('/') + task.id + QLatin1Char('/') +
                         QString::number(task.attempt) + QLatin1Char('-') + QString::fromLatin1(Secrets::randomHex(6));
    order.profileFolder = workerFolder(slot) + QStringLiteral("/profile");
    order.timeoutSeconds = mSettings.timeoutSeconds;
    for (const TaskInput &input : task.inputs) {
        const std::optional<StoredFile> file = mRecords.file(input.fileId);
        if (!file) {
            *error = QStringLiteral("The uploaded file %1 has expired").arg(input.fileId);
            return std::nullopt;
        }
        if (inputName->isEmpty())
            *inputName = file->name;
        order.sources.append({ObjectKeys::pathIn(mFolder.objectsFolder(), file->objectKey),
                              ConversionJob::safeExtension(file->name), input.password, file->name});
    }
    return order;
}

void TaskQueue::start(const TaskRecord &task, int slot)
{
    QString inputName;
    QString error;
    const TaskClaim claim{task.id, task.attempt};
    std::optional<ConversionJob::Order> order = orderFor(task, slot, &inputName, &error);
    if (!order) {
        if (mRecords.failTask(claim, error))
            emit taskEnded(task.id);
        return;
    }
    auto cancel = std::make_shared<std::atomic_bool>(false);
    mRunning.insert(task.id, Running{slot, cancel, inputName, claim, order->resultFolder});
    mDurations.started(task.id, task.serviceType, mClock.elapsed());
    std::fprintf(stderr, "mirelune-service: task %s (%s) started on worker %d\n", qPrintable(task.id),
                 qPrintable(task.serviceType), slot);
    const QPointer<TaskQueue> self(this);
    const QString id = task.id;
    auto progress = [self, id](int percent) {
        QMetaObject::invokeMethod(self, [self, id, percent] {
            if (self && self->mRunning.contains(id))
                self->mRecords.setTaskProgress(self->mRunning.value(id).claim, percent);
        });
    };
    auto done = [self](const ConversionJob::Outcome &outcome) {
        QMetaObject::invokeMethod(self, [self, outcome] {
            if (self)
                self->onDone(outcome);
        });
    };
    auto *job = new ConversionJob(std::move(*order), cancel, progress, done);
    ConversionWorker *worker = mSlots[slot].worker;
    QMetaObject::invokeMethod(worker, [worker, job] { worker->run(job); });
}

void TaskQueue::onDone(const ConversionJob::Outcome &outcome)
{
    const auto it = mRunning.find(outcome.taskId);
    if (it == mRunning.end())
        return;
    const Running running = *it;
    mRunning.erase(it);
    mDurations.ended(outcome.taskId, !outcome.cancelled && outcome.errors.isEmpty(), mClock.elapsed());
    if (outcome.cancelled || mStopping) {
        mRecords.requeueTask(running.claim);
        QDir(running.resultFolder).removeRecursively();
        return;
    }
    settle(running, outcome);
    kick();
}

void TaskQueue::settle(const Running &running, const ConversionJob::Outcome &outcome)
{
    const QString &id = outcome.taskId;
    const bool succeeded = outcome.errors.isEmpty();
    const bool committed = succeeded ? mRecords.finishTask(running.claim, outcome.resultPath,
                                                           resultFileName(running.inputName, outcome.resultPath))
                                     : mRecords.failTask(running.claim, outcome.errors);
    if (!committed) {
        // Another node holds the task now, or the database did not answer: then
        // the lease runs out unrenewed and the task runs again somewhere.
        QDir(running.resultFolder).removeRecursively();
        std::fprintf(stderr,
                     "mirelune-service: task %s was taken over by another node or the database did not answer;"
                     " this run is discarded\n",
                     qPrintable(id));
        return;
    }
    if (succeeded)
        std::fprintf(stderr, "mirelune-service: task %s finished\n", qPrintable(id));
    else
        std::fprintf(stderr, "mirelune-service: task %s failed: %s\n", qPrintable(id), qPrintable(outcome.errors));
    emit taskEnded(id);
}

void TaskQueue::renewLeases()
{
    for (const Running &running : std::as_const(mRunning)) {
        if (running.cancel->load() || mRecords.renewLease(running.claim))
            continue;
        std::fprintf(stderr, "mirelune-service: task %s: the lease went to another node, cancelling\n",
                     qPrintable(running.claim.taskId));
        running.cancel->store(true);
    }
}

void TaskQueue::stop()
{
    if (mStopping)
        return;
    mStopping = true;
    mLeaseTimer.stop();
    mPollTimer.stop();
    for (const Running &running : std::as_const(mRunning))
        running.cancel->store(true);
    stopWorkers();
    for (const Running &running : std::as_const(mRunning)) {
        mRecords.requeueTask(running.claim);
        QDir(running.resultFolder).removeRecursively();
    }
    mRunning.clear();
}
