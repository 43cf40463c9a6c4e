#pragma once

#include <QObject>
#include <QRect>

class DataSet;
class QComboBox;
class QDateEdit;
class QKeyEvent;
class QModelIndex;
class QTableView;
class TfrmVantory;

// The two editors laid over the account grid's current cell: a date picker for Date Added and a
// drop-down list with pictures for Active. A change is written to the current row and posted at
// once. Also the grid's key handling that feeds them.
class GridEditors : public QObject
{
    Q_OBJECT

public:
    GridEditors(TfrmVantory *window, QTableView *grid, DataSet *table);

    QDateEdit *dtpGridDate() const { return m_date; }
    QComboBox *cbGridActive() const { return m_active; }

    // From the cell drawing: places and shows the editor of a focused editor cell. False when the
    // cell is to be drawn as usual (the Date Added cell of the remembered row).
    bool showForCell(const QModelIndex &index, const QRect &cellRect);

    // The grid's key handler; true when the key was swallowed.
    bool dbgAccountsKeyDown(QKeyEvent *event);
    // The grid's current column is about to change from the given one.
    void dbgAccountsColExit(int column);

public Q_SLOTS:
    void GridDateChange();
    void GridDateCloseUp();
    void GridActiveChange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool GridEditorKeyDown(QKeyEvent *event);
    void deliverTypedKey(QWidget *editor, QKeyEvent *event);
    bool showCurrentEditor(int column);

    TfrmVantory *m_window;
    QTableView *m_grid;
    DataSet *m_table;
    QDateEdit *m_date;
    QComboBox *m_active;
    bool m_loading = false;
};
