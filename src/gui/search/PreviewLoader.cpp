// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewLoader.h"

#include "core/platform/BackgroundWorker.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stop_token>

struct PreviewLoader::Shared
{
    struct Request
    {
        quint64 key = 0;
        MatchPreviewRequest what;
    };

    std::mutex mutex;
    std::condition_variable_any wake;
    std::deque<Request> requests; // the newest last
    QList<Answer> answers;
    // Raised to drop the preview under way; reset (under the mutex) when the next one begins.
    std::atomic<bool> cancel{false};

    void work(std::stop_token stop, Platform::BackgroundWorker *worker);
};

void PreviewLoader::Shared::work(std::stop_token stop, Platform::BackgroundWorker *worker)
{
    const std::stop_callback cancelOnStop(stop, [this] { cancel.store(true); });
    for (;;) {
        std::unique_lock lock(mutex);
        if (!wake.wait(lock, stop, [this] { return !requests.empty(); }))
            return;
        const Request request = std::move(requests.back());
        requests.pop_back();
        cancel.store(false);
        // A stop requested before the reset above would be lost with it.
        if (stop.stop_requested())
            return;
        lock.unlock();
        std::optional<MatchPreviewText> preview = MatchPreview::find(request.what, &cancel);
        lock.lock();
        if (cancel.load())
            continue; // dropped meanwhile
        answers.append({request.key, std::move(preview)});
        lock.unlock();
        worker->notifyResults();
    }
}

PreviewLoader::PreviewLoader(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
}

PreviewLoader::~PreviewLoader()
{
    if (m_worker)
        m_worker->stop();
}

QList<quint64> PreviewLoader::request(quint64 key, const MatchPreviewRequest &what)
{
    QList<quint64> dropped;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->requests.push_back({key, what});
        while (m_shared->requests.size() > size_t(kMostWaiting)) {
            dropped << m_shared->requests.front().key;
            m_shared->requests.pop_front();
        }
    }
    m_shared->wake.notify_one();
    if (!m_worker) {
        m_worker = new Platform::BackgroundWorker(this);
        connect(m_worker, &Platform::BackgroundWorker::resultsReady, this, &PreviewLoader::answersReady);
        m_worker->start(
            [shared = m_shared, worker = m_worker](std::stop_token stop) { shared->work(std::move(stop), worker); });
    }
    return dropped;
}

void PreviewLoader::dropAll()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->requests.clear();
    m_shared->answers.clear();
    m_shared->cancel.store(true);
}

QList<PreviewLoader::Answer> PreviewLoader::takeAnswers()
{
    const std::lock_guard lock(m_shared->mutex);
    return std::exchange(m_shared->answers, {});
}
