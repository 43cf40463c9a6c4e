// SPDX-License-Identifier: GPL-3.0-or-later
#include "FifoFeeder.h"

#include <QFile>

#include <chrono>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

FifoFeeder::FifoFeeder(const QString &path, const QByteArray &contents)
    : m_path(QFile::encodeName(path)), m_contents(contents)
{
#ifdef Q_OS_UNIX
    // A reader that goes away early must not end the test with a broken pipe.
    ::signal(SIGPIPE, SIG_IGN);
    if (::mkfifo(m_path.constData(), 0600) != 0)
        return;
    m_valid = true;
    m_thread = std::thread([this] { feed(); });
#endif
}

FifoFeeder::~FifoFeeder()
{
#ifdef Q_OS_UNIX
    if (!m_valid)
        return;
    m_stop = true;
    m_thread.join();
    struct stat st = {};
    if (::lstat(m_path.constData(), &st) == 0 && S_ISFIFO(st.st_mode))
        ::unlink(m_path.constData());
#endif
}

void FifoFeeder::feed()
{
#ifdef Q_OS_UNIX
    // The writer waits for a reader by trying again, not in a blocking open(): a pipe that is taken
    // away or replaced meanwhile would leave such an open waiting for ever.
    while (!m_stop) {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENXIO && errno != EINTR)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        struct stat st = {};
        if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
            ::close(fd); // something else stands there now: it is not written to
            return;
        }
        ::fcntl(fd, F_SETFL, 0);
        qsizetype done = 0;
        while (done < m_contents.size()) {
            const ssize_t n = ::write(fd, m_contents.constData() + done, size_t(m_contents.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        ::close(fd);
        // The reader sees the end of the file only while no writer has the pipe open.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
#endif
}
