#include "api/TaskEndWait.h"

#include "jobs/TaskQueue.h"

#include <QTimer>

TaskEndWait::TaskEndWait(QObject *context, std::function<void()> done) : QObject(context), mDone(std::move(done))
{
}

void TaskEndWait::start(const TaskQueue &queue, const QString &taskId, int limitMs, QObject *context,
                        std::function<void()> done)
{
    auto *wait = new TaskEndWait(context, std::move(done));
    connect(&queue, &TaskQueue::taskEnded, wait, [wait, taskId](const QString &ended) {
        if (ended == taskId)
            wait->finish();
    });
    QTimer::singleShot(limitMs, Qt::PreciseTimer, wait, &TaskEndWait::finish);
}

void TaskEndWait::finish()
{
    if (!mDone)
        return;
    const std::function<void()> done = std::exchange(mDone, {});
    deleteLater();
    done();
}
