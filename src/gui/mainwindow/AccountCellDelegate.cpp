// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountCellDelegate.h"

#include "AccountModel.h"
#include "VantoryConsts.h"
#include "core/accounts/AccountSchema.h"
#include "gui/widgets/ActiveStateItems.h"
#include "gui/widgets/Icons.h"

#include <QPainter>

AccountCellDelegate::AccountCellDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

void AccountCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (editorCoversCell && editorCoversCell(index))
        return;
    QStyleOptionViewItem opt = option;
    const bool selected = opt.state & QStyle::State_Selected;
    if (!selected)
        opt.backgroundBrush = Qt::NoBrush;
    const QVariant value = index.data(AccountModel::ValueRole);
    if (!value.isValid() || value.isNull()) {
        QStyledItemDelegate::paint(painter, opt, index);
        return;
    }
    if (index.column() == AccountModel::ColumnActive) {
        if (selected)
            painter->fillRect(opt.rect, opt.palette.brush(QPalette::Highlight));
        static const QStringList pictures = activeStatePictures();
        const int state = value.toInt();
        if (state < 0 || state >= pictures.size())
            return; // no picture for a value outside the three states
        const QSize size(16, 16);
        const QPixmap picture = Icons::pixmap(pictures[state], size, painter->device()->devicePixelRatioF());
        const QRect r = opt.rect;
        painter->drawPixmap(QPoint((r.left() + r.right() + 1 - size.width()) / 2,
                                   (r.top() + r.bottom() + 1 - size.height()) / 2),
                            picture);
        return;
    }
    opt.state &= ~QStyle::State_HasFocus; // no focus frame drawn over the tile
    QStyledItemDelegate::paint(painter, opt, index);
}
