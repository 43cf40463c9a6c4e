// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderCountService.h"

#include "FileCount.h"
#include "core/platform/BackgroundWorker.h"

#include <utility>

FolderCountService::FolderCountService(Counter counter, QObject *parent)
    : QObject(parent), m_counter(counter ? std::move(counter) : Counter(&CountFiles)),
      m_worker(new Platform::BackgroundWorker(this))
{
    m_deliveryTimer.setSingleShot(true);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &FolderCountService::deliver);
    connect(m_worker, &Platform::BackgroundWorker::resultsReady, this, &FolderCountService::deliver);
    m_worker->start([this](std::stop_token stop) { work(stop); });
}

FolderCountService::~FolderCountService()
{
    {
        std::unique_lock lock(m_mutex);
        m_jobs.clear();
        ++m_round;
    }
    m_worker->stop();
}

void FolderCountService::request(qint64 accountId, const QString &folder, qint32 limit)
{
    const QPair<qint64, QString> key(accountId, folder);
    if (m_asked.contains(key))
        return;
    m_asked.insert(key);
    std::unique_lock lock(m_mutex);
    m_jobs.push_back({m_round.load(), accountId, folder, limit});
    m_wake.notify_one();
}

void FolderCountService::cancel()
{
    m_asked.clear();
    std::unique_lock lock(m_mutex);
    m_jobs.clear();
    m_done.clear();
    ++m_round;
}

void FolderCountService::work(const std::stop_token &stop)
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [this] { return !m_jobs.empty(); }))
                return; // stop requested
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // One folder that cannot be counted never stops the others.
        qint32 count = 0;
        try {
            count = m_counter(job.folder, job.limit);
        } catch (...) {
            count = 0;
        }
        bool announce = false;
        {
            std::unique_lock lock(m_mutex);
            if (job.round != m_round.load())
                continue; // cancelled meanwhile
            m_done.append({job.round, {job.accountId, std::move(job.folder), count}});
            // One delivery at a time: counts made while the window is busy, or while a delivery
            // waits for its interval, arrive together.
            announce = !std::exchange(m_deliveryAnnounced, true);
        }
        if (announce)
            m_worker->notifyResults();
    }
}

void FolderCountService::deliver()
{
    if (m_lastDelivery.isValid() && m_lastDelivery.elapsed() < DeliveryIntervalMs) {
        // Too soon after the last batch: this one gathers what comes meanwhile (the worker announces
        // no other delivery until it is made).
        if (!m_deliveryTimer.isActive())
            m_deliveryTimer.start(int(DeliveryIntervalMs - m_lastDelivery.elapsed()));
        return;
    }
    m_lastDelivery.start();
    QList<Done> done;
    {
        std::unique_lock lock(m_mutex);
        m_deliveryAnnounced = false;
        done.swap(m_done);
    }
    const quint64 round = m_round.load();
    QList<FolderCount> counts;
    counts.reserve(done.size());
    for (Done &d : done) {
        if (d.round != round)
            continue;
        if (m_asked.remove({d.count.accountId, d.count.folder}))
            counts.append(std::move(d.count));
    }
    if (!counts.isEmpty())
        Q_EMIT counted(counts);
    if (m_asked.isEmpty() && !counts.isEmpty())
        Q_EMIT finished();
}
