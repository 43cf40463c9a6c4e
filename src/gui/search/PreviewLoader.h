// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/packs/MatchPreview.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>

namespace Platform {
class BackgroundWorker;
}

// Finds the previews of content matches on a worker of its own (docs/background-work.md), never
// on the GUI thread: the model asks for the rows a view shows, the newest request first, so what
// scrolled out of sight meanwhile waits behind what is in sight. Requests beyond kMostWaiting drop
// the oldest; the caller hears which, and asks again when that row shows again.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMostWaiting = 200;

    struct Answer
    {
        quint64 key = 0;
        std::optional<MatchPreviewText> preview;
    };

    explicit PreviewLoader(QObject *parent = nullptr);
    // Stops the preview under way and waits for the worker.
    ~PreviewLoader() override;

    // Queues a request under the caller's key. Returns the keys of requests dropped to make room.
    QList<quint64> request(quint64 key, const MatchPreviewRequest &what);
    // Forgets every request and answer, and stops the preview under way.
    void dropAll();
    // The answers since the last call.
    QList<Answer> takeAnswers();

Q_SIGNALS:
    void answersReady();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    Platform::BackgroundWorker *m_worker = nullptr;
};
