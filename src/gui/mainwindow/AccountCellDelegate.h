// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Draws the account grid's data cells: unselected cells without a fill so the grid's tile shows,
// the state picture centred in the Active column, and nothing at all where an in-grid editor is
// shown over the cell. Drawing never places or shows an editor.
class AccountCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit AccountCellDelegate(QObject *parent = nullptr);

    // Whether an in-grid editor is shown over the cell.
    std::function<bool(const QModelIndex &index)> editorCoversCell;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
