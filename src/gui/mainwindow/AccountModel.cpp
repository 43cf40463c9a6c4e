// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountModel.h"

#include "VantoryConsts.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/DataSet.h"

#include <QDate>
#include <QFont>
#include <QLocale>

using namespace VantoryConsts;
using namespace AccountSchema;

AccountModel::AccountModel(DataSet *table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(table)
{
    for (int c = 0; c < ColumnCount; ++c)
        m_fieldOfColumn.push_back(table->fieldIndex(fieldName(c)));

    connect(table, &DataSet::aboutToReset, this, [this] { beginResetModel(); });
    connect(table, &DataSet::reset, this, [this] { endResetModel(); });
    connect(table, &DataSet::rowAboutToBeInserted, this, [this](int pos) { beginInsertRows({}, pos, pos); });
    connect(table, &DataSet::rowInserted, this, [this] { endInsertRows(); });
    connect(table, &DataSet::rowAboutToBeRemoved, this, [this](int pos) { beginRemoveRows({}, pos, pos); });
    connect(table, &DataSet::rowRemoved, this, [this] { endRemoveRows(); });
    connect(table, &DataSet::rowAboutToMove, this,
            [this](int from, int to) { beginMoveRows({}, from, from, {}, to > from ? to + 1 : to); });
    connect(table, &DataSet::rowMoved, this, [this] { endMoveRows(); });
    // Rows that change places at once keep the grid's current cell and selection on their records.
    connect(table, &DataSet::aboutToReorder, this, [this] {
        Q_EMIT layoutAboutToBeChanged();
        m_reorderFrom = persistentIndexList();
        m_reorderSerials.clear();
        for (const QModelIndex &index : std::as_const(m_reorderFrom))
            m_reorderSerials.push_back(m_table->serialAt(index.row() + 1));
    });
    connect(table, &DataSet::reordered, this, [this] {
        QModelIndexList to;
        for (qsizetype i = 0; i < m_reorderFrom.size(); ++i) {
            const int recNo = m_table->recNoOfSerial(m_reorderSerials[size_t(i)]);
            to << (recNo > 0 ? index(recNo - 1, m_reorderFrom[i].column()) : QModelIndex());
        }
        changePersistentIndexList(m_reorderFrom, to);
        m_reorderFrom.clear();
        m_reorderSerials.clear();
        Q_EMIT layoutChanged();
    });
    connect(table, &DataSet::rowChanged, this,
            [this](int pos) { Q_EMIT dataChanged(index(pos, 0), index(pos, ColumnCount - 1)); });
}

QString AccountModel::fieldName(int column)
{
    switch (column) {
    case ColumnSite: return FieldSiteName;
    case ColumnTotalFiles: return FieldTotalFiles;
    case ColumnDateAdded: return FieldAddedDate;
    case ColumnActive: return FieldActive;
    case ColumnMonthlyFee: return FieldMonthlyFee;
    default: return {};
    }
}

bool AccountModel::isDataSetOpen() const
{
    return m_table->isActive();
}

int AccountModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table->recordCount();
}

int AccountModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AccountModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QVariant value = m_table->valueAt(index.row() + 1, m_fieldOfColumn[size_t(index.column())]);
    switch (role) {
    case ValueRole:
        return value;
    case FieldNameRole:
        return fieldName(index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DisplayRole:
    case Qt::EditRole:
        break;
    default:
        return {};
    }
    if (!value.isValid() || value.isNull()) {
        // A folder still being counted.
        if (index.column() == ColumnTotalFiles)
            return QStringLiteral("\u2026");
        return {};
    }
    switch (index.column()) {
    case ColumnSite:
        return value.toString();
    case ColumnTotalFiles:
        return m_fileCountText ? m_fileCountText(value.toInt()) : QString::number(value.toInt());
    case ColumnDateAdded:
        return QLocale().toString(value.toDate(), QLocale::ShortFormat);
    case ColumnActive:
        return {}; // the state picture is the whole cell
    case ColumnMonthlyFee:
        return QLocale().toCurrencyString(value.toDouble(), QLocale().currencySymbol(), 2);
    }
    return {};
}

void AccountModel::setBoldColumn(int column)
{
    const int old = m_boldColumn;
    m_boldColumn = column;
    if (old >= 0 && old < ColumnCount)
        Q_EMIT headerDataChanged(Qt::Horizontal, old, old);
    if (column >= 0 && column < ColumnCount)
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

QVariant AccountModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::FontRole && section == m_boldColumn) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant(); // the indicator column has no numbers
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColumnSite: return tr("Site");
    case ColumnTotalFiles: return tr("Total Files");
    case ColumnDateAdded: return tr("Date Added");
    case ColumnActive: return tr("Active");
    case ColumnMonthlyFee: return tr("Monthly Fee");
    }
    return {};
}
