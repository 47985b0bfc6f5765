#pragma once

#include <QObject>
#include <QString>

#include <functional>

class TaskQueue;

// Waits for one task to end on this node, for at most a given time, then
// calls its function once and goes. A status poll of a task about to end is
// answered this way when it ends, instead of with "running" and a wait that
// the client rounds up to its shortest pace.
class TaskEndWait final : public QObject {
    Q_OBJECT
public:
    // The wait belongs to `context`: gone with it, it never calls `done`.
    static void start(const TaskQueue &queue, const QString &taskId, int limitMs, QObject *context,
                      std::function<void()> done);

private:
    TaskEndWait(QObject *context, std::function<void()> done);
    void finish();

    std::function<void()> mDone;
};
