// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DataSetSource.h"

#include <QAbstractTableModel>

#include <functional>

class DataSet;

// Shows the account table to the grid: five columns, rows in the table's active order. It reads the
// values the table holds (computed fields included) and never computes anything itself, so painting
// never touches the disk.
class AccountModel : public QAbstractTableModel, public DataSetSource
{
    Q_OBJECT

public:
    enum Column { ColumnSite, ColumnTotalFiles, ColumnDateAdded, ColumnActive, ColumnMonthlyFee, ColumnCount };
    // The raw field value, for sorting and for the cell delegate.
    static constexpr int ValueRole = Qt::UserRole + 1;
    // The field name of a column.
    static constexpr int FieldNameRole = Qt::UserRole + 2;

    explicit AccountModel(DataSet *table, QObject *parent = nullptr);

    // Display text of the file-count column (the main window's text handler).
    void setFileCountText(std::function<QString(qint32)> text) { m_fileCountText = std::move(text); }

    static QString fieldName(int column);
    // The column whose title is drawn bold (-1: none).
    void setBoldColumn(int column);
    int boldColumn() const { return m_boldColumn; }
    bool isDataSetOpen() const override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    DataSet *m_table;
    std::function<QString(qint32)> m_fileCountText;
    std::vector<int> m_fieldOfColumn;
    int m_boldColumn = -1;
    QModelIndexList m_reorderFrom;         // the grid's cells while rows change places
    std::vector<quint64> m_reorderSerials; // the records they are on
};
