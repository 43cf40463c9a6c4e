// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchResultList.h"

#include "gui/widgets/PlatformServices.h"
#include "PackEntryOpener.h"
#include "SearchResultModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// How the cells are drawn and the name is edited.
class ResultDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        // The view hands every change of the row to its open editor, an icon that has just been
        // loaded or a check mark as much as the name: only the first call may fill in the name, or
        // what the user is typing would be lost.
        static const char *const filled = "vantoryNameFilled";
        if (editor->property(filled).toBool())
            return;
        editor->setProperty(filled, true);
        QStyledItemDelegate::setEditorData(editor, index);
        // Renaming selects the name without its extension, so typing replaces just that. The view
        // selects the whole text once the editor is set up; this comes after that.
        if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            QMetaObject::invokeMethod(
                edit,
                [edit] {
                    const QString name = edit->text();
                    const qsizetype dot = name.lastIndexOf(u'.');
                    edit->setSelection(0, int(dot > 0 ? dot : name.size()));
                },
                Qt::QueuedConnection);
        }
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QVariant preview = index.column() == SearchResultModel::ColumnPreview
                                     ? index.data(SearchResultModel::PreviewRole)
                                     : QVariant();
        if (!preview.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        // The cell's background, selection and focus as any cell's; the text is drawn in three parts.
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect rect =
            style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(margin, 0, -margin, 0);
        QFont bold = opt.font;
        bold.setBold(true);
        const QFontMetrics normalMetrics(opt.font);
        const QFontMetrics boldMetrics(bold);
        const SearchResultList::ElidedPreview parts = SearchResultList::elidePreview(
            preview.value<MatchPreviewText>(), normalMetrics, boldMetrics, rect.width());
        paintPreview(painter, opt, rect, parts, bold);
    }

protected:
    // A name too long loses its middle, so its start and extension stay in sight; a folder loses its
    // start, so its last parts (the account's folder and below) stay; the other columns their end.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == SearchResultModel::ColumnName)
            option->textElideMode = Qt::ElideMiddle;
        else if (index.column() == SearchResultModel::ColumnFolder)
            option->textElideMode = Qt::ElideLeft;
    }

private:
    // The match in bold on the highlight colour; in a selected row, where the highlight is the row's
    // own colour, the other way round.
    static void paintPreview(QPainter *painter, const QStyleOptionViewItem &opt, const QRect &rect,
                             const SearchResultList::ElidedPreview &parts, const QFont &bold)
    {
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                                 : QPalette::Inactive;
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor text = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        const QColor markBack = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Highlight);
        const QColor markText = opt.palette.color(group, selected ? QPalette::Highlight : QPalette::HighlightedText);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        painter->save();
        painter->setClipRect(rect);
        int x = rect.left();
        painter->setFont(opt.font);
        painter->setPen(text);
        painter->drawText(QRect(x, rect.top(), rect.right() - x + 1, rect.height()), flags, parts.before);
        x += QFontMetrics(opt.font).horizontalAdvance(parts.before);
        const int matchWidth = QFontMetrics(bold).horizontalAdvance(parts.match);
        const QRect mark(x, rect.top() + 1, matchWidth, rect.height() - 2);
        painter->fillRect(mark, markBack);
        painter->setFont(bold);
        painter->setPen(markText);
        painter->drawText(QRect(x, rect.top(), rect.right() - x + 1, rect.height()), flags, parts.match);
        x += matchWidth;
        painter->setFont(opt.font);
        painter->setPen(text);
        painter->drawText(QRect(x, rect.top(), rect.right() - x + 1, rect.height()), flags, parts.after);
        painter->restore();
    }
};

// Widths in average characters, so they follow the font: the first ones, before the list knows its
// width, the least in which the name and the folder can still be read, and the most the type takes.
constexpr int kColumnChars[SearchResultModel::ColumnCount] = {34, 14, 36, 12, 24, 24, 40};
constexpr int kLeastNameChars = 16;
constexpr int kLeastFolderChars = 8;
constexpr int kMostTypeChars = 30;
constexpr int kMostAccountChars = 24;
constexpr int kLeastPreviewChars = 24;
// What folder, account and type keep when the name needs their width, and the name's text then.
constexpr int kSqueezedChars = 8;
constexpr int kSqueezedFolderChars = 6;
constexpr int kSqueezedAccountChars = 2;
constexpr int kSqueezedNameChars = 13;

} // namespace

SearchResultList::SearchResultList(QWidget *parent)
    : QTreeView(parent), m_results(new SearchResultModel(this)), m_opener(new PackEntryOpener(this)),
      m_menu(new QMenu(this)), m_headerMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("velvSearchResult"));
    setModel(m_results);
    setItemDelegate(new ResultDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);

    QHeaderView *head = header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(true);
    const int charWidth = fontMetrics().averageCharWidth();
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
        head->resizeSection(column, kColumnChars[column] * charWidth);
    // No column sorted to begin with: the files show in the order they were found. Clicks on a header
    // go ascending, descending, then back to that order.
    head->setSortIndicator(-1, Qt::AscendingOrder);
    head->setSortIndicatorClearable(true);
    setSortingEnabled(true);

    head->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(head, &QHeaderView::customContextMenuRequested, this, &SearchResultList::showHeaderMenu);
    m_headerMenu->setObjectName(QStringLiteral("pmResultColumns"));
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column) {
        QAction *show = m_headerMenu->addAction(m_results->headerData(column, Qt::Horizontal).toString());
        show->setObjectName(QStringLiteral("aShowColumn%1").arg(column));
        show->setCheckable(true);
        show->setChecked(true);
        // The name column carries the check boxes: it always stays.
        show->setEnabled(column != SearchResultModel::ColumnName);
        connect(show, &QAction::toggled, this, [this, column](bool on) {
            m_fitting = true;
            if (column == SearchResultModel::ColumnPreview) {
                m_previewWanted = on;
                updatePreviewColumn();
            } else {
                setColumnHidden(column, !on);
            }
            m_fitting = false;
            fitColumns();
        });
    }
    // The previews have no order: a click on their title keeps the order there was.
    connect(head, &QHeaderView::sortIndicatorChanged, this, [this](int section) {
        if (section != SearchResultModel::ColumnPreview)
            return;
        const QSignalBlocker blocker(header());
        header()->setSortIndicator(m_results->sortColumn(), m_results->sortOrder());
    });
    connect(head, &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting && header()->isVisible())
            m_fitColumns = false; // sized by the user
    });

    m_menu->setObjectName(QStringLiteral("pmResult"));
    auto add = [this](const QString &text, const char *name, void (SearchResultList::*slot)()) {
        QAction *action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_open = add(tr("&Open"), "aResultOpen", &SearchResultList::openSelected);
    m_openFolder = add(tr("Open Containing &Folder"), "aResultOpenFolder", &SearchResultList::openSelectedFolders);
    m_menu->addSeparator();
    m_copyPath = add(tr("&Copy Path"), "aResultCopyPath", &SearchResultList::copySelectedPaths);
    m_rename = add(tr("Rena&me"), "aResultRename", &SearchResultList::renameCurrent);
    m_menu->addSeparator();
    m_check = add(tr("C&heck"), "aResultCheck", &SearchResultList::checkSelected);
    m_uncheck = add(tr("&Uncheck"), "aResultUncheck", &SearchResultList::uncheckSelected);
    m_menu->setDefaultAction(m_open);
    // The shortcuts work in the list itself, with the menu closed.
    m_copyPath->setShortcut(QKeySequence::Copy);
    m_rename->setShortcut(Qt::Key_F2);
    for (QAction *action : {m_copyPath, m_rename}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        addAction(action);
    }

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            openRow(index.row());
    });
    connect(m_results, &SearchResultModel::renameFailed, this, &SearchResultList::reportRenameFailure,
            Qt::QueuedConnection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &SearchResultList::updateActions);
    connect(m_results, &SearchResultModel::checkedChanged, this, &SearchResultList::updateActions);
    connect(m_results, &QAbstractItemModel::modelReset, this, &SearchResultList::updateActions);
    connect(m_results, &QAbstractItemModel::rowsInserted, this, &SearchResultList::updatePreviewColumn);
    connect(m_results, &QAbstractItemModel::modelReset, this, &SearchResultList::updatePreviewColumn);
    // What the columns show decides their widths: fitted again as results arrive.
    connect(m_results, &QAbstractItemModel::rowsInserted, this, &SearchResultList::fitColumns, Qt::QueuedConnection);
    connect(m_results, &QAbstractItemModel::layoutChanged, this, &SearchResultList::fitColumns, Qt::QueuedConnection);
    updateActions();
    updatePreviewColumn();
}

SearchResultList::~SearchResultList() = default;

void SearchResultList::updatePreviewColumn()
{
    const bool shown = m_previewWanted && m_results->hasContentMatches();
    if (isColumnHidden(SearchResultModel::ColumnPreview) != shown)
        return;
    const bool fitting = std::exchange(m_fitting, true);
    setColumnHidden(SearchResultModel::ColumnPreview, !shown);
    m_fitting = fitting;
    fitColumns();
}

SearchResultList::ElidedPreview SearchResultList::elidePreview(const MatchPreviewText &preview,
                                                               const QFontMetrics &normal, const QFontMetrics &bold,
                                                               int width)
{
    const QString ellipsis(QChar(0x2026));
    ElidedPreview parts{(preview.cutBefore ? ellipsis : QString()) + preview.before, preview.match,
                        preview.after + (preview.cutAfter ? ellipsis : QString())};
    const int matchWidth = bold.horizontalAdvance(parts.match);
    if (matchWidth >= width) {
        // Not even the match fits: its start is what can be shown.
        return {QString(), bold.elidedText(parts.match, Qt::ElideRight, std::max(0, width)), QString()};
    }
    const int rest = width - matchWidth;
    const int beforeWidth = normal.horizontalAdvance(parts.before);
    const int afterWidth = normal.horizontalAdvance(parts.after);
    if (beforeWidth + afterWidth <= rest)
        return parts;
    // The text before gets half of what is left, or all that the text after does not need.
    const int beforeRoom = std::min(beforeWidth, std::max(rest / 2, rest - afterWidth));
    parts.before = normal.elidedText(parts.before, Qt::ElideLeft, beforeRoom);
    parts.after = normal.elidedText(parts.after, Qt::ElideRight, rest - normal.horizontalAdvance(parts.before));
    return parts;
}

bool SearchResultList::viewportEvent(QEvent *event)
{
    const bool handled = QTreeView::viewportEvent(event);
    // The viewport changes width with the window and when the vertical scroll bar comes or goes.
    if (event->type() == QEvent::Resize)
        fitColumns();
    return handled;
}

int SearchResultList::titleWidth(int column) const
{
    const QHeaderView *head = header();
    const int charWidth = head->fontMetrics().averageCharWidth();
    const int margins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, head);
    return head->fontMetrics().horizontalAdvance(m_results->headerData(column, Qt::Horizontal).toString()) + margins +
           2 * charWidth;
}

int SearchResultList::contentWidth(int column) const
{
    // The header's title (with room for the sort arrow) and the rows in view: the longest text a
    // column has to show, without reading every entry of a long list.
    if (column == SearchResultModel::ColumnName)
        return std::max(titleWidth(column), sizeHintForColumn(column));
    // A plain text: its width and the cell's margins, over the rows in view.
    const QFontMetrics metrics = fontMetrics();
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) +
                        metrics.averageCharWidth();
    const QModelIndex top = indexAt(QPoint(0, 0));
    const int first = top.isValid() ? top.row() : 0;
    const int rowHeight = std::max(1, sizeHintForRow(first));
    const int last = std::min(m_results->count(), first + viewport()->height() / rowHeight + 2);
    int widest = titleWidth(column);
    for (int row = first; row < last; ++row) {
        const QString text = m_results->index(row, column).data().toString();
        widest = std::max(widest, metrics.horizontalAdvance(text) + margins);
    }
    return widest;
}

void SearchResultList::fitColumns()
{
    if (!m_fitColumns)
        return;
    QHeaderView *head = header();
    const int width = viewport()->width();
    if (width <= 0)
        return;
    using Model = SearchResultModel;
    const int charWidth = fontMetrics().averageCharWidth();
    const auto shown = [head](int column) { return !head->isSectionHidden(column); };
    // Account, size, type and date are as wide as what they show, account and type no wider than a
    // sensible most.
    int widths[Model::ColumnCount] = {};
    widths[Model::ColumnSize] = contentWidth(Model::ColumnSize);
    widths[Model::ColumnModified] = contentWidth(Model::ColumnModified);
    widths[Model::ColumnType] = std::min(contentWidth(Model::ColumnType), kMostTypeChars * charWidth);
    widths[Model::ColumnAccount] = std::min(contentWidth(Model::ColumnAccount),
                                            std::max(kMostAccountChars * charWidth, titleWidth(Model::ColumnAccount)));
    int rest = width;
    for (int column : {Model::ColumnAccount, Model::ColumnSize, Model::ColumnType, Model::ColumnModified}) {
        if (shown(column))
            rest -= widths[column];
    }
    // The name's cell holds a check box and an icon before the text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int decoration = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
                           style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this) + 6 * margin;
    const int leastName = std::max(kLeastNameChars * charWidth, kSqueezedNameChars * charWidth + decoration);
    int leastFolder = shown(Model::ColumnFolder)
                          ? std::max(kLeastFolderChars * charWidth, titleWidth(Model::ColumnFolder))
                          : 0;
    // Where the name would be pressed below its least, the folder gives up width first, then the
    // account, then the type: the name is what the list is read by.
    int shortfall = leastName + leastFolder - rest;
    const auto squeeze = [&shortfall](int &what, int least) {
        const int take = std::clamp(what - least, 0, std::max(0, shortfall));
        what -= take;
        shortfall -= take;
        return take;
    };
    if (shown(Model::ColumnFolder))
        squeeze(leastFolder, kSqueezedFolderChars * charWidth);
    if (shown(Model::ColumnAccount))
        rest += squeeze(widths[Model::ColumnAccount],
                        std::max(kSqueezedAccountChars * charWidth, head->minimumSectionSize()));
    if (shown(Model::ColumnType))
        rest += squeeze(widths[Model::ColumnType], kSqueezedChars * charWidth);
    // The preview takes half of what is left, without pressing the name and the folder below their
    // least.
    if (shown(Model::ColumnPreview)) {
        const int title = titleWidth(Model::ColumnPreview);
        const int least = std::max(kLeastPreviewChars * charWidth, title);
        widths[Model::ColumnPreview] =
            std::max(title, std::min(std::max(least, rest / 2), rest - leastName - leastFolder));
        rest -= widths[Model::ColumnPreview];
    }
    fitNameAndFolder(widths, rest, leastName, leastFolder);
    m_fitting = true;
    for (int column = 0; column < Model::ColumnCount; ++column) {
        if (shown(column))
            head->resizeSection(column, widths[column]);
    }
    m_fitting = false;
}

// The folder takes what the names leave, up to what it needs; when the names want it all, the least
// that still shows its last part. The name takes the rest: all the spare width. Where not even their
// least is left, they share what there is, the name the larger part, so that no column is pushed
// out of sight.
void SearchResultList::fitNameAndFolder(int *widths, int rest, int leastName, int leastFolder) const
{
    using Model = SearchResultModel;
    const int charWidth = fontMetrics().averageCharWidth();
    const bool folderShown = !isColumnHidden(Model::ColumnFolder);
    const bool cramped = folderShown && rest < leastName + leastFolder;
    int folder = 0;
    if (cramped) {
        folder = std::max(0, rest * 2 / 5);
    } else if (folderShown) {
        const int folderNeed = contentWidth(Model::ColumnFolder);
        // The hint leaves no room to spare, and a name a little wider than its column loses its middle.
        const int nameNeed = contentWidth(Model::ColumnName) + 2 * charWidth;
        folder = std::max(std::min(folderNeed, rest - nameNeed), leastFolder);
    }
    widths[Model::ColumnFolder] = folder;
    widths[Model::ColumnName] = std::max(cramped ? 4 * charWidth : leastName, rest - folder);
}

QList<int> SearchResultList::columnWidths() const
{
    if (m_fitColumns)
        return {};
    QList<int> widths;
    // A hidden column has no width of its own: it comes back at its first one.
    const int charWidth = fontMetrics().averageCharWidth();
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
        widths << (isColumnHidden(column) ? kColumnChars[column] * charWidth : header()->sectionSize(column));
    return widths;
}

void SearchResultList::setColumnWidths(const QList<int> &widths)
{
    if (widths.size() != SearchResultModel::ColumnCount)
        return;
    const int least = fontMetrics().averageCharWidth() * 2;
    m_fitting = true;
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
        header()->resizeSection(column, std::max(least, widths[column]));
    m_fitting = false;
    m_fitColumns = false;
}

void SearchResultList::focusFirstEntry()
{
    if (m_results->count() == 0)
        return;
    setFocus(Qt::OtherFocusReason);
    const QModelIndex first = m_results->index(0, SearchResultModel::ColumnName);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(first);
}

QList<int> SearchResultList::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList indexes = selectionModel()->selectedRows(SearchResultModel::ColumnName);
    rows.reserve(indexes.size());
    for (const QModelIndex &index : indexes)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SearchResultList::updateActions()
{
    const QList<int> rows = selectedRows();
    const bool any = !rows.isEmpty();
    const auto checked = std::count_if(rows.begin(), rows.end(), [this](int row) { return m_results->isChecked(row); });
    m_open->setEnabled(any);
    m_openFolder->setEnabled(any);
    m_copyPath->setEnabled(any);
    m_rename->setEnabled(rows.size() == 1);
    m_check->setEnabled(checked < rows.size());
    m_uncheck->setEnabled(checked > 0);
}

void SearchResultList::openRow(int row)
{
    openRows({row});
}

void SearchResultList::openRows(const QList<int> &rows)
{
    QStringList paths;
    for (int row : rows) {
        if (m_results->isPackEntry(row))
            m_opener->open(m_results->filePath(row), m_results->innerPath(row), m_results->displayPath(row));
        else
            paths << m_results->path(row);
    }
    openUrls(paths);
}

void SearchResultList::openUrls(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        if (!Platform::Services::instance().openUrl(QUrl::fromLocalFile(path))) {
            Platform::showMessage(QMessageBox::Warning,
                                  tr("No program could open \"%1\".").arg(QDir::toNativeSeparators(path)),
                                  QMessageBox::Ok, QMessageBox::NoButton, this);
        }
    }
}

void SearchResultList::openSelected()
{
    openRows(selectedRows());
}

void SearchResultList::openSelectedFolders()
{
    // Each folder once, however many of its files are selected.
    QStringList folders;
    for (int row : selectedRows()) {
        const QString folder = QFileInfo(m_results->filePath(row)).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    openUrls(folders);
}

void SearchResultList::copySelectedPaths()
{
    QStringList paths;
    for (int row : selectedRows())
        paths << m_results->displayPath(row);
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setText(paths.join(u'\n'));
}

void SearchResultList::renameCurrent()
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1)
        return;
    const QModelIndex index = m_results->index(rows.first(), SearchResultModel::ColumnName);
    setCurrentIndex(index);
    edit(index);
}

void SearchResultList::checkSelected()
{
    m_results->setRowsChecked(selectedRows(), true);
}

void SearchResultList::uncheckSelected()
{
    m_results->setRowsChecked(selectedRows(), false);
}

void SearchResultList::reportRenameFailure(const QString &path, const QString &newName, const QString &reason)
{
    Platform::showMessage(
        QMessageBox::Critical,
        tr("\"%1\" could not be renamed to \"%2\".\n%3").arg(QFileInfo(path).fileName(), newName, reason),
        QMessageBox::Ok, QMessageBox::NoButton, this);
}

void SearchResultList::contextMenuEvent(QContextMenuEvent *event)
{
    // The press of the right button has selected the row under the mouse already (or kept the
    // selection it belongs to). From the keyboard the menu is for the selection, at the current row.
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect rect = visualRect(currentIndex());
        global = viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(0, 0));
    }
    if (selectedRows().isEmpty())
        return;
    updateActions();
    m_menu->popup(global);
    event->accept();
}

void SearchResultList::keyPressEvent(QKeyEvent *event)
{
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openSelected();
            event->accept();
            return;
        case Qt::Key_Space: {
            const QList<int> rows = selectedRows();
            if (!rows.isEmpty()) {
                const int current = currentIndex().isValid() ? currentIndex().row() : rows.first();
                m_results->setRowsChecked(rows, !m_results->isChecked(current));
            }
            event->accept();
            return;
        }
        default:
            break;
        }
    }
    QTreeView::keyPressEvent(event);
}

void SearchResultList::showHeaderMenu(const QPoint &pos)
{
    m_headerMenu->popup(header()->viewport()->mapToGlobal(pos));
}
