// SPDX-License-Identifier: GPL-3.0-or-later
// Replays a fuzz target's corpus in the normal build: every file of the folders named on the command
// line is handed to the target once, so that what a fuzzer found stays found without a fuzzer.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s corpus-folder...\n", argv[0]);
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir folder(QString::fromLocal8Bit(argv[i]));
        if (!folder.exists()) {
            fprintf(stderr, "no folder %s\n", argv[i]);
            return 2;
        }
        for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly)) {
                fprintf(stderr, "cannot read %s\n", qPrintable(entry.filePath()));
                return 2;
            }
            const QByteArray data = file.readAll();
            // Printed first: a crash names the file it came from.
            printf("%s\n", qPrintable(entry.fileName()));
            fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
            ++replayed;
        }
    }
    printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
