// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#ifndef Q_OS_WIN
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>
#endif
#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

namespace TestSupport {

QString fastTempTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    const QFileInfo info(shm);
    const QString folder = info.isDir() && info.isWritable() ? shm : QDir::tempPath();
    return folder + QStringLiteral("/vantory-test-XXXXXX");
}

#ifndef Q_OS_WIN

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
} // namespace

DeepTree::DeepTree(int levels) : m_dir(fastTempTemplate()), m_root(m_dir.filePath(QStringLiteral("deep")))
{
    if (!m_dir.isValid() || !QDir().mkpath(m_root))
        return;
    int fd = ::open(QFile::encodeName(m_root).constData(), kFolderFlags);
    if (fd < 0)
        return;
    bool ok = true;
    for (int level = 1; level <= levels && ok; ++level) {
        int child = -1;
        ok = mkdirat(fd, "d", 0755) == 0 && (child = openat(fd, "d", kFolderFlags)) >= 0;
        if (ok) {
            ::close(fd);
            fd = child;
            const int file = openat(fd, "f", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            ok = file >= 0;
            if (ok)
                ::close(file);
        }
    }
    ::close(fd);
    m_valid = ok;
}

DeepTree::~DeepTree()
{
    removeTree(m_root);
}

bool makeRawEntry(const QByteArray &path, bool asFolder)
{
    if (asFolder)
        return ::mkdir(path.constData(), 0755) == 0;
    const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file < 0)
        return false;
    ::close(file);
    return true;
}

bool removeTree(const QString &folder)
{
    const QByteArray top = QFile::encodeName(folder);
    int fd = ::open(top.constData(), kFolderFlags);
    if (fd < 0)
        return errno == ENOENT;
    // The names from the top down to the open folder: the way back up is "..", checked by name.
    std::vector<std::string> below;
    bool ok = true;
    for (;;) {
        std::string sub;
        std::vector<std::string> files;
        DIR *dir = fdopendir(dup(fd));
        if (!dir) {
            ok = false;
            break;
        }
        while (const dirent *e = readdir(dir)) {
            const char *n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            struct stat st;
            const bool isFolder =
                e->d_type == DT_DIR ||
                (e->d_type == DT_UNKNOWN && fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode));
            if (!isFolder)
                files.emplace_back(n);
            else if (sub.empty())
                sub = n;
        }
        closedir(dir);
        for (const std::string &file : files)
            ok = unlinkat(fd, file.c_str(), 0) == 0 && ok;
        if (!sub.empty()) {
            (void)!fchmodat(fd, sub.c_str(), 0700, 0); // a test may have closed it; openat tells
            const int child = openat(fd, sub.c_str(), kFolderFlags);
            if (child < 0) {
                ok = false;
                break;
            }
            ::close(fd);
            fd = child;
            below.push_back(sub);
            continue;
        }
        if (below.empty())
            break;
        const int parent = openat(fd, "..", kFolderFlags);
        if (parent < 0) {
            ok = false;
            break;
        }
        ::close(fd);
        fd = parent;
        if (unlinkat(fd, below.back().c_str(), AT_REMOVEDIR) != 0) {
            ok = false;
            break;
        }
        below.pop_back();
    }
    ::close(fd);
    return ok && ::rmdir(top.constData()) == 0;
}

OpenFileLimit::OpenFileLimit(unsigned limit)
{
    struct rlimit rl;
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return;
    m_saved = rl.rlim_cur;
    rl.rlim_cur = limit;
    m_valid = setrlimit(RLIMIT_NOFILE, &rl) == 0;
}

OpenFileLimit::~OpenFileLimit()
{
    if (!m_valid)
        return;
    struct rlimit rl;
    getrlimit(RLIMIT_NOFILE, &rl);
    rl.rlim_cur = rlim_t(m_saved);
    setrlimit(RLIMIT_NOFILE, &rl);
}

namespace {

// One folder open at a time, moved along from path to path (see missingPaths).
class PathWalker
{
public:
    ~PathWalker() { reset(); }

    bool exists(const QByteArray &path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0 || slash + 1 == path.size() || !reach(QByteArrayView(path.constData(), slash)))
            return false;
        struct stat st;
        return fstatat(m_fd, path.constData() + slash + 1, &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

private:
    // Opens the folder at the given path ("" is "/"), going on from the folder open now: up to
    // the folder both paths share, then down.
    bool reach(QByteArrayView folder)
    {
        size_t common = 0;
        if (m_fd >= 0) {
            const qsizetype shared =
                std::mismatch(folder.begin(), folder.end(), m_at.cbegin(), m_at.cend()).first - folder.begin();
            common = size_t(std::upper_bound(m_ends.begin(), m_ends.end(), shared) - m_ends.begin());
            while (common > 0 && m_ends[common - 1] < folder.size() && folder[m_ends[common - 1]] != '/')
                --common;
        }
        // Up by "..", unless a link was followed on the way down: its ".." leads elsewhere.
        if (m_fd < 0 || std::find(m_links.begin() + qsizetype(common), m_links.end(), true) != m_links.end()) {
            reset();
            m_fd = ::open("/", kFolderFlags & ~O_NOFOLLOW);
            if (m_fd < 0)
                return false;
            common = 0;
        }
        while (m_ends.size() > common) {
            if (!step(".."))
                return false;
            m_ends.pop_back();
            m_links.pop_back();
        }
        m_at.truncate(common ? m_ends.back() : 0);
        qsizetype at = m_at.size();
        while (at < folder.size()) {
            const qsizetype from = folder[at] == '/' ? at + 1 : at;
            qsizetype to = folder.indexOf('/', from);
            if (to < 0)
                to = folder.size();
            at = to;
            if (to == from)
                continue;
            const QByteArray name = folder.sliced(from, to - from).toByteArray();
            struct stat st;
            const bool link = fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
            if (!step(name.constData()))
                return false;
            m_at.append(folder.sliced(m_at.size(), to - m_at.size()));
            m_ends.push_back(m_at.size());
            m_links.push_back(link);
        }
        return true;
    }

    bool step(const char *name)
    {
        const int next = openat(m_fd, name, kFolderFlags & ~O_NOFOLLOW);
        if (next < 0) {
            reset();
            return false;
        }
        ::close(m_fd);
        m_fd = next;
        return true;
    }

    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_at.clear();
        m_ends.clear();
        m_links.clear();
    }

    int m_fd = -1;
    QByteArray m_at;               // the open folder's path, "" for "/"
    std::vector<qsizetype> m_ends; // where each folder's name ends in m_at, from the top down
    std::vector<bool> m_links;     // whether each was reached through a link
};

} // namespace

QStringList missingPaths(const QStringList &paths)
{
    std::vector<std::pair<QByteArray, qsizetype>> sorted;
    sorted.reserve(size_t(paths.size()));
    for (qsizetype i = 0; i < paths.size(); ++i)
        sorted.emplace_back(QFile::encodeName(paths.at(i)), i);
    std::sort(sorted.begin(), sorted.end());
    std::vector<bool> missing(size_t(paths.size()), false);
    PathWalker walker;
    for (const auto &[path, index] : sorted)
        missing[size_t(index)] = !walker.exists(path);
    QStringList result;
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (missing[size_t(i)])
            result << paths.at(i);
    return result;
}

#else // Q_OS_WIN

QStringList missingPaths(const QStringList &paths)
{
    QStringList result;
    for (const QString &path : paths)
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            result << path;
    return result;
}

DeepTree::DeepTree(int)
{
}

DeepTree::~DeepTree() = default;

bool makeRawEntry(const QByteArray &, bool)
{
    return false;
}

bool removeTree(const QString &folder)
{
    return QDir(folder).removeRecursively();
}

OpenFileLimit::OpenFileLimit(unsigned)
{
}

OpenFileLimit::~OpenFileLimit() = default;

#endif

namespace {
// Capabilities belong to each thread on Linux: dropping them here leaves the rest of the process as
// it was, and they end with the thread. Only the effective set changes: the permitted one keeps
// them, so they can be taken up again. Gives the effective set before the change (in saved).
bool giveUpPermissionOverride(quint32 *saved = nullptr)
{
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    if (saved)
        *saved = data[0].effective;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return syscall(SYS_capset, &header, data) == 0;
#elif defined(Q_OS_WIN)
    Q_UNUSED(saved);
    return false;
#else
    Q_UNUSED(saved);
    return geteuid() != 0;
#endif
}
} // namespace

HonourPermissions::HonourPermissions()
{
    m_valid = giveUpPermissionOverride(&m_saved);
}

HonourPermissions::~HonourPermissions()
{
#ifdef Q_OS_LINUX
    if (!m_valid)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective = m_saved;
    syscall(SYS_capset, &header, data);
#endif
}

void runOnThread(const std::function<void()> &work, unsigned stackSize, bool honourPermissions)
{
    auto body = [&] {
        if (honourPermissions)
            giveUpPermissionOverride();
        work();
    };
#ifndef Q_OS_WIN
    // A thread of the system's own library, joined: a race checker sees that everything the work
    // did comes before what follows the join.
    using Body = decltype(body);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackSize);
    pthread_t thread;
    const auto start = [](void *argument) -> void * {
        (*static_cast<Body *>(argument))();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, start, &body) == 0)
        pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#else
    QThread *thread = QThread::create(body);
    thread->setStackSize(stackSize);
    thread->start();
    thread->wait();
    delete thread;
#endif
}

} // namespace TestSupport
