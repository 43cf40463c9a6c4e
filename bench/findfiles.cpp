// SPDX-License-Identifier: GPL-3.0-or-later
// findfiles [--threaded] [--mask MASKS] [--phrase TEXT] [--case] [--read-ahead auto|always|never] FOLDER...
//
// Runs one search of TFindFile with default criteria but for: Location = the folders (";"-joined),
// FileName = MASKS (default "*.*"), Subfolders on, IgnoreCase on (off with --case), Phrase = TEXT.
// Prints the full path of every match, one a line. --threaded runs the walk on the worker thread
// with a Qt event loop on the main thread handling every hand-off; otherwise it runs in-line.
// --read-ahead: when the walk reads ahead (default auto: once it finds the disk slow).
#include "core/platform/ReadAhead.h"
#include "core/search/FindFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

void usage()
{
    fprintf(stderr, "usage: findfiles [--threaded] [--mask MASKS] [--phrase TEXT] [--case] "
                    "[--read-ahead auto|always|never] FOLDER...\n");
}

// Writes folder + name per match; the folder's bytes are encoded once per folder.
class Printer
{
public:
    void print(const QString &folder, const TSearchRec &entry)
    {
        if (folder.constData() != m_folder.constData() || folder.size() != m_folder.size()) {
            m_folder = folder;
            m_folderBytes = QFile::encodeName(folder);
        }
        fwrite(m_folderBytes.constData(), 1, size_t(m_folderBytes.size()), stdout);
#ifdef Q_OS_WIN
        const QByteArray name = QFile::encodeName(entry.Name());
#else
        const QByteArray &name = entry.NameBytes();
#endif
        fwrite(name.constData(), 1, size_t(name.size()), stdout);
        fputc('\n', stdout);
    }

private:
    QString m_folder;
    QByteArray m_folderBytes;
};

} // namespace

int main(int argc, char **argv)
{
    bool threaded = false;
    bool ignoreCase = true;
    QString mask = QStringLiteral("*.*");
    QString phrase;
    QStringList folders;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--threaded") == 0) {
            threaded = true;
        } else if (strcmp(a, "--case") == 0) {
            ignoreCase = false;
        } else if (strcmp(a, "--mask") == 0 && i + 1 < argc) {
            mask = QString::fromLocal8Bit(argv[++i]);
        } else if (strcmp(a, "--phrase") == 0 && i + 1 < argc) {
            phrase = QString::fromLocal8Bit(argv[++i]);
        } else if (strcmp(a, "--read-ahead") == 0 && i + 1 < argc) {
            const char *mode = argv[++i];
            Platform::ReadAheadMode &setting = Platform::readAheadSettings().mode;
            if (strcmp(mode, "always") == 0)
                setting = Platform::ReadAheadMode::Always;
            else if (strcmp(mode, "never") == 0)
                setting = Platform::ReadAheadMode::Never;
            else if (strcmp(mode, "auto") == 0)
                setting = Platform::ReadAheadMode::Auto;
            else {
                usage();
                return 2;
            }
        } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
            usage();
            return 0;
        } else if (a[0] == '-' && a[1] == '-') {
            usage();
            return 2;
        } else {
            folders << QFile::decodeName(a);
        }
    }
    if (folders.isEmpty()) {
        usage();
        return 2;
    }

    static char outBuffer[1 << 16];
    setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

    QCoreApplication app(argc, argv);
    TFindFile finder;
    TSearchCriteria *criteria = finder.Criteria();
    criteria->Files()->setLocation(folders.join(u';'));
    criteria->Files()->setFileName(mask);
    criteria->Files()->setSubfolders(true);
    criteria->Content()->setPhrase(phrase);
    criteria->Content()->setIgnoreCase(ignoreCase);

    Printer printer;
    finder.setOnFileMatch([&printer](QObject *, const QString &folder, const TSearchRec &entry) {
        printer.print(folder, entry);
    });
    finder.setThreaded(threaded);
    if (threaded) {
        finder.setOnSearchFinish([](QObject *) { QCoreApplication::quit(); });
        finder.StartSearch();
        app.exec();
    } else {
        finder.StartSearch();
    }
    fflush(stdout);
    return 0;
}
