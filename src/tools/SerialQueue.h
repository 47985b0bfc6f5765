#pragma once

#include <QString>
#include <QThread>

#include <functional>

class QObject;

// A named serial work queue: one thread of its own runs jobs one at a time,
// in the order they were queued. Delayed jobs wait on a timer, never by
// blocking the thread. Destroying the queue drops jobs not yet started and
// waits for the running one (unless it is destroyed by its own job).
class SerialQueue final {
public:
    explicit SerialQueue(const QString &name);
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    QString name() const;
    void async(std::function<void()> job);
    void asyncAfter(int milliseconds, std::function<void()> job);
    bool isCurrentThread() const;

private:
    QThread *mThread = nullptr;
    QObject *mContext = nullptr;
};
