// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

// Work in the background, the one way this program does it (docs/background-work.md):
//
// - The object that starts the work owns its BackgroundWorker, and lives in the thread that
//   receives the results (the GUI thread, normally).
// - The work runs on a thread of its own and is stopped by a request, then awaited: stop() raises
//   the stop token, which also wakes a wait on a std::condition_variable_any given that token, and
//   joins the thread. Nothing of that run reaches the owner afterwards. The destructor does the same.
// - Results are kept by the owner's own queue (behind a mutex); the work calls notifyResults()
//   after adding to it, and the owner gets one resultsReady() per batch, however many results the
//   batch holds. Only a wake-up travels through the event queue, never the results themselves, so
//   everything handed over is ordered by a lock a race checker sees.
// - When the work returns by itself (finished, or after requestStop()), the owner gets finished(),
//   after the last resultsReady(). Nobody waits inside a nested event loop for that.
//
// The standard thread and its join are used on purpose: a race checker sees a thread's start and
// its end, and orders all the work did before all the owner does after stop() or finished().
namespace Platform {

class BackgroundWorker : public QObject
{
    Q_OBJECT

public:
    // The work. Returns once it is done or the token asks it to stop.
    using Work = std::function<void(std::stop_token stop)>;

    explicit BackgroundWorker(QObject *parent = nullptr);
    // stop(): no signal of a run still going is emitted after this.
    ~BackgroundWorker() override;

    // Starts the work on a new thread. False, and nothing started, while a run is going (until its
    // finished() or a stop()).
    bool start(Work work);
    // Asks the work to stop and returns at once; finished() follows when the work has returned.
    void requestStop();
    // Asks the work to stop and waits until its thread has ended. What it announced and had not
    // been delivered yet, and its finished(), never arrive.
    void stop();
    // Waits, for at most the given time and without handling any event, until the work has
    // returned; true when it has. What it announced and its finished() are still delivered.
    bool waitForEnd(int milliseconds);
    // From start() until finished() has been emitted or stop() has returned.
    bool isRunning() const { return m_running; }

    // May be called from any thread, the work's above all: there are new results to take. Only one
    // wake-up is on its way at a time; everything added before the owner takes them is one batch.
    void notifyResults();

Q_SIGNALS:
    // In the owner's thread: take what the work has added since the last batch.
    void resultsReady();
    // In the owner's thread: the work has returned and its thread has ended.
    void finished();

private:
    // Called by name through the owner's event queue, so that no data of ours rides in the event.
    Q_INVOKABLE void deliverResults();
    Q_INVOKABLE void end();
    void collect();

    std::jthread m_thread;
    bool m_running = false; // in the owner's thread only
    std::atomic<bool> m_resultsAnnounced{false};
    std::mutex m_mutex; // guards m_returned
    std::condition_variable m_returnedChanged;
    bool m_returned = false;
};

} // namespace Platform
