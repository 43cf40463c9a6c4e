// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundWorker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <utility>

namespace Platform {

BackgroundWorker::BackgroundWorker(QObject *parent)
    : QObject(parent)
{
}

BackgroundWorker::~BackgroundWorker()
{
    stop();
}

bool BackgroundWorker::start(Work work)
{
    if (m_running)
        return false;
    m_running = true;
    m_resultsAnnounced.store(false);
    {
        const std::lock_guard lock(m_mutex);
        m_returned = false;
    }
    m_thread = std::jthread([this, work = std::move(work)](std::stop_token stop) {
        // A failure of the work ends the run like a return; it must never end the program.
        try {
            work(stop);
        } catch (...) {
        }
        {
            const std::lock_guard lock(m_mutex);
            m_returned = true;
        }
        m_returnedChanged.notify_all();
        // Behind any results announced before, as events to one object arrive in order.
        QMetaObject::invokeMethod(this, "end", Qt::QueuedConnection);
    });
    return true;
}

void BackgroundWorker::requestStop()
{
    m_thread.request_stop();
}

void BackgroundWorker::stop()
{
    if (!m_running)
        return;
    m_thread.request_stop();
    collect();
    // The wake-ups of this run, for results and for its end, are dropped: the owner is done with it.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    m_resultsAnnounced.store(false);
}

bool BackgroundWorker::waitForEnd(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    return m_returnedChanged.wait_for(lock, std::chrono::milliseconds(std::max(0, milliseconds)),
                                      [this] { return m_returned; });
}

void BackgroundWorker::notifyResults()
{
    if (!m_resultsAnnounced.exchange(true))
        QMetaObject::invokeMethod(this, "deliverResults", Qt::QueuedConnection);
}

void BackgroundWorker::deliverResults()
{
    // Cleared before the owner takes: whatever is added after its take announces itself again.
    m_resultsAnnounced.store(false);
    Q_EMIT resultsReady();
}

void BackgroundWorker::end()
{
    if (!m_running)
        return;
    collect();
    Q_EMIT finished();
}

void BackgroundWorker::collect()
{
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

} // namespace Platform
