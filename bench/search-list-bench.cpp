// search-list-bench [N] [FOLDER]
//
// Times the search result list, offscreen: emptying it, adding N paths of existing files
// (default 100,000) in one batch and painting it once, as the search window does after a search.
// The files are made once under FOLDER (default /tmp/vantory-search-list-N) and kept for later
// runs. Prints the median of several runs in milliseconds, in total (fill_100k_ms for N = 100,000)
// and split into adding (one stat per path) and the layout and paint that follow; then the time of
// sorting the full list by name and by type.
#include "search/SearchResultList.h"
#include "search/SearchResultModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Folders of 1,000 files with a mix of extensions, as save folders hold them.
QStringList makeFiles(const QString &root, int count)
{
    static const char *const extensions[] = {"txt", "pdf", "doc", "zip", "htm", "mp3", "jpg", "exe"};
    QStringList paths;
    paths.reserve(count);
    const QString marker = root + QStringLiteral("/.complete");
    const bool ready = QFileInfo::exists(marker);
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QStringLiteral("/folder%1").arg(i / 1000, 3, 10, QLatin1Char('0'));
        if (!ready && i % 1000 == 0)
            QDir().mkpath(folder);
        const QString path =
            folder + QStringLiteral("/Report number %1.%2").arg(i).arg(QLatin1String(extensions[i % 8]));
        if (!ready) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return {};
        }
        paths << path;
    }
    if (!ready) {
        QFile file(marker);
        if (!file.open(QIODevice::WriteOnly))
            return {};
    }
    return paths;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const QString root =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/vantory-search-list-%1").arg(count);
    const QStringList paths = makeFiles(root, count);
    if (paths.size() != count) {
        std::fprintf(stderr, "search-list-bench: cannot make the files under %s\n", qPrintable(root));
        return 1;
    }

    SearchResultList list;
    list.resize(900, 600);
    list.show();
    QApplication::processEvents();
    SearchResultModel *results = list.results();

    std::vector<double> total;
    std::vector<double> adding;
    std::vector<double> painting;
    for (int run = 0; run < 6; ++run) {
        QElapsedTimer timer;
        timer.start();
        results->clear();
        const int added = results->appendPaths(paths);
        const qint64 added_ns = timer.nsecsElapsed();
        list.viewport()->repaint();
        QApplication::processEvents();
        const qint64 all_ns = timer.nsecsElapsed();
        if (added != count) {
            std::fprintf(stderr, "search-list-bench: %d of %d paths added\n", added, count);
            return 1;
        }
        if (run == 0)
            continue; // the first run warms the file system's caches
        total.push_back(all_ns / 1e6);
        adding.push_back(added_ns / 1e6);
        painting.push_back((all_ns - added_ns) / 1e6);
    }

    const auto timeSort = [&](int column) {
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            list.sortByColumn(column, run % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
            list.viewport()->repaint();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return median(times);
    };
    const double sortName = timeSort(SearchResultModel::ColumnName);
    const double sortType = timeSort(SearchResultModel::ColumnType);

    const QByteArray label = count == 100000 ? QByteArray("fill_100k_ms") : "fill_" + QByteArray::number(count) + "_ms";
    std::printf("%s=%.1f\nadd_ms=%.1f\nlayout_paint_ms=%.1f\nsort_name_ms=%.1f\nsort_type_ms=%.1f\n", label.constData(),
                median(total), median(adding), median(painting), sortName, sortType);
    return 0;
}
