// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what CountFiles gives for a folder: countfiles FOLDER [LIMIT] (no limit when not given).
#include "core/accounts/FileCount.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: countfiles FOLDER [LIMIT]\n");
        return 2;
    }
    const qint32 limit = argc == 3 ? qint32(std::strtol(argv[2], nullptr, 10)) : -1;
    std::printf("%d\n", CountFiles(QString::fromLocal8Bit(argv[1]), limit));
    return 0;
}
