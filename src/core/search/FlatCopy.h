// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// Copies files flat into one folder: every file lands directly in the folder, whatever folder it
// came from. A file never replaces anything there: when its name is taken, the copy arrives as
// "name (2).ext", then "(3)" and so on. Each copy is written under a temporary name in the
// destination and gets its final name only when it is complete, so a failed or cancelled copy
// leaves nothing behind, and what a killed copy left is removed by the next copy into that folder.
// A source that changes while it is copied (its size or times differ afterwards) is copied again,
// a few times at most, and otherwise reported as not copied, so a copy never mixes two versions.
// After a failure the remaining files are still tried; a cancel stops them.
//
// A source may also be an entry inside a pack: its bytes are streamed out of the pack (nested packs
// too, under the pack reader's limits) into the temporary file, and the copy is named after the
// entry's own name, by the same rule.
//
// run() does the work on the calling thread (a worker's, normally). progress() and cancel() may be
// called from any other thread meanwhile: the worker only stores atomics and never waits for
// anyone, so a busy GUI cannot slow it down.
class FlatCopy
{
public:
    struct Progress
    {
        int filesDone = 0; // files finished, copied or not
        int filesTotal = 0;
        qint64 bytesDone = 0;
        qint64 bytesTotal = 0; // the sizes of the sources when the copy started
        int current = -1;      // index into sources() of the file being copied; -1 before and after
    };

    struct Failure
    {
        QString source;
        QString error; // why this file was not copied
    };

    // Shaped like a Status, with an error text per file that was not copied: ok() when every file
    // arrived.
    struct Result
    {
        int total = 0;
        QStringList arrived; // the paths the copies arrived at, in the order of the sources
        int renamed = 0;     // copies that arrived under another name, their own being taken
        QList<Failure> failures;
        bool cancelled = false;

        int notArrived() const { return total - int(arrived.size()); }
        bool ok() const { return notArrived() == 0; }
    };

    // A file, or an entry inside a pack.
    struct Source
    {
        QString path;      // the file; for an entry, the pack
        QStringList inner; // the entry's place inside the pack (see PackEntryData); empty for a file
        qint64 size = 0;   // for an entry, its size as its pack tells it (files are measured)
    };

    FlatCopy(const QStringList &sources, const QString &destination);
    FlatCopy(const QList<Source> &sources, const QString &destination);
    FlatCopy(const FlatCopy &) = delete;
    FlatCopy &operator=(const FlatCopy &) = delete;

    // The sources as text: a file's path, an entry's "pack › entry" (what failures name).
    const QStringList &sources() const { return m_sources; }
    // The name a source's copy takes: the file's name, or the entry's own.
    QString sourceName(int index) const;
    const QString &destination() const { return m_destination; }

    // Copies every source, once. Blocks until done or cancelled.
    void run();
    // Asks run() to stop: the file being copied is dropped and the rest is not tried.
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool isCancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }

    Progress progress() const;
    // Valid once run() has returned.
    const Result &result() const { return m_result; }

    // Called on the running thread after every piece of data written and after every file. Meant
    // for observers that need every step (tests, benchmarks); a GUI polls progress() instead.
    void setProgressHook(std::function<void(const Progress &)> hook) { m_hook = std::move(hook); }
    // Bytes handed to one system call at most; smaller pieces mean quicker cancels and more
    // progress steps, larger ones fewer calls.
    void setChunkSize(qint64 bytes) { m_chunkSize = bytes; }

    // The name of the n-th candidate for a file called name: name itself for n = 1, otherwise
    // "base (n).ext", where ext is what follows the last dot (a leading dot starts no extension).
    static QString candidateName(const QString &name, int n);

private:
    Status copyOne(int index, QString &arrivedAt);
    // An entry inside a pack, streamed into a temporary file that then gets its name.
    Status copyEntry(int index, QString &arrivedAt);
    // The end of a copy into a temporary file: claimed under its name unless it failed or was
    // cancelled; otherwise the file (fd, closed here when still open) is removed.
    Status finishTemporary(Status done, int &fd, const QString &temporary, const QString &name, QString &arrivedAt);
#ifndef Q_OS_WIN
    // The steps of a copy: the source opened and checked, a temporary file made and locked in the
    // destination, the contents copied.
    Status openSource(const QString &source, const QString &name, int &fd, struct stat &st);
    Status createTemporary(unsigned mode, int &out, int &held, QString &temporary);
    Status copyContents(int in, int out, struct stat &st);
#endif
    // Removes the temporary files of earlier copies into the destination that were cut off (the
    // program was killed): regular files of exactly our temporary names that no running copy holds.
    void removeLeftovers() const;
    // Gives the finished temporary copy the first free candidate name.
    Status claim(const QString &temporary, const QString &name, QString &arrivedAt);
    void report();

    QStringList m_sources;
    QStringList m_paths;        // per source: the file, or the pack an entry lies in
    QList<QStringList> m_inner; // per source; empty for a file
    QList<qint64> m_entrySizes; // per source
    const QString m_destination;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_filesDone{0};
    std::atomic<qint64> m_bytesDone{0};
    std::atomic<qint64> m_bytesTotal{0};
    std::atomic<int> m_current{-1};
    qint64 m_chunkSize = 8 * 1024 * 1024;
    std::function<void(const Progress &)> m_hook;
    std::unique_ptr<char[]> m_buffer;
    bool m_inKernel = true; // until the system says it cannot copy between these files itself
    Result m_result;
};
