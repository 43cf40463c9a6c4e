// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>

namespace Platform {
class BackgroundWorker;
}

// One folder count: the account it was asked for, the folder and what the counter gave.
struct FolderCount
{
    qint64 accountId = 0;
    QString folder;
    qint32 count = 0;
};

// Counts save folders on a thread of its own (a Platform::BackgroundWorker, see
// docs/background-work.md), so that a large tree or a slow disk never holds up the window. Counts are
// asked for one by one and come back in batches, through a queued signal, in the thread the service
// lives in. Asking again after cancel() starts a new round: what the old round
// still had to count is dropped, and a count of it that finishes late never arrives.
class FolderCountService : public QObject
{
    Q_OBJECT

public:
    using Counter = std::function<qint32(const QString &folder, qint32 limit)>;

    // The counter runs on the service's thread (CountFiles unless given).
    explicit FolderCountService(Counter counter = {}, QObject *parent = nullptr);
    // Cancels, asks the worker to stop and waits for it: the folder being counted is finished first
    // (a count is bounded by its limit).
    ~FolderCountService() override;

    // Asks for a folder's count. The same account and folder asked twice in a round is counted once.
    void request(qint64 accountId, const QString &folder, qint32 limit);
    // Drops what was asked: nothing asked before arrives any more.
    void cancel();
    // Whether the round has folders still to count (asked for and not yet delivered).
    bool isBusy() const { return !m_asked.isEmpty(); }

Q_SIGNALS:
    // Counts of the current round, in the order they were made.
    void counted(const QList<FolderCount> &counts);
    // The round has nothing more to count.
    void finished();

private:
    struct Job
    {
        quint64 round = 0;
        qint64 accountId = 0;
        QString folder;
        qint32 limit = 0;
    };
    struct Done
    {
        quint64 round = 0;
        FolderCount count;
    };

    // On the worker's thread, until the stop request.
    void work(const std::stop_token &stop);
    // In the service's thread: hands over the counts made so far (on the worker's resultsReady()).
    void deliver();

    Counter m_counter;
    std::mutex m_mutex; // the standard ones: the thread checker sees their waits
    std::condition_variable_any m_wake; // woken by a request, and by the worker's stop request
    std::deque<Job> m_jobs;          // guarded by m_mutex
    QList<Done> m_done;              // guarded by m_mutex
    bool m_deliveryAnnounced = false; // guarded by m_mutex; the counts since are one batch
    std::atomic<quint64> m_round{1};
    Platform::BackgroundWorker *m_worker; // a child: started with the service, stopped by its destructor
    // In the service's own thread only. Counts are handed over at most once per interval, so that a
    // fast counter does not keep the window busy with many small batches.
    static constexpr int DeliveryIntervalMs = 40;
    QTimer m_deliveryTimer;
    QElapsedTimer m_lastDelivery;
    // Asked for in this round and not yet delivered.
    QSet<QPair<qint64, QString>> m_asked;
};
