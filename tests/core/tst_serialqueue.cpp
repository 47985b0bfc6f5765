#include "tools/SerialQueue.h"

#include "support/TestMain.h"

#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

class TestSerialQueue : public QObject {
    Q_OBJECT

private slots:
    void jobsRunOneAtATimeInOrder();
    void queueEndedByItsOwnJobIsFreed();
    void queueMadeInTheLastJobOfAnotherRuns();
    void queueEndingOnItsOwnThreadAtExitIsSafe();
};

void TestSerialQueue::jobsRunOneAtATimeInOrder()
{
    SerialQueue queue(QStringLiteral("order"));
    QMutex mutex;
    QList<int> ran;
    std::atomic_int running{0};
    std::atomic_bool overlapped{false};
    const auto job = [&](int number) {
        return [&, number] {
            overlapped = overlapped || running.fetch_add(1) > 0;
            QThread::msleep(2);
            QMutexLocker lock(&mutex);
            ran.append(number);
            running.fetch_sub(1);
        };
    };
    // A delayed job waits on a timer: the jobs queued after it still run first.
    queue.asyncAfter(1000, job(99));
    for (int number = 0; number < 20; ++number)
        queue.async(job(number));
    QTRY_COMPARE_WITH_TIMEOUT(
        [&] {
            QMutexLocker lock(&mutex);
            return ran.size();
        }(),
        21, 10000);
    QList<int> expected;
    for (int number = 0; number < 20; ++number)
        expected.append(number);
    expected.append(99);
    QCOMPARE(ran, expected);
    QVERIFY(!overlapped);
}

void TestSerialQueue::queueEndedByItsOwnJobIsFreed()
{
    // Made on a thread without an event loop that has ended by the time the
    // job runs, as a network worker's thread may have: nothing is left there
    // to free the queue's thread later.
    QPointer<QThread> worker;
    std::atomic_bool done{false};
    std::thread([&] {
        auto *queue = new SerialQueue(QStringLiteral("self-ending"));
        queue->asyncAfter(50, [queue, &worker, &done] {
            worker = QThread::currentThread();
            delete queue;
            done = true;
        });
    }).join();
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    QVERIFY(!worker.isNull());
    QVERIFY(worker->wait(10000));
    // The next queue frees the ended thread.
    SerialQueue next(QStringLiteral("next"));
    QVERIFY(worker.isNull());
}

void TestSerialQueue::queueMadeInTheLastJobOfAnotherRuns()
{
    // A queue's last job destroys its queue and then makes a new one: the
    // new queue must not wait on, or free, the thread it is made on.
    std::atomic_bool ran{false};
    std::unique_ptr<SerialQueue> made;
    std::atomic_bool done{false};
    auto *queue = new SerialQueue(QStringLiteral("ending"));
    queue->async([&] {
        delete queue;
        made = std::make_unique<SerialQueue>(QStringLiteral("made in the last job"));
        made->async([&] { ran = true; });
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done && ran, 10000);
    made.reset();
}

void TestSerialQueue::queueEndingOnItsOwnThreadAtExitIsSafe()
{
    // Its fault showed at exit only, so it is seen from another process.
    QProcess process;
    process.start(qEnvironmentVariable("MIRELUNE_QUEUE_AT_EXIT"), QStringList());
    QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
}

MIRELUNE_TEST_MAIN(TestSerialQueue)
#include "tst_serialqueue.moc"
