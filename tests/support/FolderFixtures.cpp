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
            fchmodat(fd, sub.c_str(), 0700, 0); // a test may have closed it
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

#else // Q_OS_WIN

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
// it was, and they end with the thread.
void giveUpPermissionOverride()
{
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header, data);
#endif
}
} // namespace

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
