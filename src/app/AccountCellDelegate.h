#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Draws the account grid's data cells: unselected cells without a fill so the grid's tile shows,
// the state picture centred in the Active column, and — for the focused Date Added and Active
// cells — nothing at all, handing the cell to the in-grid editor instead.
class AccountCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit AccountCellDelegate(QObject *parent = nullptr);

    // Called for a focused editor cell instead of drawing it; returns false to draw it normally.
    std::function<bool(const QModelIndex &index, const QRect &cellRect)> showEditorForCell;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
