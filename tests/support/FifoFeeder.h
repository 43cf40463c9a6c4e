// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A named pipe at a path with a writer behind it: whoever opens the pipe for reading gets contents,
// then the end of the file, each time it is opened. A reader that opens the pipe is thus never left
// waiting, so a test of code that should refuse the pipe fails, rather than hangs, when the code reads
// it after all. POSIX only; isValid() is false elsewhere.
class FifoFeeder
{
public:
    FifoFeeder(const QString &path, const QByteArray &contents);
    ~FifoFeeder();
    FifoFeeder(const FifoFeeder &) = delete;
    FifoFeeder &operator=(const FifoFeeder &) = delete;

    bool isValid() const { return m_valid; }

private:
    void feed();

    QByteArray m_path;
    QByteArray m_contents;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    bool m_valid = false;
};
