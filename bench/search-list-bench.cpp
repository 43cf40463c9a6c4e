// SPDX-License-Identifier: GPL-3.0-or-later
// search-list-bench [N] [FOLDER]
//
// Times the search result list, offscreen: emptying it, adding N paths of existing files
// (default 100,000) in one batch and painting it once, as the search window does after a search.
// The files are made once under FOLDER (default /tmp/vantory-search-list-N) and kept for later
// runs. Prints the median of several runs in milliseconds, in total (fill_100k_ms for N = 100,000)
// and split into adding (one stat per path) and the layout and paint that follow; then the time of
// sorting the full list by name and by type.
#include "SearchListFill.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const QString root =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/vantory-search-list-%1").arg(count);
    const QStringList paths = SearchListFill::makeFiles(root, count);
    if (paths.size() != count) {
        std::fprintf(stderr, "search-list-bench: cannot make the files under %s\n", qPrintable(root));
        return 1;
    }

    SearchResultList list;
    list.resize(900, 600);
    list.show();
    QApplication::processEvents();
    SearchListFill::Times fill;
    if (!SearchListFill::measure(list, paths, fill)) {
        std::fprintf(stderr, "search-list-bench: not every path was added\n");
        return 1;
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
        return SearchListFill::median(times);
    };
    const double sortName = timeSort(SearchResultModel::ColumnName);
    const double sortType = timeSort(SearchResultModel::ColumnType);

    const QByteArray label = count == 100000 ? QByteArray("fill_100k_ms") : "fill_" + QByteArray::number(count) + "_ms";
    std::printf("%s=%.1f\nadd_ms=%.1f\nlayout_paint_ms=%.1f\nsort_name_ms=%.1f\nsort_type_ms=%.1f\n", label.constData(),
                fill.totalMs, fill.addMs, fill.paintMs, sortName, sortType);
    return 0;
}
