#include "tools/SerialQueue.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTimer>

#include <cstdlib>

namespace {

// Threads of queues destroyed by their own job. Such a thread cannot join
// itself, and the object's own thread (often a network worker or a pool
// thread) may have no event loop left for a deferred delete, so the next
// queue made or destroyed frees those that have ended, and the end of the
// process the rest. Only ended threads are taken before then: a thread
// waiting on another still in its last job could wait on a thread that in
// turn waits on it.
class FinishedThreads final {
public:
    void add(QThread *thread)
    {
        QMutexLocker lock(&mMutex);
        mThreads.append(thread);
    }

    void reap(bool waitForAll = false)
    {
        QList<QThread *> ended;
        {
            QMutexLocker lock(&mMutex);
            for (qsizetype i = mThreads.size() - 1; i >= 0; --i) {
                QThread *thread = mThreads.at(i);
                if (thread != QThread::currentThread() && (waitForAll || thread->isFinished()))
                    ended.append(mThreads.takeAt(i));
            }
        }
        for (QThread *thread : std::as_const(ended)) {
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
    // Never destroyed: queues owned by objects that end after it at exit
    // (made before the first queue, as a client's run state is) still hand
    // their threads in as they end. The threads left are joined at exit.
    static FinishedThreads *const threads = [] {
        auto *made = new FinishedThreads;
        std::atexit([] { finishedThreads().reap(true); });
        return made;
    }();
    return *threads;
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
        context,
        [context, milliseconds, job = std::move(job)] {
            // Precise: a coarse timer (Qt's choice from 2 s up) may fire 5 % early,
            // and the waits here are a pace a service may count on.
            QTimer::singleShot(milliseconds, Qt::PreciseTimer, context, job);
        },
        Qt::QueuedConnection);
}

bool SerialQueue::isCurrentThread() const
{
    return QThread::currentThread() == mThread;
}
