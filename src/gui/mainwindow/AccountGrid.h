// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridEditors.h"
#include "gui/widgets/ExtDBGrid.h"

class AccountModel;
class DataSet;
class QMenu;
class TotalsBar;

// The account list's grid: the rows of the account table, kept in step with its current record, the
// column widths (shared with the totals bar below it), the in-grid editors and the grid's own keys
// and mouse: Enter or a double click on a row asks for its account to be opened, a click on a title
// asks for the order.
class AccountGrid : public TExtDBGrid, public GridEditorHost
{
    Q_OBJECT

public:
    static constexpr int RowHeight = 19;

    // The editors float in the window that holds the grid; the pop-up menu is the window's.
    AccountGrid(DataSet *table, TotalsBar *totals, QMenu *popup, QWidget *parent);
    ~AccountGrid() override;

    AccountModel *accountModel() const { return m_model; }
    // The date picker and the state list over the grid; none until createEditors().
    GridEditors *editors() const { return m_editors; }
    // Lays the editors over the grid: once the window around it is built.
    void createEditors();

    // The five column widths and the totals bar's six sections, from the grid's width: the columns
    // always fit, a vertical scroll bar included.
    void LayoutColumns();
    // The data rows' height.
    void ResetRowHeight();

    // GridEditorHost
    QWidget *editorWindow() override { return window(); }
    QRect EditorRectForCell(const QRect &cellRect) const override;
    QMenu *editorPopupMenu() const override { return m_popup; }

Q_SIGNALS:
    // Enter on a row or a double click on one: its account is to be opened.
    void accountActivated();
    // A column's title was clicked: the list is to be ordered by it.
    void titleClicked(int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followCurrentRecord();
    bool keyPressed(QKeyEvent *key);

    DataSet *m_table;
    TotalsBar *m_totals;
    QMenu *m_popup;
    AccountModel *m_model = nullptr;
    GridEditors *m_editors = nullptr;
    int m_currentColumn = 0; // kept while the rows are read or ordered anew
};
