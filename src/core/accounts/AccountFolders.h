// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

// One account's save folder as a search takes it, with the account's identity and site name beside
// it so that what is found can be told by account.
struct AccountFolder
{
    qint64 accountId = 0;
    QString siteName;
    QString savePath;
};

// Hands out every account's save folder as the accounts stand when it is called: all of them, whatever
// the list shows or how it is ordered, in a fixed order (by account identifier). A search takes it
// once when it starts and walks that list, so nothing that happens to the accounts meanwhile (a count
// that reorders them, a filter, an edit) changes which folders it looks through.
using AccountFolderSnapshot = std::function<QList<AccountFolder>()>;
