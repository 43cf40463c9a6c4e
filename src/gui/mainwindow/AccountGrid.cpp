// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountGrid.h"

#include "AccountCellDelegate.h"
#include "AccountModel.h"
#include "TotalsBar.h"
#include "core/accounts/DataSet.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include <utility>

namespace {
constexpr int IndicatorWidth = 11;
} // namespace

AccountGrid::AccountGrid(DataSet *table, TotalsBar *totals, QMenu *popup, QWidget *parent)
    : TExtDBGrid(parent), m_table(table), m_totals(totals), m_popup(popup)
{
    setObjectName(QStringLiteral("dbgAccounts"));
    setStripedBackground();
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the columns are laid out to fit
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_popup->popup(viewport()->mapToGlobal(pos)); });
    m_model = new AccountModel(m_table, this);
    setModel(m_model);
    auto *delegate = new AccountCellDelegate(this);
    delegate->editorCoversCell = [this](const QModelIndex &index) { return m_editors && m_editors->coversCell(index); };
    setItemDelegate(delegate);
    QHeaderView *rows = verticalHeader();
    rows->setFixedWidth(IndicatorWidth);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(RowHeight);
    QHeaderView *titles = horizontalHeader();
    titles->setSectionsClickable(true);
    titles->setSectionsMovable(false);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(0);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(titles, &QHeaderView::sectionClicked, this, &AccountGrid::titleClicked);
    for (QObject *watched : {static_cast<QObject *>(titles->viewport()), static_cast<QObject *>(viewport()),
                             static_cast<QObject *>(this), static_cast<QObject *>(verticalScrollBar())})
        watched->installEventFilter(this);
    followCurrentRecord();
    m_totals->setColumnWidthSource([this](int column) { return columnWidth(column); });
}

AccountGrid::~AccountGrid()
{
    // A dying widget still sends events (hide, focus) to the filters watching it, and by then it is no
    // longer the class it was: the editors and the filters go first.
    delete std::exchange(m_editors, nullptr);
    for (QObject *watched : {static_cast<QObject *>(horizontalHeader()->viewport()),
                             static_cast<QObject *>(viewport()), static_cast<QObject *>(this),
                             static_cast<QObject *>(verticalScrollBar())})
        watched->removeEventFilter(this);
}

void AccountGrid::followCurrentRecord()
{
    // The grid's current row is the table's current record, both ways. (The in-grid editors connect
    // after this, so they see the table already moved.)
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!current.isValid())
            return;
        m_currentColumn = current.column();
        if (current.row() + 1 != m_table->recNo())
            m_table->setRecNo(current.row() + 1);
    });
    connect(m_table, &DataSet::currentChanged, this, [this] {
        const int row = m_table->recNo() - 1;
        if (row < 0)
            return;
        // After the rows were read or ordered anew the grid has no current cell: the current record
        // comes back in the column the user was in.
        const QModelIndex current = currentIndex();
        if (current.row() != row)
            setCurrentIndex(m_model->index(row, current.isValid() ? current.column() : m_currentColumn));
    });
}

void AccountGrid::createEditors()
{
    // The editors start hidden, with no remembered row and no key being forwarded.
    if (!m_editors)
        m_editors = new GridEditors(*this, this, m_table, this);
}

void AccountGrid::LayoutColumns()
{
    constexpr int n = AccountModel::ColumnCount;
    // The grid's width, less a vertical scroll bar when one shows: the columns always fit.
    QScrollBar *bar = verticalScrollBar();
    const int w = width() - (bar->isVisible() ? bar->width() : 0);
    const int a = std::min(w / n, 100);
    const int widths[n] = {w - 4 * a - n - 11, (3 * a) / 4, a, (5 * a) / 4, a};
    for (int c = 0; c < n; ++c)
        setColumnWidth(c, widths[c]);
    m_totals->setWidth(0, 12);
    for (int c = 0; c < n; ++c)
        m_totals->setWidth(c + 1, widths[c] + 1);
}

void AccountGrid::ResetRowHeight()
{
    verticalHeader()->setDefaultSectionSize(RowHeight);
}

QRect AccountGrid::EditorRectForCell(const QRect &cellRect) const
{
    // Cell rectangles come in the viewport's coordinates.
    const QPoint origin = viewport()->mapTo(window(), QPoint(0, 0));
    return cellRect.translated(origin).adjusted(-2, -2, 1, 1);
}

bool AccountGrid::keyPressed(QKeyEvent *key)
{
    // Enter on a row opens its account, as a double click does. (Enter inside the date picker or the
    // state list goes to them, not to the grid.)
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) &&
        !(m_editors && m_editors->FForwardingKey()) && currentIndex().isValid()) {
        Q_EMIT accountActivated();
        return true;
    }
    return m_editors && m_editors->dbgAccountsKeyDown(key);
}

bool AccountGrid::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == horizontalHeader()->viewport() && type == QEvent::MouseButtonRelease) {
        // A title was dragged wider or narrower: the columns are laid out to fit again.
        LayoutColumns();
        ResetRowHeight();
    } else if (watched == this && type == QEvent::KeyPress) {
        if (keyPressed(static_cast<QKeyEvent *>(event)))
            return true;
    } else if (watched == verticalScrollBar() && (type == QEvent::Show || type == QEvent::Hide)) {
        // The scroll bar comes and goes with the number of rows shown (a filter, a start-up with
        // many accounts): the columns make room for it or take its place.
        LayoutColumns();
    } else if ((watched == this || watched == viewport()) && type == QEvent::Resize) {
        // The grid gets its final width from the window's layout, after the window's own resize.
        LayoutColumns();
    } else if (watched == viewport() && type == QEvent::MouseButtonDblClick) {
        if (indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()).isValid())
            Q_EMIT accountActivated();
        return true;
    }
    return TExtDBGrid::eventFilter(watched, event);
}
