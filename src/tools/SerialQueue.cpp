#include "tools/SerialQueue.h"

#include <QObject>
#include <QTimer>

SerialQueue::SerialQueue(const QString &name) : mThread(new QThread)
{
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
        QObject::connect(mThread, &QThread::finished, mThread, &QObject::deleteLater);
        return;
    }
    mThread->wait();
    delete mThread;
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
