// SPDX-License-Identifier: GPL-3.0-or-later
// search-window-bench TREE [--list FILE] [--runs N] [--hand-off]
//
// Times the search window on a tree of save folders (such as ../shared/bench/make-tree.sh makes):
// a temporary data folder gets one account per top-level folder of TREE, the main window opens it
// offscreen, and its search window searches for "invoice" in "*.*" with both options on. The same
// passes are then run in-line through TFindFile alone, with nothing but the walk and a set of paths.
// Prints, one a line (times are medians of N runs, default 3, after one that warms the caches):
//   results=N        entries of the window's list
//   window_s=...     the window's search, from the click to the end
//   engine_s=...     the same passes in-line
//   ratio=...        window over engine
//   max_gap_ms=...   the longest time the window's event loop went without running during a search,
//                    seen by a 5 ms timer
//   ratio_busy=...   the ratio again while another process keeps one core busy
//   window_busy_s=... engine_busy_s=...
//   fill_100k_ms=... filling the window's list with 100,000 files and painting it
// With --list, the paths the window found are written to FILE, sorted bytewise, one a line. With
// --hand-off the window's engine hands over its events one at a time (the worker waiting for each)
// instead of in batches, for comparison.
#include "SearchListFill.h"
#include "core/accounts/AccountSchema.h"
#include "core/search/FindFile.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/Startup.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/search/SearchForm.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

const QString FindText = QStringLiteral("invoice");
const QString MaskText = QStringLiteral("*.*");

QByteArray dataFile(const QStringList &folders)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < folders.size(); ++i) {
        xml += QStringLiteral("  <Account><accountID>%1</accountID><siteName>%2</siteName><savePath>%3</savePath>"
                              "<monthlyFee>0</monthlyFee><addedDate>2024-01-01</addedDate><active>1</active>"
                              "</Account>\n")
                   .arg(i + 1)
                   .arg(QFileInfo(folders[i]).fileName().toHtmlEscaped(), folders[i].toHtmlEscaped())
                   .toUtf8();
    }
    return xml + "</Accounts>\n";
}

struct WindowRun
{
    double seconds = 0;
    double maxGapMs = 0;
};

WindowRun searchInWindow(TfrmSearch &search)
{
    // The event loop's pulse: a 5 ms timer notes the longest time between two of its runs.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    pulse.setInterval(5);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    pulse.start();
    // Find returns once the search is under way; the search runs on from the event loop.
    search.btnFindClick();
    while (search.isSearching())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const qint64 end = clock.nsecsElapsed();
    longest = std::max(longest, end - last);
    return {end / 1e9, longest / 1e6};
}

double searchInLine(const QStringList &folders, QSet<QString> &found)
{
    TFindFile finder;
    finder.setOnFileMatch([&found](QObject *, const QString &folder, const TSearchRec &entry) {
        found.insert(SearchResultModel::pathKey(AppendPathDelimiter(folder) + entry.Name()));
    });
    QElapsedTimer clock;
    clock.start();
    for (const QString &folder : folders) {
        const auto pass = [&](const QStringList &masks, const QString &phrase) {
            TSearchCriteria *criteria = finder.Criteria();
            criteria->Files()->setIncluded(TfrmSearch::TargetEntries(folder, masks));
            criteria->Content()->setPhrase(phrase);
            criteria->Content()->setIgnoreCase(true);
            finder.StartSearch();
        };
        pass(SplitMasks(MaskText), FindText);
        pass(TfrmSearch::NameMasks(MaskText, FindText), QString());
    }
    return clock.nsecsElapsed() / 1e9;
}

struct Round
{
    double window = 0;
    double engine = 0;
    double maxGapMs = 0;
};

// Alternating runs of the window and the engine; medians (and the largest gap seen).
Round measure(TfrmSearch &search, const QStringList &folders, int runs)
{
    std::vector<double> window;
    std::vector<double> engine;
    Round round;
    for (int run = 0; run < runs; ++run) {
        const WindowRun w = searchInWindow(search);
        window.push_back(w.seconds);
        round.maxGapMs = std::max(round.maxGapMs, w.maxGapMs);
        QSet<QString> found;
        engine.push_back(searchInLine(folders, found));
    }
    round.window = SearchListFill::median(window);
    round.engine = SearchListFill::median(engine);
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // never touches the user's own settings
    VantoryApplication app(argc, argv);
    Startup::initApplication();

    QString tree;
    QString listFile;
    int runs = 3;
    bool handOff = false;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--list") && i + 1 < args.size())
            listFile = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--hand-off"))
            handOff = true;
        else
            tree = args[i];
    }
    if (tree.isEmpty() || !QFileInfo(tree).isDir()) {
        std::fprintf(stderr, "usage: search-window-bench TREE [--list FILE] [--runs N] [--hand-off]\n");
        return 2;
    }
    QStringList folders;
    const QDir treeDir(tree);
    for (const QString &name : treeDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
        folders << QDir::cleanPath(treeDir.absoluteFilePath(name));

    QTemporaryDir data;
    {
        QFile file(data.filePath(DataFileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(dataFile(folders)) < 0) {
            std::fprintf(stderr, "search-window-bench: cannot write the data file\n");
            return 1;
        }
    }
    RegWriteString(SectionMain, SettingDataPath, data.path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);

    TfrmVantory main;
    TfrmSearch &search = *main.frmSearch();
    if (handOff)
        search.FileFinder()->setDelivery(edHandOff);
    search.show();
    QApplication::processEvents();
    search.findChild<QLineEdit *>(QStringLiteral("cbFindText"))->setText(FindText);
    search.findChild<QComboBox *>(QStringLiteral("cbFileMask"))->setCurrentText(MaskText);

    // Warm-up: the tree's pages into the cache, the code into memory.
    QSet<QString> engineFound;
    searchInLine(folders, engineFound);
    searchInWindow(search);
    SearchResultModel *results = search.resultList()->results();
    QSet<QString> windowFound;
    for (int row = 0; row < results->count(); ++row)
        windowFound.insert(SearchResultModel::pathKey(results->path(row)));
    if (windowFound != engineFound)
        std::fprintf(stderr, "search-window-bench: the window found %lld files, the engine %lld\n",
                     qint64(windowFound.size()), qint64(engineFound.size()));

    const Round quiet = measure(search, folders, runs);

    // One other process keeps one core busy.
    QProcess busy;
    busy.setStandardOutputFile(QProcess::nullDevice());
    busy.start(QStringLiteral("yes"), {});
    const bool busyStarted = busy.waitForStarted();
    const Round loaded = busyStarted ? measure(search, folders, runs) : Round();
    if (busyStarted) {
        busy.kill();
        busy.waitForFinished();
    }

    std::printf("results=%d\n", results->count());
    std::printf("window_s=%.3f\nengine_s=%.3f\nratio=%.2f\n", quiet.window, quiet.engine, quiet.window / quiet.engine);
    std::printf("max_gap_ms=%.1f\n", std::max(quiet.maxGapMs, loaded.maxGapMs));
    if (busyStarted)
        std::printf("ratio_busy=%.2f\nwindow_busy_s=%.3f\nengine_busy_s=%.3f\n", loaded.window / loaded.engine,
                    loaded.window, loaded.engine);
    std::fflush(stdout);

    if (!listFile.isEmpty()) {
        std::vector<QByteArray> paths;
        for (int row = 0; row < results->count(); ++row)
            paths.push_back(QFile::encodeName(results->path(row)));
        std::sort(paths.begin(), paths.end());
        QFile out(listFile);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "search-window-bench: cannot write %s\n", qPrintable(listFile));
            return 1;
        }
        for (const QByteArray &path : paths)
            out.write(path + '\n');
    }

    const QStringList fillPaths =
        SearchListFill::makeFiles(QDir::temp().filePath(QStringLiteral("vantory-search-list-100000")), 100000);
    SearchListFill::Times fill;
    if (fillPaths.size() == 100000 && SearchListFill::measure(*search.resultList(), fillPaths, fill))
        std::printf("fill_100k_ms=%.1f\n", fill.totalMs);
    else
        std::fprintf(stderr, "search-window-bench: cannot fill the list with 100,000 files\n");
    search.hide();
    return 0;
}
