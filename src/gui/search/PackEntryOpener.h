// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

#include <deque>
#include <memory>

class QTemporaryDir;
class QWidget;

namespace Platform {
class BackgroundWorker;
}

// Opens entries inside packs: each is taken out of its pack (streamed, nested packs too, under the
// pack reader's limits) on a worker (docs/background-work.md) into a folder of its own inside a
// private temporary folder, keeping its name, and is then opened as files are. The private folder
// is made on first use, for the user alone, under the system's temporary folder, and is removed
// with all it holds when the opener goes (with the search window). A failure is told in a message
// naming the entry and the reason.
class PackEntryOpener : public QObject
{
    Q_OBJECT

public:
    // Messages are shown over parent.
    explicit PackEntryOpener(QWidget *parent);
    // Stops a taking-out under way and removes the private folder.
    ~PackEntryOpener() override;

    // Takes the entry out and opens it; text names it in messages ("pack.zip › folder/a.txt").
    // Entries asked for while one is taken out wait their turn.
    void open(const QString &packPath, const QStringList &inner, const QString &text);
    // The private folder; empty until the first entry is taken out.
    QString folder() const;
    bool isBusy() const;

Q_SIGNALS:
    // An entry has been opened, or its failure told.
    void done();

private:
    struct Job
    {
        QString packPath;
        QStringList inner;
        QString text;
        QString target; // filled in when it starts
    };
    struct Outcome;

    void startNext();
    void finishJob();

    QWidget *m_parent;
    std::unique_ptr<QTemporaryDir> m_dir;
    Platform::BackgroundWorker *m_worker;
    std::deque<Job> m_jobs; // the first one is under way while the worker runs
    std::shared_ptr<Outcome> m_outcome;
    int m_taken = 0; // entries taken out so far: each gets a folder of that number
};
