#include "tools/SerialQueue.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTimer>

namespace {

// Threads of queues destroyed by their own job. Such a thread cannot join
// itself, and the object's own thread (often a network worker) may be gone
// before a deferred delete reaches it, so the next queue made or destroyed
// elsewhere joins and frees them, or the end of the process does.
class FinishedThreads final {
public:
    ~FinishedThreads() { reap(); }

    void add(QThread *thread)
    {
        QMutexLocker lock(&mMutex);
        mThreads.append(thread);
    }

    // Never called from one of the threads it holds.
    void reap()
    {
        QList<QThread *> threads;
        {
            QMutexLocker lock(&mMutex);
            threads.swap(mThreads);
        }
        for (QThread *thread : std::as_const(threads)) {
            thread->wait();
            delete thread;
        }
    }

private:
    QMutex mMutex;
    QList<QThread *> mThreads;
};

FinishedThreads &finishedThreads()
{
    static FinishedThreads threads;
    return threads;
}

} // namespace

SerialQueue::SerialQueue(const QString &name) : mThread(new QThread)
{
    finishedThreads().reap();
    mThread->setObjectName(name);
    mContext = new QObject;
    mContext->moveToThread(mThread);
    QObject::connect(mThread, &QThread::finished, mContext, &QObject::deleteLater);
    mThread->start();
}

SerialQueue::~SerialQueue()
{
    mThread->quit();
    if (isCurrentThread()) {
        // A job is destroying its own queue: the thread ends after this job.
        finishedThreads().add(mThread);
        return;
    }
    mThread->wait();
    delete mThread;
    finishedThreads().reap();
}

QString SerialQueue::name() const
{
    return mThread->objectName();
}

void SerialQueue::async(std::function<void()> job)
{
    QMetaObject::invokeMethod(mContext, std::move(job), Qt::QueuedConnection);
}

void SerialQueue::asyncAfter(int milliseconds, std::function<void()> job)
{
    QObject *context = mContext;
    QMetaObject::invokeMethod(
        context, [context, milliseconds, job = std::move(job)] { QTimer::singleShot(milliseconds, context, job); },
        Qt::QueuedConnection);
}

bool SerialQueue::isCurrentThread() const
{
    return QThread::currentThread() == mThread;
}
