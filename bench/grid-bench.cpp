// SPDX-License-Identifier: GPL-3.0-or-later
// Times the account list with N accounts (default 10,000), offscreen: switching to a sort order
// already defined, defining a new one, scrolling a page, repainting the whole grid and a refresh
// with empty save folders. Prints one line per measure in milliseconds (median of several runs).
//
// Then the counting of save folders: N accounts whose folders hold 100 files each (a million for
// 10,000 accounts, in a tree kept under /tmp between runs, or the folder given as the second
// argument), counted one after another on this thread as a baseline, then by the window: how soon
// it is shown and answers after the data file was read, the longest gap of its event loop while the
// counts arrive, and how long the counting takes in all. Last, the filter: typing a site name one
// character at a time, the time of each keystroke until the list is painted again.
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FileCount.h"
#include "core/accounts/TableOrder.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/Startup.h"
#include "gui/mainwindow/VantoryConsts.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

static double median(const std::function<void()> &work, int runs = 7)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        QApplication::processEvents();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Folders acc00000... of 4 subfolders of 25 empty files each, made with plain system calls.
static bool makeTree(const QString &root, int accounts)
{
    const QByteArray done = QFile::encodeName(root + QStringLiteral("/.complete-%1").arg(accounts));
    if (access(done.constData(), F_OK) == 0)
        return true;
    const QByteArray base = QFile::encodeName(root);
    mkdir(base.constData(), 0755);
    char path[4096];
    for (int a = 0; a < accounts; ++a) {
        std::snprintf(path, sizeof path, "%s/acc%05d", base.constData(), a);
        mkdir(path, 0755);
        for (int d = 0; d < 4; ++d) {
            std::snprintf(path, sizeof path, "%s/acc%05d/d%d", base.constData(), a, d);
            mkdir(path, 0755);
            for (int f = 0; f < 25; ++f) {
                std::snprintf(path, sizeof path, "%s/acc%05d/d%d/f%02d", base.constData(), a, d, f);
                const int fd = open(path, O_CREAT | O_WRONLY, 0644);
                if (fd < 0)
                    return false;
                close(fd);
            }
        }
    }
    const int fd = open(done.constData(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

static QByteArray accountsXml(int n, const std::function<QString(int)> &folderOf)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < n; ++i) {
        xml += QStringLiteral(
                   "<Account><accountID>%1</accountID><siteName>Site %2</siteName><siteUrl>https://site%2.example/"
                   "members</siteUrl><username>member%1</username><savePath>%3</savePath>"
                   "<monthlyFee>%4</monthlyFee><addedDate>2024-%5-01</addedDate><active>%6</active></Account>\n")
                   .arg(i)
                   .arg((i * 7919) % n)
                   .arg(folderOf(i))
                   .arg(5 + (i * 31) % 97)
                   .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                   .arg(i % 3)
                   .toUtf8();
    }
    return xml + "</Accounts>\n";
}

static bool writeXml(const QString &path, const QByteArray &xml)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(xml) == xml.size();
}

static double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The counting measures; prints its lines.
static int benchCounting(int n, const QString &treeRoot)
{
    if (!makeTree(treeRoot, n)) {
        std::fprintf(stderr, "cannot make the tree under %s\n", qPrintable(treeRoot));
        return 1;
    }
    const auto folderOf = [&](int i) {
        return QStringLiteral("%1/acc%2").arg(treeRoot).arg(i, 5, 10, QLatin1Char('0'));
    };

    // The baseline: every folder counted on this thread, as the list did before it showed. Once to
    // warm the caches, then timed.
    qint64 files = 0;
    for (int i = 0; i < n; ++i)
        files += CountFiles(folderOf(i), FileCountLimit);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        CountFiles(folderOf(i), FileCountLimit);
    const double guiThreadMs = t.nsecsElapsed() / 1e6;

    QTemporaryDir dir;
    if (!writeXml(dir.filePath(QStringLiteral("main.xml")), accountsXml(n, folderOf)))
        return 1;
    RegWriteString(SectionMain, SettingDataPath, dir.path());

    // The window reads the data file in its constructor.
    t.restart();
    TfrmVantory window;
    const double readMs = t.nsecsElapsed() / 1e6;
    window.resize(900, 700);
    window.show();
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    while (!answered)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double answersMs = t.nsecsElapsed() / 1e6 - readMs;

    // Sorted by Total Files while the counts arrive: the hardest case for the list.
    window.dbgAccountsTitleClick(1);
    QElapsedTimer tick;
    tick.start();
    double worstGapMs = 0;
    QTimer beat;
    beat.setInterval(2);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        worstGapMs = std::max(worstGapMs, tick.nsecsElapsed() / 1e6);
        tick.restart();
    });
    beat.start();
    tick.restart();
    const double cpuBefore = threadCpuMs();
    while (window.isCounting())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double countingMs = t.nsecsElapsed() / 1e6 - readMs;
    const double guiCpuMs = threadCpuMs() - cpuBefore;
    beat.stop();

    // Typing into the filter, one keystroke at a time, each painted.
    const QString typed = QStringLiteral("site 12");
    std::vector<double> keys;
    QLineEdit *filter = window.edtFilter();
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        QElapsedTimer k;
        k.start();
        filter->setText(typed.left(i));
        window.dbgAccounts()->viewport()->repaint();
        keys.push_back(k.nsecsElapsed() / 1e6);
    }
    const int shownAfterTyping = window.cdsVantory()->recordCount();
    // The table's own share of a keystroke: narrowing the rows, without the window.
    filter->blockSignals(true);
    filter->clear();
    filter->blockSignals(false);
    const QList<int> fields = {AccountTable::SiteName, AccountTable::SiteUrl, AccountTable::Username};
    window.cdsVantory()->setFilter({}, fields);
    std::vector<double> tableKeys;
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        QElapsedTimer k;
        k.start();
        window.cdsVantory()->setFilter(typed.left(i), fields);
        tableKeys.push_back(k.nsecsElapsed() / 1e6);
    }
    window.cdsVantory()->setFilter({}, fields);
    filter->setText(typed);
    std::vector<double> clears;
    for (qsizetype i = typed.size() - 1; i >= 0; --i) {
        QElapsedTimer k;
        k.start();
        filter->setText(typed.left(i));
        window.dbgAccounts()->viewport()->repaint();
        clears.push_back(k.nsecsElapsed() / 1e6);
    }
    std::printf("count_accounts=%d\ncount_files=%lld\ncount_total_files_shown=%lld\n"
                "count_gui_thread_ms=%.1f\nwindow_read_ms=%.1f\nwindow_answers_after_read_ms=%.1f\n"
                "count_worst_event_loop_gap_ms=%.1f\ncount_threaded_ms=%.1f\ncount_ratio=%.2f\n"
                "count_window_thread_cpu_ms=%.1f\n"
                "filter_worst_keystroke_ms=%.2f\nfilter_worst_erase_ms=%.2f\nfilter_table_worst_keystroke_ms=%.2f\n"
                "filter_first_keystroke_ms=%.2f\nfilter_shown=%d\n",
                n, files, window.cdsVantory()->aggregate(QStringLiteral("SumTotalFiles")).toLongLong(), guiThreadMs,
                readMs, answersMs, worstGapMs, countingMs, countingMs / guiThreadMs, guiCpuMs,
                *std::max_element(keys.begin(), keys.end()), *std::max_element(clears.begin(), clears.end()),
                *std::max_element(tableKeys.begin(), tableKeys.end()), keys.front(), shownAfterTyping);
    return 0;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    VantoryApplication app(argc, argv);
    Startup::initApplication();
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;

    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < n; ++i) {
        xml += QStringLiteral("<Account><accountID>%1</accountID><siteName>Site %2</siteName><savePath>%3</savePath>"
                              "<monthlyFee>%4</monthlyFee><addedDate>2024-%5-01</addedDate><active>%6</active></Account>\n")
                   .arg(i)
                   .arg((i * 7919) % n)
                   .arg(empty)
                   .arg(5 + (i * 31) % 97)
                   .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                   .arg(i % 3)
                   .toUtf8();
    }
    xml += "</Accounts>\n";
    QFile f(dir.filePath(QStringLiteral("main.xml")));
    if (!f.open(QIODevice::WriteOnly) || f.write(xml) != xml.size())
        return 1;
    f.close();
    RegWriteString(SectionMain, SettingDataPath, dir.path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);

    TfrmVantory window;
    window.resize(900, 700);
    window.show();
    QApplication::processEvents();
    QTableView *grid = window.dbgAccounts();
    grid->setFocus();
    DataSet *table = window.cdsVantory();

    // The site name orders exist after start (ascending) and after one click (descending).
    window.dbgAccountsTitleClick(0);
    const double switchMs = median([&] { window.dbgAccountsTitleClick(0); });

    const char *fields[] = {"monthlyFee", "addedDate", "totalFiles", "active", "siteUrl"};
    int next = 0;
    const double defineMs = median(
        [&] {
            const QString field = QLatin1String(fields[next++ % 5]);
            SortDataSet(*table, field + QStringLiteral("x")); // nothing: no such field
            table->addIndex({field + QStringLiteral("__bench%1").arg(next), field, false, false});
            table->setIndexName(field + QStringLiteral("__bench%1").arg(next));
        },
        5);

    QScrollBar *bar = grid->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    const double scrollMs = median([&] {
        bar->setValue(bar->value() + bar->pageStep());
        grid->viewport()->repaint();
    });
    const double repaintMs = median([&] { grid->viewport()->repaint(); });
    const double refreshMs = median([&] { window.findChild<QAction *>(QStringLiteral("aRefresh"))->trigger(); }, 5);

    std::printf("rows=%d\nswitch_order_ms=%.2f\ndefine_order_ms=%.2f\nscroll_page_ms=%.2f\nfull_repaint_ms=%.2f\n"
                "refresh_ms=%.2f\n",
                table->recordCount(), switchMs, defineMs, scrollMs, repaintMs, refreshMs);
    std::fflush(stdout);
    window.close();
    const QString treeRoot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/vantory-grid-tree");
    return benchCounting(n, treeRoot);
}
