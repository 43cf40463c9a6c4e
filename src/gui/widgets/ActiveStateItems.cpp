// SPDX-License-Identifier: GPL-3.0-or-later
#include "ActiveStateItems.h"

#include "Icons.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QStyledItemDelegate>

QStringList activeStateCaptions()
{
    return {QCoreApplication::translate("ActiveStateItems", "Inactive"),
            QCoreApplication::translate("ActiveStateItems", "Active"),
            QCoreApplication::translate("ActiveStateItems", "Not Applicable")};
}

QStringList activeStatePictures()
{
    return {QStringLiteral("state-inactive"), QStringLiteral("state-active"), QStringLiteral("state-na")};
}

void addActiveStateItems(QComboBox *box)
{
    const QStringList captions = activeStateCaptions();
    const QStringList pictures = activeStatePictures();
    for (int i = 0; i < captions.size(); ++i)
        box->addItem(Icons::icon(pictures[i]), captions[i]);
    // The list that drops down is as wide as its longest caption needs. It is drawn as a plain item
    // list: the menu-like drawing some styles use takes more room than it asks for, and cut "Not
    // Applicable" short in a list as wide as the box.
    box->setItemDelegate(new QStyledItemDelegate(box));
    QAbstractItemView *list = box->view();
    list->setTextElideMode(Qt::ElideRight);
    list->setIconSize(box->iconSize());
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth());
}
