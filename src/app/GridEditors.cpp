#include "GridEditors.h"

#include "AccountModel.h"
#include "ActiveStateItems.h"
#include "MainForm.h"
#include "VantoryConsts.h"
#include "data/AccountTable.h"
#include "data/DataSet.h"
#include "platform/PlatformServices.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

using namespace VantoryConsts;

GridEditors::GridEditors(TfrmVantory *window, QTableView *grid, DataSet *table)
    : QObject(window)
    , m_window(window)
    , m_grid(grid)
    , m_table(table)
{
    window->FForwardingKey = false;
    window->FDateEditRow = -1;

    m_date = new QDateEdit(window);
    m_date->setObjectName(QStringLiteral("dtpGridDate"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_date->hide();
    m_date->setContextMenuPolicy(Qt::CustomContextMenu);
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
    m_active->setContextMenuPolicy(Qt::CustomContextMenu);
    m_active->installEventFilter(this);
    connect(m_active, &QComboBox::activated, this, &GridEditors::GridActiveChange);

    // Both editors share the grid's pop-up menu.
    for (QWidget *editor : {static_cast<QWidget *>(m_date), static_cast<QWidget *>(m_active)}) {
        connect(editor, &QWidget::customContextMenuRequested, this, [this, editor](const QPoint &pos) {
            if (auto *menu = m_window->findChild<QMenu *>(QStringLiteral("pmAccounts")))
                menu->popup(editor->mapToGlobal(pos));
        });
    }
}

bool GridEditors::showForCell(const QModelIndex &index, const QRect &cellRect)
{
    const QRect r = m_window->EditorRectForCell(cellRect);
    if (index.column() == AccountModel::ColumnActive) {
        m_active->setGeometry(r);
        m_loading = true;
        m_active->setCurrentIndex(index.data(AccountModel::ValueRole).toInt());
        m_loading = false;
        m_active->show();
        m_active->raise();
        return true;
    }
    if (index.column() == AccountModel::ColumnDateAdded && index.row() + 1 != m_window->FDateEditRow) {
        m_date->setGeometry(r);
        m_loading = true;
        m_date->setDate(index.data(AccountModel::ValueRole).toDate());
        m_loading = false;
        m_date->show();
        m_date->raise();
        return true;
    }
    return false;
}

void GridEditors::GridDateChange()
{
    if (!m_table->edit() || !m_table->setValue(FieldAddedDate, m_date->date()) || !m_table->post())
        Platform::showError(m_table->lastError(), m_window);
}

void GridEditors::GridDateCloseUp()
{
    m_date->hide();
    m_window->FDateEditRow = m_table->recNo();
    m_grid->setFocus();
}

void GridEditors::GridActiveChange()
{
    if (!m_table->edit() || !m_table->setValue(FieldActive, m_active->currentIndex()) || !m_table->post()) {
        Platform::showError(m_table->lastError(), m_window);
        return;
    }
    // The post may have moved the row (sorted by Active): the box follows it.
    const int row = m_table->recNo() - 1;
    const QRect cell = m_grid->visualRect(m_grid->model()->index(row, AccountModel::ColumnActive));
    const QRect target = m_window->EditorRectForCell(cell);
    m_active->move(m_active->x(), target.y());
}

void GridEditors::dbgAccountsColExit(int column)
{
    if (column == AccountModel::ColumnDateAdded) {
        m_date->hide();
        m_window->FDateEditRow = -1;
    } else if (column == AccountModel::ColumnActive) {
        m_active->hide();
    }
}

bool GridEditors::showCurrentEditor(int column)
{
    const QModelIndex current = m_grid->currentIndex();
    const QVariant value = current.data(AccountModel::ValueRole);
    if (!value.isValid() || value.isNull())
        return false;
    if (column == AccountModel::ColumnDateAdded)
        m_window->FDateEditRow = -1; // a key asks for the picker even on the remembered row
    return showForCell(current, m_grid->visualRect(current));
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
    if (m_window->FForwardingKey)
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
    if (column == AccountModel::ColumnDateAdded || column == AccountModel::ColumnActive) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter || event->text().isEmpty())
            return false;
        // A hidden editor is shown first, so the key always arrives.
        if (!showCurrentEditor(column))
            return false;
        deliverTypedKey(column == AccountModel::ColumnDateAdded ? static_cast<QWidget *>(m_date) : m_active, event);
        return true;
    }
    if (column != AccountModel::ColumnTotalFiles)
        return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_window->FForwardingKey = true;
        QKeyEvent enter(QEvent::KeyPress, key, event->modifiers(), QStringLiteral("\r"));
        QApplication::sendEvent(m_grid, &enter);
        m_window->FForwardingKey = false;
        return true;
    }
    return false;
}

bool GridEditors::GridEditorKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        m_grid->setFocus();
    return false;
}

bool GridEditors::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_date || watched == m_active))
        return GridEditorKeyDown(static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::Hide && watched == m_date->calendarWidget() && m_date->isVisible())
        GridDateCloseUp();
    return QObject::eventFilter(watched, event);
}
