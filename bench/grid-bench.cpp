// Times the account list with N accounts (default 10,000), offscreen: switching to a sort order
// already defined, defining a new one, scrolling a page, repainting the whole grid and a refresh
// with empty save folders. Prints one line per measure in milliseconds (median of several runs).
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/VantoryConsts.h"
#include "data/AccountSchema.h"
#include "data/CommonUtil.h"
#include "data/DataSet.h"
#include "settings/RegSettings.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
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
    return 0;
}
