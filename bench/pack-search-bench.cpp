// SPDX-License-Identifier: GPL-3.0-or-later
// pack-search-bench TREE [--list FILE] [--runs N]
//
// Times the search inside packs and documents on a tree made by ../shared/bench/make-archive-tree.sh
// and checks what it finds against the tree's expected answers in TREE.meta/. Each of N rounds
// (default 3, after reading the whole tree once so that every run finds it in the page cache) runs:
//   peers   ugrep -z -l -i (which reads inside packs) over the tree, then pdfgrep -r -l -i over its
//           PDFs; their times added up
//   first   our content search for the phrase with the option on, threaded with batched delivery under
//           an event loop as the search window runs it, with a new, empty text cache
//   second  the same with another phrase (the word of the names, which no content holds), the text
//           cache now filled
//   plain   the content search for the phrase with the option off and no text cache
// Then one name search for the word with the option on. Times are medians over the rounds.
// Prints informational lines, the differences found (if any), and last, one a line:
//   results=N       results of the first content search
//   first_s=  peers_s=  ratio_first= (first / peers)  second_s=  ratio_second= (second / first)  plain_s=
//   peak_rss_mb=    the process's peak resident memory (the peers run as processes of their own)
//   max_gap_ms=     the longest time a 1 ms timer on the event loop went without running during a
//                   first search
// Exits 1 when any search found other than the expected answers, 2 on bad arguments or missing peers.
// With --list, the results of the first content search are written to FILE in the form of TREE.meta/:
// paths relative to TREE, "pack.zip::entry" for entries, sorted bytewise, one a line.
#include "core/search/FindFile.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <vector>

namespace {

const QString Phrase = QStringLiteral("Marigold ledger #7");
const QString Word = QStringLiteral("ketoplan");
const QString AnyName = QStringLiteral("*");

using PathList = std::vector<QByteArray>;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Reads every file of the tree once, so that each timed run finds it in the page cache.
void warmTree(const QString &tree)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    QDirIterator it(tree, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (file.read(buffer.data(), buffer.size()) > 0) {
        }
    }
}

// ---- the peers ------------------------------------------------------------------------------------

struct PeerRun
{
    double seconds = -1; // below 0: the program did not run to its end
    int lines = 0;       // files (or pack entries) it named
};

PeerRun runPeer(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return {};
    PeerRun run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.lines = int(process.readAllStandardOutput().count('\n'));
    return run;
}

// One run of each peer; the sum of their times, below 0 when one failed.
double runPeers(const QString &tree, QString &linesNote)
{
    const PeerRun inside = runPeer(QStringLiteral("ugrep"), {QStringLiteral("-z"), QStringLiteral("-l"),
                                                             QStringLiteral("-i"), QStringLiteral("-r"),
                                                             QStringLiteral("-F"), QStringLiteral("--"), Phrase, tree});
    const PeerRun pdfs = runPeer(QStringLiteral("pdfgrep"), {QStringLiteral("-r"), QStringLiteral("-l"),
                                                             QStringLiteral("-i"), QStringLiteral("-F"),
                                                             QStringLiteral("--"), Phrase, tree});
    if (inside.seconds < 0 || pdfs.seconds < 0) {
        std::fprintf(stderr, "pack-search-bench: %s did not run (VANTORY_BENCH_DEPS=1 scripts/install-deps.sh "
                             "installs it)\n",
                     inside.seconds < 0 ? "ugrep" : "pdfgrep");
        return -1;
    }
    linesNote = QStringLiteral("ugrep:%1 pdfgrep:%2").arg(inside.lines).arg(pdfs.lines);
    return inside.seconds + pdfs.seconds;
}

// ---- our searches ---------------------------------------------------------------------------------

struct SearchSetup
{
    QString mask;
    QString phrase;
    bool packs = false;
    QString textCacheFile;
    bool watchGaps = false;
};

struct SearchRun
{
    double seconds = 0;
    double maxGapMs = 0;
    PathList found; // in the order reported
    Platform::WalkReport report;
};

// The result's path relative to the tree, entries as pack::entry (nested: outer::inner::entry).
QByteArray resultKey(const QString &treePrefix, const QString &folder, const TSearchRec &entry)
{
    QString path = AppendPathDelimiter(folder) + entry.Name();
    if (path.startsWith(treePrefix))
        path.remove(0, treePrefix.size());
    for (const QString &inner : entry.InnerPath())
        path += QStringLiteral("::") + inner;
    return QFile::encodeName(path);
}

// One pass over the tree and its subfolders, as the search window makes it, run from the event loop.
SearchRun runSearch(const QString &tree, const SearchSetup &setup)
{
    const QString treePrefix = AppendPathDelimiter(tree);
    SearchRun run;
    TFindFile finder;
    finder.setThreaded(true);
    finder.setDelivery(edBatched);
    finder.setTextCacheFile(setup.textCacheFile);
    TSearchCriteria *criteria = finder.Criteria();
    criteria->Files()->setLocation(QString());
    criteria->Files()->setFileName(QString());
    criteria->Files()->setIncluded({u'>' + treePrefix + setup.mask});
    criteria->Files()->setSubfolders(true);
    criteria->Content()->setPhrase(setup.phrase);
    criteria->Content()->setIgnoreCase(true);
    criteria->Content()->setSearchPacks(setup.packs);
    finder.setOnFileMatch([&run, &treePrefix](QObject *, const QString &folder, const TSearchRec &entry) {
        run.found.push_back(resultKey(treePrefix, folder, entry));
    });

    // The event loop's pulse: a 1 ms timer notes the longest time between two of its runs.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    pulse.setInterval(1);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    if (setup.watchGaps)
        pulse.start();
    finder.StartSearch();
    while (finder.Searching())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const qint64 end = clock.nsecsElapsed();
    pulse.stop();
    run.seconds = end / 1e9;
    run.maxGapMs = setup.watchGaps ? std::max(longest, end - last) / 1e6 : 0;
    run.report = finder.Report();
    return run;
}

// ---- the expected answers -------------------------------------------------------------------------

// The lines of the given lists in TREE.meta/, together, sorted bytewise. False when one is missing.
bool readExpected(const QString &metaDir, const QStringList &lists, PathList &paths)
{
    paths.clear();
    for (const QString &name : lists) {
        QFile file(metaDir + u'/' + name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "pack-search-bench: cannot read %s: %s\n", qPrintable(file.fileName()),
                         qPrintable(file.errorString()));
            return false;
        }
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                paths.push_back(line);
        }
    }
    std::sort(paths.begin(), paths.end());
    return true;
}

// What kind of file or entry a result is, to tell where differences lie: "html file",
// "zip entry .txt", "tar entry .jpg", "entry .htm of a zip in a zip".
QByteArray kindOf(const QByteArray &path)
{
    const QByteArray lower = path.toLower();
    const qsizetype lastPart = std::max(lower.lastIndexOf('/'), lower.lastIndexOf("::") + 1);
    const qsizetype dot = lower.lastIndexOf('.');
    const QByteArray ext = dot > lastPart ? lower.mid(dot) : QByteArray("(none)");
    const qsizetype levels = lower.count("::");
    if (levels >= 2)
        return "entry " + ext + " of a zip in a zip";
    if (levels == 1) {
        const QByteArray pack = lower.left(lower.indexOf("::"));
        return (pack.endsWith(".zip") ? "zip entry " : "tar entry ") + ext;
    }
    for (const char *packExt : {".tar.gz", ".tgz", ".zip", ".pdf", ".docx", ".html", ".htm"}) {
        if (lower.endsWith(packExt))
            return QByteArray(packExt + 1) + " file";
    }
    return "other loose file " + ext;
}

void printPaths(const char *label, const PathList &paths)
{
    std::map<QByteArray, int> kinds;
    for (const QByteArray &path : paths)
        ++kinds[kindOf(path)];
    QByteArray summary;
    for (const auto &[kind, count] : kinds)
        summary += (summary.isEmpty() ? "" : ", ") + kind + ": " + QByteArray::number(count);
    std::printf("  %s %zu (%s)\n", label, paths.size(), summary.constData());
    for (size_t i = 0; i < std::min<size_t>(paths.size(), 12); ++i)
        std::printf("    %s\n", paths[i].constData());
}

// Compares what a search found with the expected answers; prints the differences. True when equal.
bool check(const char *what, PathList found, const PathList &expected)
{
    std::sort(found.begin(), found.end());
    PathList repeated;
    for (size_t i = 1; i < found.size(); ++i) {
        if (found[i] == found[i - 1] && (repeated.empty() || repeated.back() != found[i]))
            repeated.push_back(found[i]);
    }
    found.erase(std::unique(found.begin(), found.end()), found.end());
    PathList missing;
    PathList unexpected;
    std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(), std::back_inserter(missing));
    std::set_difference(found.begin(), found.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
    if (missing.empty() && unexpected.empty() && repeated.empty())
        return true;
    std::printf("MISMATCH %s: expected %zu, found %zu different\n", what, expected.size(), found.size());
    if (!missing.empty())
        printPaths("missing", missing);
    if (!unexpected.empty())
        printPaths("unexpected", unexpected);
    if (!repeated.empty())
        printPaths("reported more than once", repeated);
    return false;
}

bool writeList(const QString &fileName, PathList paths)
{
    std::sort(paths.begin(), paths.end());
    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "pack-search-bench: cannot write %s: %s\n", qPrintable(fileName),
                     qPrintable(out.errorString()));
        return false;
    }
    for (const QByteArray &path : paths) {
        if (out.write(path + '\n') < 0)
            return false;
    }
    return true;
}

// The process's peak resident memory in MiB: VmHWM where /proc has it, else getrusage.
double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}


// ---- the rounds -----------------------------------------------------------------------------------

struct Rounds
{
    std::vector<double> peers;
    std::vector<double> first;
    std::vector<double> second;
    std::vector<double> plain;
    double maxGapMs = 0;
    QString peerLines;
    SearchRun firstRun; // of the first round; later rounds are checked to find the same
    SearchRun secondRun;
    SearchRun plainRun;
    int unstableRounds = 0;
};

PathList sorted(PathList paths)
{
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Peers, first, second and plain in turn, so that load from elsewhere falls on all alike.
bool runRounds(const QString &tree, int count, Rounds &rounds)
{
    for (int round = 0; round < count; ++round) {
        const double peers = runPeers(tree, rounds.peerLines);
        if (peers < 0)
            return false;
        rounds.peers.push_back(peers);
        // A new text cache for each round: the first search always starts from an empty one.
        QTemporaryDir cacheDir;
        if (!cacheDir.isValid()) {
            std::fprintf(stderr, "pack-search-bench: cannot make a folder for the text cache: %s\n",
                         qPrintable(cacheDir.errorString()));
            return false;
        }
        const QString cacheFile = cacheDir.filePath(QStringLiteral("texts.sqlite"));
        SearchRun first = runSearch(tree, {AnyName, Phrase, true, cacheFile, true});
        SearchRun second = runSearch(tree, {AnyName, Word, true, cacheFile, false});
        SearchRun plain = runSearch(tree, {AnyName, Phrase, false, QString(), false});
        rounds.first.push_back(first.seconds);
        rounds.second.push_back(second.seconds);
        rounds.plain.push_back(plain.seconds);
        rounds.maxGapMs = std::max(rounds.maxGapMs, first.maxGapMs);
        if (round == 0) {
            rounds.firstRun = std::move(first);
            rounds.secondRun = std::move(second);
            rounds.plainRun = std::move(plain);
        } else if (sorted(first.found) != sorted(rounds.firstRun.found)) {
            ++rounds.unstableRounds;
        }
    }
    return true;
}

struct Options
{
    QString tree;
    QString listFile;
    int runs = 3;
};

bool parseOptions(Options &options)
{
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--list") && i + 1 < args.size())
            options.listFile = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            options.runs = std::max(1, args[++i].toInt());
        else if (args[i].startsWith(u'-') || !options.tree.isEmpty())
            return false;
        else
            options.tree = QDir::cleanPath(QFileInfo(args[i]).absoluteFilePath());
    }
    return !options.tree.isEmpty() && QFileInfo(options.tree).isDir();
}

// Every search against its expected answers; prints the differences. True when all agree.
bool checkAll(const QString &metaDir, const Rounds &rounds, const SearchRun &names)
{
    PathList content;
    PathList raw;
    PathList named;
    if (!readExpected(metaDir,
                      {QStringLiteral("phrase-loose.txt"), QStringLiteral("phrase-entries.txt"),
                       QStringLiteral("phrase-pdf.txt"), QStringLiteral("phrase-docx.txt")},
                      content)
        || !readExpected(metaDir, {QStringLiteral("phrase-raw.txt")}, raw)
        || !readExpected(metaDir, {QStringLiteral("name-loose.txt"), QStringLiteral("name-entries.txt")}, named))
        return false;
    bool ok = check("content search, inside packs and documents", rounds.firstRun.found, content);
    // No content holds the word: the generator's filler never does, and names are no content.
    ok = check("content search for the word, inside packs and documents", rounds.secondRun.found, {}) && ok;
    ok = check("content search, packs and documents as plain files", rounds.plainRun.found, raw) && ok;
    ok = check("name search for the word, inside packs", names.found, named) && ok;
    if (rounds.unstableRounds > 0) {
        std::printf("MISMATCH content search: %d later rounds found other results than the first\n",
                    rounds.unstableRounds);
        ok = false;
    }
    return ok;
}

void printFigures(const Rounds &rounds, const SearchRun &names)
{
    const Platform::WalkReport &first = rounds.firstRun.report;
    std::printf("peer_lines=%s\n", qPrintable(rounds.peerLines));
    std::printf("locked_entries=%lld\ndamaged_packs=%lld\n", qint64(first.lockedEntries), qint64(first.damagedPacks));
    std::printf("second_results=%zu\ncached_texts=%lld\n", rounds.secondRun.found.size(),
                qint64(rounds.secondRun.report.cachedTexts));
    std::printf("plain_results=%zu\nname_results=%zu\nname_s=%.3f\n", rounds.plainRun.found.size(),
                names.found.size(), names.seconds);
    const double peers = median(rounds.peers);
    const double firstS = median(rounds.first);
    const double secondS = median(rounds.second);
    std::printf("results=%zu\n", rounds.firstRun.found.size());
    std::printf("first_s=%.3f\npeers_s=%.3f\nratio_first=%.2f\n", firstS, peers, firstS / peers);
    std::printf("second_s=%.3f\nratio_second=%.2f\n", secondS, secondS / firstS);
    std::printf("plain_s=%.3f\n", median(rounds.plain));
    std::printf("peak_rss_mb=%.1f\n", peakRssMb());
    std::printf("max_gap_ms=%.1f\n", rounds.maxGapMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(options)) {
        std::fprintf(stderr, "usage: pack-search-bench TREE [--list FILE] [--runs N]\n");
        return 2;
    }
    const QString metaDir = options.tree + QStringLiteral(".meta");
    if (!QFileInfo(metaDir + QStringLiteral("/expected.txt")).isFile()) {
        std::fprintf(stderr, "pack-search-bench: %s has no expected answers beside it (%s); make it with "
                             "make-archive-tree.sh\n",
                     qPrintable(options.tree), qPrintable(metaDir));
        return 2;
    }
    warmTree(options.tree);
    Rounds rounds;
    if (!runRounds(options.tree, options.runs, rounds))
        return 2;
    const SearchRun names = runSearch(options.tree, {u'*' + Word + u'*', QString(), true, QString(), false});
    const bool ok = checkAll(metaDir, rounds, names);
    printFigures(rounds, names);
    if (!options.listFile.isEmpty() && !writeList(options.listFile, rounds.firstRun.found))
        return 1;
    return ok ? 0 : 1;
}
