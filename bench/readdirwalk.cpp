// SPDX-License-Identifier: GPL-3.0-or-later
// A bare recursive readdir walk counting every non-folder: the floor a file counter can approach.
// readdirwalk FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

long long walk(int dirFd)
{
    DIR *dir = fdopendir(dirFd);
    if (!dir) {
        close(dirFd);
        return 0;
    }
    long long count = 0;
    while (const dirent *e = readdir(dir)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            isDir = fstatat(dirfd(dir), n, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDir) {
            ++count;
            continue;
        }
        const int child = openat(dirfd(dir), n, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child >= 0)
            count += walk(child);
    }
    closedir(dir);
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: readdirwalk FOLDER\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::printf("%lld\n", fd < 0 ? 0LL : walk(fd));
    return 0;
}
