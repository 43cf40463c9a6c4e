// SPDX-License-Identifier: GPL-3.0-or-later
// The background worker: results reach the owner's thread in batches and before the end; a stop
// is a request, then a wait, after which nothing of the run arrives; destroying a running worker
// stops it; a run that fails still ends.
#include "core/platform/BackgroundWorker.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

using Platform::BackgroundWorker;

namespace {

// What the work hands the owner, the way the program's owners keep it: behind a mutex of their own.
struct Results
{
    std::mutex mutex;
    std::vector<int> items; // guarded by mutex

    void add(BackgroundWorker &worker, int item)
    {
        {
            const std::lock_guard lock(mutex);
            items.push_back(item);
        }
        worker.notifyResults();
    }
    std::vector<int> take()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(items, {});
    }
};

// Work that sleeps until the owner lets it go or a stop is requested; sleeping tells the owner.
struct Gate
{
    std::mutex mutex;
    std::condition_variable_any changed;
    bool open = false;      // guarded by mutex
    bool sleeping = false;  // guarded by mutex
    bool sawStop = false;   // guarded by mutex

    // On the work: false when woken by the stop request.
    bool pass(const std::stop_token &stop)
    {
        std::unique_lock lock(mutex);
        sleeping = true;
        changed.notify_all();
        const bool opened = changed.wait(lock, stop, [this] { return open; });
        sawStop = !opened;
        return opened;
    }
    void waitUntilSleeping()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return sleeping; });
    }
    void letGo()
    {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    bool stopSeen()
    {
        const std::lock_guard lock(mutex);
        return sawStop;
    }
};

} // namespace

class TestBackgroundWorker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resultsArriveInBatchesInTheOwnersThread();
    void finishedFollowsTheLastBatch();
    void endingByRequestOrByStop_data();
    void endingByRequestOrByStop();
    void stopWhileBusyDropsWhatIsUndelivered();
    void destroyedWhileRunning();
    void secondStartWhileRunningIsRefused();
    void failingWorkStillEnds();
};

void TestBackgroundWorker::resultsArriveInBatchesInTheOwnersThread()
{
    BackgroundWorker worker;
    Results results;
    std::vector<int> got;
    int batches = 0;
    bool ownThread = true;
    connect(&worker, &BackgroundWorker::resultsReady, this, [&] {
        ownThread = ownThread && QThread::currentThread() == thread();
        ++batches;
        const std::vector<int> batch = results.take();
        got.insert(got.end(), batch.begin(), batch.end());
    });
    constexpr int kItems = 1000;
    QVERIFY(worker.start([&](std::stop_token) {
        for (int i = 0; i < kItems; ++i)
            results.add(worker, i);
    }));
    // The owner is busy until the work has made all of them: they come as one batch.
    QVERIFY(worker.waitForEnd(60'000));
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QVERIFY(finished.wait(60'000));
    QCOMPARE(batches, 1);
    QVERIFY(ownThread);
    QCOMPARE(int(got.size()), kItems);
    for (int i = 0; i < kItems; ++i)
        QCOMPARE(got[size_t(i)], i);
    QVERIFY(!worker.isRunning());
}

void TestBackgroundWorker::finishedFollowsTheLastBatch()
{
    // Results made while the owner takes batches all arrive, none after finished().
    BackgroundWorker worker;
    Results results;
    int got = 0;
    bool afterEnd = false;
    bool ended = false;
    connect(&worker, &BackgroundWorker::resultsReady, this, [&] {
        afterEnd = afterEnd || ended;
        got += int(results.take().size());
    });
    connect(&worker, &BackgroundWorker::finished, this, [&] { ended = true; });
    constexpr int kItems = 20'000;
    QVERIFY(worker.start([&](std::stop_token) {
        for (int i = 0; i < kItems; ++i)
            results.add(worker, i);
    }));
    QTRY_VERIFY_WITH_TIMEOUT(ended, 60'000);
    QCoreApplication::processEvents();
    QCOMPARE(got, kItems);
    QVERIFY(!afterEnd);
}

void TestBackgroundWorker::endingByRequestOrByStop_data()
{
    QTest::addColumn<bool>("wait");
    QTest::newRow("request, then finished()") << false;
    QTest::newRow("stop(): request and wait") << true;
}

void TestBackgroundWorker::endingByRequestOrByStop()
{
    QFETCH(bool, wait);
    BackgroundWorker worker;
    Gate gate;
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QVERIFY(worker.start([&](std::stop_token stop) { gate.pass(stop); }));
    gate.waitUntilSleeping();
    QVERIFY(!worker.waitForEnd(0));
    if (wait) {
        worker.stop();
        // Awaited: the work has seen the stop and returned; no signal of that run comes later.
        QVERIFY(gate.stopSeen());
        QVERIFY(!worker.isRunning());
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 0);
    } else {
        worker.requestStop();
        QVERIFY(worker.isRunning());
        QVERIFY(finished.wait(60'000));
        QVERIFY(gate.stopSeen());
        QVERIFY(!worker.isRunning());
        QCOMPARE(finished.size(), 1);
    }
    // The worker can run again.
    QVERIFY(worker.start([](std::stop_token) {}));
    QVERIFY(finished.wait(60'000));
}

void TestBackgroundWorker::stopWhileBusyDropsWhatIsUndelivered()
{
    BackgroundWorker worker;
    Results results;
    std::atomic<bool> busy{false};
    bool sawStop = false;
    QSignalSpy ready(&worker, &BackgroundWorker::resultsReady);
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QVERIFY(worker.start([&](std::stop_token stop) {
        // Busy: results keep coming until the stop.
        results.add(worker, 0);
        busy.store(true);
        busy.notify_all();
        for (int i = 1; !stop.stop_requested(); ++i)
            results.add(worker, i);
        sawStop = true;
    }));
    // The owner has handled no event yet: the wake-up for the first results is still queued.
    busy.wait(false);
    worker.stop();
    QVERIFY(sawStop); // read after the wait: the work's last write is ordered before it
    QVERIFY(!worker.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(ready.size(), 0);
    QCOMPARE(finished.size(), 0);
    QVERIFY(!results.take().empty());
}

void TestBackgroundWorker::destroyedWhileRunning()
{
    Results results;
    Gate gate;
    auto worker = std::make_unique<BackgroundWorker>();
    bool heard = false;
    connect(worker.get(), &BackgroundWorker::resultsReady, this, [&] { heard = true; });
    QVERIFY(worker->start([&, w = worker.get()](std::stop_token stop) {
        results.add(*w, 1);
        gate.pass(stop);
    }));
    gate.waitUntilSleeping();
    worker.reset(); // asks, wakes the sleeping work and waits for it
    QVERIFY(gate.stopSeen());
    QCoreApplication::processEvents();
    QVERIFY(!heard);
}

void TestBackgroundWorker::secondStartWhileRunningIsRefused()
{
    BackgroundWorker worker;
    Gate gate;
    int runs = 0;
    QVERIFY(worker.start([&](std::stop_token stop) {
        ++runs;
        gate.pass(stop);
    }));
    gate.waitUntilSleeping();
    QVERIFY(!worker.start([&](std::stop_token) { ++runs; }));
    gate.letGo();
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QVERIFY(finished.wait(60'000));
    QCOMPARE(runs, 1);
}

void TestBackgroundWorker::failingWorkStillEnds()
{
    BackgroundWorker worker;
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QVERIFY(worker.start([](std::stop_token) { throw std::runtime_error("disk gone"); }));
    QVERIFY(finished.wait(60'000));
    QVERIFY(!worker.isRunning());
}

QTEST_GUILESS_MAIN(TestBackgroundWorker)
#include "tst_backgroundworker.moc"
