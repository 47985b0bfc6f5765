// A process whose last queue ends on its own thread while the process exits,
// after every static made later than the queue's owner is gone (as a
// client's run state, made before its tasks' queues, ends with them). A queue
// has ended on its own thread before, as in any run. Exits 0 when that is safe.
#include "tools/SerialQueue.h"

#include <QCoreApplication>
#include <QSemaphore>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;

struct Owner {
    SerialQueue queue{QStringLiteral("ends at exit")};
};

// Made before the first queue, so ended after what the queues made at exit.
struct AtExit {
    QSemaphore started;
    QSemaphore exiting;
    QSemaphore ended;

    ~AtExit()
    {
        exiting.release();
        if (!ended.tryAcquire(1, kWaitMs)) {
            std::fputs("the queue's last job did not end\n", stderr);
            std::_Exit(3);
        }
    }
};

AtExit &atExit()
{
    static AtExit held;
    return held;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    AtExit &exit = atExit();
    QSemaphore first;
    auto *ending = new SerialQueue(QStringLiteral("ends itself"));
    ending->async([ending, &first] {
        delete ending;
        first.release();
    });
    if (!first.tryAcquire(1, kWaitMs))
        return 2;
    auto owner = std::make_shared<Owner>();
    Owner *raw = owner.get();
    raw->queue.async([owner = std::move(owner), &exit]() mutable {
        exit.started.release();
        exit.exiting.acquire();
        owner.reset(); // the last reference: the queue ends on this, its own thread
        exit.ended.release();
    });
    // Running before the application ends: a queue's loop cannot start after.
    return exit.started.tryAcquire(1, kWaitMs) ? 0 : 2;
}
