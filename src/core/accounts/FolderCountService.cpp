// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderCountService.h"

#include "FileCount.h"

#include <QMetaObject>

#include <utility>

FolderCountService::FolderCountService(Counter counter, QObject *parent)
    : QObject(parent), m_counter(counter ? std::move(counter) : Counter(&CountFiles))
{
    m_deliveryTimer.setSingleShot(true);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &FolderCountService::deliver);
    m_thread = std::thread([this] { work(); });
}

FolderCountService::~FolderCountService()
{
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
        ++m_round;
        m_wake.notify_all();
    }
    m_thread.join();
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

void FolderCountService::work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
            if (m_stopping)
                return;
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
        std::unique_lock lock(m_mutex);
        if (job.round != m_round.load())
            continue; // cancelled meanwhile
        m_done.append({job.round, {job.accountId, std::move(job.folder), count}});
        if (!m_deliveryPosted) {
            // One delivery at a time: counts made while the window is busy arrive together.
            m_deliveryPosted = true;
            QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
        }
    }
}

void FolderCountService::deliver()
{
    if (m_lastDelivery.isValid() && m_lastDelivery.elapsed() < DeliveryIntervalMs) {
        // Too soon after the last batch: this one gathers what comes meanwhile (the thread posts no
        // other delivery until it is made).
        if (!m_deliveryTimer.isActive())
            m_deliveryTimer.start(int(DeliveryIntervalMs - m_lastDelivery.elapsed()));
        return;
    }
    m_lastDelivery.start();
    QList<Done> done;
    {
        std::unique_lock lock(m_mutex);
        m_deliveryPosted = false;
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
