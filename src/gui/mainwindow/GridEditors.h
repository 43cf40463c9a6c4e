// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QRect>

class DataSet;
class QComboBox;
class QDateEdit;
class QKeyEvent;
class QMenu;
class QTableView;
class QWidget;

// What the in-grid editors need of the window they float in.
class GridEditorHost
{
public:
    // The window the editors are children of.
    virtual QWidget *editorWindow() = 0;
    // The rectangle, in the window's coordinates, that an editor takes over a cell given in the
    // grid viewport's coordinates.
    virtual QRect EditorRectForCell(const QRect &cellRect) const = 0;
    // The pop-up menu the editors share with the grid.
    virtual QMenu *editorPopupMenu() const = 0;

protected:
    ~GridEditorHost() = default;
};

// The two editors laid over the account grid's current cell: a date picker for Date Added and a
// drop-down list with pictures for Active. A change is written to the current row and posted at
// once. Also the grid's key handling that feeds them.
//
// An editor is shown over the current cell of its column or not at all. It is placed whenever the
// current cell, the rows, the scroll position, a section size or the grid's place changes; it
// appears once the grid has held the focus in its column and stays until the column is left (the
// date picker also goes when its calendar closes, until another row is current). It writes only to
// the row it is shown over.
class GridEditors : public QObject
{
    Q_OBJECT

public:
    GridEditors(GridEditorHost &host, QTableView *grid, DataSet *table, QObject *parent = nullptr);

    QDateEdit *dtpGridDate() const { return m_date; }
    QComboBox *cbGridActive() const { return m_active; }

    // The record number of the row on which the date picker's calendar was last closed; -1 for none.
    // It follows that row when rows come and go, and is forgotten when the rows are read or ordered
    // anew.
    int FDateEditRow() const;
    // Set only while the grid's key handler forwards an Enter to the grid.
    bool FForwardingKey() const { return m_forwardingKey; }

    // Whether an editor is shown over the cell (the cell itself is then not drawn).
    bool coversCell(const QModelIndex &index) const;

    // The grid's key handler; true when the key was swallowed.
    bool dbgAccountsKeyDown(QKeyEvent *event);
    // The grid's current column is about to change from the given one.
    void dbgAccountsColExit(int column);

public Q_SLOTS:
    void GridDateChange();
    void GridDateCloseUp();
    void GridActiveChange();
    // Shows each editor over the current cell of its column, or hides it.
    void placeEditors();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Editor
    {
        QWidget *widget = nullptr;
        int column = -1;
        bool armed = false;         // the grid held the focus in this column since it was entered
        QPersistentModelIndex over; // the cell the editor is shown over; invalid while hidden
    };

    void placeEditor(Editor &editor, const QModelIndex &current);
    void loadValue(Editor &editor, const QVariant &value);
    // Whether the editor is shown over the current cell of the grid and of the table.
    bool isOverCurrentRow(const Editor &editor) const;
    bool GridEditorKeyDown(Editor &editor, QKeyEvent *event);
    // Keeps the value of the cell under the editor that just got the focus, for Escape and Ctrl+Z.
    void editorFocusIn(Editor &editor, Qt::FocusReason reason);
    // Puts back the kept value, writing and saving it when the cell holds another by now.
    void undoEditorChange(Editor &editor);
    void deliverTypedKey(QWidget *editor, QKeyEvent *event);
    bool showCurrentEditor(Editor &editor);
    void watchGeometry();

    GridEditorHost &m_host;
    QTableView *m_grid;
    DataSet *m_table;
    QDateEdit *m_date;
    QComboBox *m_active;
    Editor m_dateEditor;
    Editor m_activeEditor;
    QPersistentModelIndex m_dateEditRow; // the cell whose calendar was last closed
    // The value the cell had when an editor got the focus: what Escape and Ctrl+Z in it put back.
    struct UndoValue
    {
        const QWidget *editor = nullptr; // none kept
        quint64 row = 0;                 // the row's identity in the table
        QVariant value;
    };
    UndoValue m_undo;
    bool m_forwardingKey = false;
    bool m_loading = false;
};
