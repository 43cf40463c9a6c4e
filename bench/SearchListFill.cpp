// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchListFill.h"

#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace SearchListFill {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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

bool measure(SearchResultList &list, const QStringList &paths, Times &times)
{
    SearchResultModel *results = list.results();
    std::vector<double> total;
    std::vector<double> adding;
    std::vector<double> painting;
    for (int run = 0; run < 6; ++run) {
        QElapsedTimer timer;
        timer.start();
        results->clear();
        const int added = results->appendPaths(paths);
        const qint64 addedNs = timer.nsecsElapsed();
        list.viewport()->repaint();
        QApplication::processEvents();
        const qint64 allNs = timer.nsecsElapsed();
        if (added != paths.size())
            return false;
        if (run == 0)
            continue; // the first run warms the file system's caches
        total.push_back(allNs / 1e6);
        adding.push_back(addedNs / 1e6);
        painting.push_back((allNs - addedNs) / 1e6);
    }
    times.totalMs = median(total);
    times.addMs = median(adding);
    times.paintMs = median(painting);
    return true;
}

} // namespace SearchListFill
