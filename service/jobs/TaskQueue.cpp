#include "jobs/TaskQueue.h"

#include "converters/OfficeBridge.h"
#include "store/ObjectKeys.h"

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
    startWorkers();
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

void TaskQueue::kick()
{
    while (!mStopping) {
        const int slot = freeSlot();
        if (slot < 0)
            return;
        const std::optional<TaskRecord> task = mRecords.claimNextTask();
        if (!task)
            return;
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
    order.resultFolder = mFolder.resultsFolder() + QLatin1Char('/') + task.id;
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
    std::optional<ConversionJob::Order> order = orderFor(task, slot, &inputName, &error);
    if (!order) {
        mRecords.failTask(task.id, error);
        emit taskEnded(task.id);
        return;
    }
    auto cancel = std::make_shared<std::atomic_bool>(false);
    mRunning.insert(task.id, Running{slot, cancel, inputName});
    std::fprintf(stderr, "mirelune-service: task %s (%s) started on worker %d\n", qPrintable(task.id),
                 qPrintable(task.serviceType), slot);
    const QPointer<TaskQueue> self(this);
    const QString id = task.id;
    auto progress = [self, id](int percent) {
        QMetaObject::invokeMethod(self, [self, id, percent] {
            if (self && self->mRunning.contains(id))
                self->mRecords.setTaskProgress(id, percent);
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
    const QString inputName = it->inputName;
    mRunning.erase(it);
    if (outcome.cancelled || mStopping) {
        mRecords.requeueTask(outcome.taskId);
        return;
    }
    if (outcome.errors.isEmpty()) {
        mRecords.finishTask(outcome.taskId, outcome.resultPath, resultFileName(inputName, outcome.resultPath));
        std::fprintf(stderr, "mirelune-service: task %s finished\n", qPrintable(outcome.taskId));
    } else {
        mRecords.failTask(outcome.taskId, outcome.errors);
        std::fprintf(stderr, "mirelune-service: task %s failed: %s\n", qPrintable(outcome.taskId),
                     qPrintable(outcome.errors));
    }
    emit taskEnded(outcome.taskId);
    kick();
}

void TaskQueue::stop()
{
    if (mStopping)
        return;
    mStopping = true;
    for (const Running &running : std::as_const(mRunning))
        running.cancel->store(true);
    stopWorkers();
    for (auto it = mRunning.cbegin(); it != mRunning.cend(); ++it)
        mRecords.requeueTask(it.key());
    mRunning.clear();
}
