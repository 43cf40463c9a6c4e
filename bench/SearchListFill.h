// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class SearchResultList;

// Filling the search result list with many found files, as the search window does after a search:
// emptying it, adding the paths in one batch and painting it once. Shared by the benchmarks of the
// list and of the search window.
namespace SearchListFill {

struct Times
{
    double totalMs = 0; // emptying, adding and painting
    double addMs = 0;   // emptying and adding (one stat per path)
    double paintMs = 0; // the layout and paint that follow
};

// count files in folders of 1,000 under root, with a mix of extensions; made once and kept for later
// runs (a marker file tells that they are complete). Empty when they cannot be made.
QStringList makeFiles(const QString &root, int count);

// Medians of several fills of the list (shown) with paths, after one that warms the caches. False
// when the list did not take every path.
bool measure(SearchResultList &list, const QStringList &paths, Times &times);

double median(std::vector<double> values);

} // namespace SearchListFill
