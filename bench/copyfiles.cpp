// SPDX-License-Identifier: GPL-3.0-or-later
// copyfiles DEST SOURCE...
//
// Copies the sources flat into the folder DEST as Save Selection does (FlatCopy, on this thread).
// Prints the files that did not arrive with the reason, one a line, on stderr; exits with 0 only
// when every file arrived.
#include "core/search/FlatCopy.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: copyfiles DEST SOURCE...\n");
        return 2;
    }
    QStringList sources;
    for (int i = 2; i < argc; ++i)
        sources << QString::fromLocal8Bit(argv[i]);
    FlatCopy job(sources, QString::fromLocal8Bit(argv[1]));
    job.run();
    for (const FlatCopy::Failure &failure : job.result().failures)
        std::fprintf(stderr, "%s: %s\n", qPrintable(failure.source), qPrintable(failure.error));
    return job.result().ok() ? 0 : 1;
}
