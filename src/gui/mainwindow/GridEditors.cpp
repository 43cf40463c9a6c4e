// SPDX-License-Identifier: GPL-3.0-or-later
#include "GridEditors.h"

#include "AccountModel.h"
#include "VantoryConsts.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/DataSet.h"
#include "gui/widgets/ActiveStateItems.h"
#include "gui/widgets/PlatformServices.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>

using namespace VantoryConsts;
using namespace AccountSchema;

namespace {
bool holdsFocus(const QWidget *editor)
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == editor || editor->isAncestorOf(focus));
}
} // namespace

GridEditors::GridEditors(GridEditorHost &host, QTableView *grid, DataSet *table, QObject *parent)
    : QObject(parent), m_host(host), m_grid(grid), m_table(table)
{
    QWidget *window = host.editorWindow();
    m_date = new QDateEdit(window);
    m_date->setObjectName(QStringLiteral("dtpGridDate"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_date->hide();
    m_date->installEventFilter(this);
    m_date->calendarWidget()->installEventFilter(this);
    connect(m_date, &QDateEdit::dateChanged, this, [this] {
        if (!m_loading)
            GridDateChange();
    });

    m_active = new QComboBox(window);
    m_active->setObjectName(QStringLiteral("cbGridActive"));
    m_active->setEditable(false);
    addActiveStateItems(m_active);
    m_active->hide();
    m_active->installEventFilter(this);
    connect(m_active, &QComboBox::activated, this, &GridEditors::GridActiveChange);

    m_dateEditor.widget = m_date;
    m_dateEditor.column = AccountModel::ColumnDateAdded;
    m_activeEditor.widget = m_active;
    m_activeEditor.column = AccountModel::ColumnActive;

    // Both editors share the grid's pop-up menu.
    for (QWidget *editor : {static_cast<QWidget *>(m_date), static_cast<QWidget *>(m_active)}) {
        editor->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(editor, &QWidget::customContextMenuRequested, this, [this, editor](const QPoint &pos) {
            if (QMenu *menu = m_host.editorPopupMenu())
                menu->popup(editor->mapToGlobal(pos));
        });
    }

    // Everything that moves the current cell or its place on the screen places the editors again.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                if (previous.isValid() && previous.column() != current.column())
                    dbgAccountsColExit(previous.column());
                placeEditors();
            });
    QAbstractItemModel *model = m_grid->model();
    // Read again or ordered anew, the rows are no longer those whose calendar was closed.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_dateEditRow = QPersistentModelIndex(); });
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { m_dateEditRow = QPersistentModelIndex(); });
    connect(model, &QAbstractItemModel::modelReset, this, &GridEditors::placeEditors);
    connect(model, &QAbstractItemModel::layoutChanged, this, &GridEditors::placeEditors);
    connect(model, &QAbstractItemModel::rowsInserted, this, &GridEditors::placeEditors);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &GridEditors::placeEditors);
    connect(model, &QAbstractItemModel::rowsMoved, this, &GridEditors::placeEditors);
    connect(model, &QAbstractItemModel::dataChanged, this, &GridEditors::placeEditors);
    for (QScrollBar *bar : {m_grid->verticalScrollBar(), m_grid->horizontalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, &GridEditors::placeEditors);
        connect(bar, &QScrollBar::rangeChanged, this, &GridEditors::placeEditors);
    }
    for (QHeaderView *header : {m_grid->horizontalHeader(), m_grid->verticalHeader()}) {
        connect(header, &QHeaderView::sectionResized, this, &GridEditors::placeEditors);
        connect(header, &QHeaderView::geometriesChanged, this, &GridEditors::placeEditors);
    }
    watchGeometry();
}

void GridEditors::watchGeometry()
{
    // The grid gaining the focus shows the editor of its current column; the grid or anything
    // between it and the window moving or changing size moves the cell.
    m_grid->viewport()->installEventFilter(this);
    for (QWidget *w = m_grid; w && w != m_host.editorWindow(); w = w->parentWidget())
        w->installEventFilter(this);
}

int GridEditors::FDateEditRow() const
{
    return m_dateEditRow.isValid() ? m_dateEditRow.row() + 1 : -1;
}

bool GridEditors::coversCell(const QModelIndex &index) const
{
    for (const Editor *editor : {&m_dateEditor, &m_activeEditor}) {
        if (!editor->widget->isHidden() && editor->over.isValid() && editor->over == index)
            return true;
    }
    return false;
}

void GridEditors::placeEditors()
{
    const QModelIndex current = m_grid->currentIndex();
    placeEditor(m_dateEditor, current);
    placeEditor(m_activeEditor, current);
}

void GridEditors::placeEditor(Editor &editor, const QModelIndex &current)
{
    const bool inColumn = current.isValid() && current.column() == editor.column;
    if (current.isValid() && !inColumn)
        editor.armed = false;
    else if (inColumn && m_grid->hasFocus())
        editor.armed = true;

    bool wanted = inColumn && editor.armed;
    QVariant value;
    if (wanted) {
        value = current.data(AccountModel::ValueRole);
        wanted = value.isValid() && !value.isNull(); // an empty cell never shows an editor
    }
    if (wanted && editor.widget == m_date && m_dateEditRow.isValid() && m_dateEditRow.row() == current.row())
        wanted = false; // the calendar was closed on this row: its date shows as text
    QRect cell;
    if (wanted) {
        cell = m_grid->visualRect(current);
        wanted = cell.isValid() && m_grid->viewport()->rect().intersects(cell); // scrolled out of view
    }
    if (!wanted) {
        editor.widget->hide();
        editor.over = QPersistentModelIndex();
        return;
    }
    // Never narrower than the editor's content needs (the longest state caption, a date in the short
    // format), so nothing in it is cut; it may then reach over the next cell, not out of the window.
    QRect r = m_host.EditorRectForCell(cell);
    r.setWidth(std::max(r.width(), editor.widget->sizeHint().width()));
    if (const int right = m_host.editorWindow()->width(); r.right() >= right)
        r.moveRight(right - 1);
    editor.widget->setGeometry(r);
    // A value being typed is not overwritten by the row's; another row's value is always loaded.
    if (editor.over != current || !holdsFocus(editor.widget))
        loadValue(editor, value);
    editor.over = current;
    editor.widget->show();
    editor.widget->raise();
}

void GridEditors::loadValue(Editor &editor, const QVariant &value)
{
    // Loading is no change: it does not commit.
    m_loading = true;
    if (editor.widget == m_date)
        m_date->setDate(value.toDate());
    else
        m_active->setCurrentIndex(value.toInt());
    m_loading = false;
}

bool GridEditors::isOverCurrentRow(const Editor &editor) const
{
    const QModelIndex current = m_grid->currentIndex();
    return !editor.widget->isHidden() && current.isValid() && editor.over == current &&
           m_table->recNo() == current.row() + 1;
}

void GridEditors::GridDateChange()
{
    // A change in an editor that is not over the current row goes nowhere; the editor is put right.
    if (!isOverCurrentRow(m_dateEditor)) {
        placeEditors();
        return;
    }
    if (!m_table->edit() || !m_table->setValue(FieldAddedDate, m_date->date()) || !m_table->post())
        Platform::showError(m_table->lastError(), m_host.editorWindow());
}

void GridEditors::GridDateCloseUp()
{
    m_dateEditRow = QPersistentModelIndex(m_grid->model()->index(m_table->recNo() - 1, m_dateEditor.column));
    m_date->hide();
    m_dateEditor.over = QPersistentModelIndex();
    m_grid->setFocus();
    placeEditors();
}

void GridEditors::GridActiveChange()
{
    if (!isOverCurrentRow(m_activeEditor)) {
        placeEditors();
        return;
    }
    if (!m_table->edit() || !m_table->setValue(FieldActive, m_active->currentIndex()) || !m_table->post()) {
        Platform::showError(m_table->lastError(), m_host.editorWindow());
        return;
    }
    // The post may have moved the row (sorted by Active): the box follows it.
    placeEditors();
}

void GridEditors::dbgAccountsColExit(int column)
{
    if (column == m_dateEditor.column) {
        m_dateEditor.armed = false;
        m_dateEditRow = QPersistentModelIndex();
        m_date->hide();
        m_dateEditor.over = QPersistentModelIndex();
    } else if (column == m_activeEditor.column) {
        m_activeEditor.armed = false;
        m_active->hide();
        m_activeEditor.over = QPersistentModelIndex();
    }
}

bool GridEditors::showCurrentEditor(Editor &editor)
{
    if (editor.widget == m_date)
        m_dateEditRow = QPersistentModelIndex(); // a key asks for the picker even on the remembered row
    editor.armed = true;
    placeEditors();
    return !editor.widget->isHidden();
}

void GridEditors::deliverTypedKey(QWidget *editor, QKeyEvent *event)
{
    editor->setFocus();
    // The key code itself is the character, as the keyboard reports it: letters come upper-case.
    const int key = event->key();
    const QString text = key > 0 && key < 0x100 ? QString(QChar(key)) : event->text();
    QWidget *target = editor;
    if (auto *spin = qobject_cast<QDateEdit *>(editor))
        target = spin->findChild<QLineEdit *>();
    QKeyEvent typed(QEvent::KeyPress, key, event->modifiers(), text);
    QApplication::sendEvent(target ? target : editor, &typed);
}

bool GridEditors::dbgAccountsKeyDown(QKeyEvent *event)
{
    if (m_forwardingKey)
        return false;
    const int key = event->key();
    if (key == Qt::Key_Insert)
        return true; // the Add command owns this key
    if (key == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier))
        return true; // the Remove command owns this key
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Left || key == Qt::Key_Right ||
        key == Qt::Key_Up || key == Qt::Key_Down)
        return false;
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return false;
    const int column = current.column();
    if (column == m_dateEditor.column || column == m_activeEditor.column) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter || event->text().isEmpty())
            return false;
        // A hidden editor is shown first, so the key always arrives.
        Editor &editor = column == m_dateEditor.column ? m_dateEditor : m_activeEditor;
        if (!showCurrentEditor(editor))
            return false;
        deliverTypedKey(editor.widget, event);
        return true;
    }
    if (column != AccountModel::ColumnTotalFiles)
        return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_forwardingKey = true;
        QKeyEvent enter(QEvent::KeyPress, key, event->modifiers(), QStringLiteral("\r"));
        QApplication::sendEvent(m_grid, &enter);
        m_forwardingKey = false;
        return true;
    }
    return false;
}

bool GridEditors::GridEditorKeyDown(Editor &editor, QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        m_grid->setFocus();
    // A change is saved at once; these keys take it back.
    if ((event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) ||
        event->matches(QKeySequence::Undo)) {
        undoEditorChange(editor);
        return true;
    }
    return false;
}

void GridEditors::editorFocusIn(Editor &editor, Qt::FocusReason reason)
{
    // Back from the editor's own pop-up or from another window, the user is still at the same change.
    const bool returning = reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
    if (returning && m_undo.editor == editor.widget)
        return;
    m_undo = UndoValue();
    if (!isOverCurrentRow(editor))
        return;
    m_undo.editor = editor.widget;
    m_undo.row = m_table->serialAt(m_table->recNo());
    m_undo.value = m_table->value(editor.widget == m_date ? FieldAddedDate : FieldActive);
}

void GridEditors::undoEditorChange(Editor &editor)
{
    if (m_undo.editor != editor.widget || !isOverCurrentRow(editor) ||
        m_table->serialAt(m_table->recNo()) != m_undo.row)
        return;
    const QString field = editor.widget == m_date ? FieldAddedDate : FieldActive;
    // Nothing changed, nothing is written.
    if (m_table->value(field) != m_undo.value &&
        (!m_table->edit() || !m_table->setValue(field, m_undo.value) || !m_table->post())) {
        Platform::showError(m_table->lastError(), m_host.editorWindow());
        return;
    }
    loadValue(editor, m_undo.value);
    // The post may have moved the row (sorted by the column): the editor follows it.
    placeEditors();
}

bool GridEditors::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == m_date || watched == m_active)
            return GridEditorKeyDown(watched == m_date ? m_dateEditor : m_activeEditor,
                                     static_cast<QKeyEvent *>(event));
        break;
    case QEvent::Hide:
        if (watched == m_date->calendarWidget() && m_date->isVisible())
            GridDateCloseUp();
        break;
    case QEvent::FocusIn:
        if (watched == m_grid)
            placeEditors();
        else if (watched == m_date || watched == m_active)
            editorFocusIn(watched == m_date ? m_dateEditor : m_activeEditor,
                          static_cast<QFocusEvent *>(event)->reason());
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (watched != m_date && watched != m_active && watched != m_date->calendarWidget())
            placeEditors();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
