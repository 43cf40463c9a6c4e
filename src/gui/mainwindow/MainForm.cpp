// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainForm.h"

#include "AccountCellDelegate.h"
#include "AccountModel.h"
#include "GridEditors.h"
#include "TotalsBar.h"
#include "VantoryConsts.h"
#include "gui/widgets/ActiveStateItems.h"
#include "gui/widgets/ExtDBGrid.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/XPPanel.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/BackupRestore.h"
#include "core/accounts/CommonUtil.h"
#include "core/datafile/CsvExport.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FolderCountService.h"
#include "core/platform/PrivateFiles.h"
#include "core/datafile/XmlDataProvider.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AffiliateForm.h"
#include "gui/dialogs/ShareForm.h"
#include "core/platform/DirListing.h"
#include "gui/widgets/PlatformServices.h"
#include "gui/search/SearchForm.h"
#include "core/security/Encode.h"
#include "gui/dialogs/SettingsForm.h"
#include "core/settings/DataFolder.h"
#include "core/settings/LastFolder.h"
#include "core/settings/ProgramInfo.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QMultiHash>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

namespace {
constexpr int RowHeight = 19;
constexpr int IndicatorWidth = 11;
} // namespace

TfrmVantory::TfrmVantory(QWidget *parent)
    : TfrmVantory(std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()), parent)
{
}

TfrmVantory::TfrmVantory(std::unique_ptr<XmlDataProvider> provider, QWidget *parent, FolderCounter countFolder)
    : QMainWindow(parent), m_table(std::make_unique<DataSet>()), m_provider(std::move(provider)),
      m_counts(new FolderCountService(std::move(countFolder), this))
{
    connect(m_counts, &FolderCountService::counted, this, &TfrmVantory::countsArrived);
    setObjectName(QStringLiteral("frmVantory"));
    setWindowTitle(ProgramInfo::Name);
    m_table->setObjectName(QStringLiteral("cdsVantory"));
    AccountTable::define(*m_table);
    m_table->setProvider(m_provider.get());
    m_table->onNewRecord = [this](DataSet &) { cdsVantoryNewRecord(); };
    m_table->onCalcFields = [this](DataSet &) { cdsVantoryCalcFields(); };
    m_table->afterOpen = [this](DataSet &) { cdsVantoryAfterOpen(); };
    m_table->afterEdit = [this](DataSet &) { cdsVantoryAfterEdit(); };
    m_table->afterPost = [this](DataSet &) { cdsVantoryNeedApplyChanges(); };
    m_table->afterDelete = [this](DataSet &) { cdsVantoryNeedApplyChanges(); };

    createActions();
    createMenus();
    createToolBar();
    createListArea();
    statusBar()->setObjectName(QStringLiteral("stMain"));
    // Remove is enabled exactly while there are rows; re-checked whenever the rows change.
    connect(m_table.get(), &DataSet::reset, this, &TfrmVantory::aAccountDeleteUpdate);
    connect(m_table.get(), &DataSet::rowInserted, this, &TfrmVantory::aAccountDeleteUpdate);
    connect(m_table.get(), &DataSet::rowRemoved, this, &TfrmVantory::aAccountDeleteUpdate);
    // Opening fills the totals (cdsVantoryAfterOpen); closing, for good when a refresh cannot read
    // the file again, empties them.
    connect(m_table.get(), &DataSet::stateChanged, this, [this] {
        if (!m_table->isActive())
            UpdateTotals();
    });
    // The commands on the current account follow what it holds.
    for (auto signal : {&DataSet::reset, &DataSet::currentChanged, &DataSet::stateChanged})
        connect(m_table.get(), signal, this, &TfrmVantory::aAccountCommandsUpdate);
    connect(m_table.get(), &DataSet::rowChanged, this, &TfrmVantory::aAccountCommandsUpdate);
    aAccountDeleteUpdate();
    aAccountCommandsUpdate();
    setMinimumSize(MinimumWidth, MinimumHeight);
    fitToolBar();
    resize(627, 327);
    FormCreate();
    // The search takes every account's folder when it starts, from all rows: neither the filter nor
    // the order of the list, nor the current row, has anything to do with it.
    m_search = new TfrmSearch([table = m_table.get()] { return AccountTable::accountFolders(*table); }, this);
}

TfrmVantory::~TfrmVantory()
{
    // The search window reads the table: it goes first. No count arrives any more.
    delete std::exchange(m_search, nullptr);
    delete std::exchange(m_counts, nullptr);
    // A dying widget still sends events (hide, focus) to the filters watching it, and by then it is no
    // longer the class it was. Nothing of this window may look at the grid while it goes: the editors
    // and the filters are gone before it, and the grid (with the model that watches the table) goes
    // before the table.
    delete std::exchange(m_editors, nullptr);
    QTableView *grid = std::exchange(m_grid, nullptr);
    const QList<QObject *> watched = {grid, grid->viewport(), grid->horizontalHeader()->viewport(),
                                      grid->verticalScrollBar(), m_logo};
    for (QObject *object : watched)
        object->removeEventFilter(this);
    delete grid;
}

QAction *TfrmVantory::makeAction(const QString &name, const QString &caption, const QString &hint,
                                 const QString &icon, const QKeySequence &shortcut, void (TfrmVantory::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    action->setStatusTip(hint);
    action->setToolTip(hint.isEmpty() ? QString(caption).remove(u'&') : hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (!icon.isEmpty())
        action->setIcon(Icons::icon(icon));
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
    return action;
}

void TfrmVantory::createActions()
{
    aAccountAdd =
        makeAction(QStringLiteral("aAccountAdd"), tr("Add"), tr("Add a new account"), QStringLiteral("account-add"),
                   QKeySequence(Qt::Key_Insert), &TfrmVantory::aAccountAddExecute);
    aAccountEdit = makeAction(QStringLiteral("aAccountEdit"), tr("Edit"), tr("Edit an existing account"),
                              QStringLiteral("account-edit"), {}, &TfrmVantory::aAccountEditExecute);
    aAccountDelete = makeAction(QStringLiteral("aAccountDelete"), tr("Remove"), tr("Remove an account"),
                                QStringLiteral("account-remove"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
                                &TfrmVantory::aAccountDeleteExecute);
    aBackup = makeAction(QStringLiteral("aBackup"), tr("Backup..."), tr("Backup an account"), {}, {},
                         &TfrmVantory::aBackupExecute);
    aRestore = makeAction(QStringLiteral("aRestore"), tr("Restore..."), tr("Restore an account"), {}, {},
                          &TfrmVantory::aRestoreExecute);
    aMakeMoney = makeAction(QStringLiteral("aMakeMoney"), tr("Make Money"), tr("Enter Your ClickBank ID"),
                            QStringLiteral("make-money"), {}, &TfrmVantory::aMakeMoneyExecute);
    aShare = makeAction(QStringLiteral("aShare"), tr("Tell a Friend"),
                        tr("Send information about the program to your friend"), QStringLiteral("share"), {},
                        &TfrmVantory::aShareExecute);
    aAbout = makeAction(QStringLiteral("aAbout"), tr("About"), tr("Information about the program"), {}, {},
                        &TfrmVantory::aAboutExecute);
    aSearch = makeAction(QStringLiteral("aSearch"), tr("Search"), tr("Find a file by given filetype or keyword"),
                         QStringLiteral("search"), QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmVantory::aSearchExecute);
    aRefresh = makeAction(QStringLiteral("aRefresh"), tr("Refresh Data"), {}, QStringLiteral("refresh"),
                          QKeySequence(Qt::Key_F5), &TfrmVantory::aRefreshExecute);
    aSettings = makeAction(QStringLiteral("aSettings"), tr("Master Password..."), {}, QStringLiteral("settings"), {},
                           &TfrmVantory::aSettingsExecute);
    aExit = makeAction(QStringLiteral("aExit"), tr("E&xit"), {}, {}, QKeySequence(Qt::ALT | Qt::Key_F4),
                       &TfrmVantory::aExitExecute);
    aExport = makeAction(QStringLiteral("aExport"), tr("Export to CSV..."),
                         tr("Save the account list for a spreadsheet"), {}, {}, &TfrmVantory::aExportExecute);
    aOpenSite = makeAction(QStringLiteral("aOpenSite"), tr("Open Site"), tr("Open the site in the browser"), {},
                           QKeySequence(Qt::CTRL | Qt::Key_U), &TfrmVantory::aOpenSiteExecute);
    aCopyUsername =
        makeAction(QStringLiteral("aCopyUsername"), tr("Copy Username"), tr("Copy the username to the clipboard"), {},
                   QKeySequence(Qt::CTRL | Qt::Key_B), &TfrmVantory::aCopyUsernameExecute);
    aCopyPassword = makeAction(QStringLiteral("aCopyPassword"), tr("Copy Password"),
                               tr("Copy the password to the clipboard for 30 seconds"), {},
                               QKeySequence(Qt::CTRL | Qt::Key_C), &TfrmVantory::aCopyPasswordExecute);
    aOpenFolder = makeAction(QStringLiteral("aOpenFolder"), tr("Open Save Folder"),
                             tr("Open the save folder in the file manager"), {},
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &TfrmVantory::aOpenFolderExecute);
}

QAction *TfrmVantory::standIn(QAction *real, const QString &caption, bool withPicture, QObject *owner)
{
    // Another caption for a command in one place: the item follows the command's picture, hint and
    // enabled state, and triggering it runs the command.
    auto *item = new QAction(caption, owner);
    item->setObjectName(real->objectName() + QStringLiteral("Item"));
    const auto follow = [item, real, withPicture] {
        item->setStatusTip(real->statusTip());
        item->setToolTip(real->statusTip().isEmpty() ? QString(item->text()).remove(u'&') : real->statusTip());
        item->setEnabled(real->isEnabled());
        if (withPicture)
            item->setIcon(real->icon());
    };
    follow();
    connect(real, &QAction::changed, item, follow);
    connect(item, &QAction::triggered, real, &QAction::trigger);
    return item;
}

void TfrmVantory::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMain"));
    QMenu *accounts = bar->addMenu(tr("&Accounts"));
    accounts->setObjectName(QStringLiteral("mnuAccounts"));
    accounts->addActions({aAccountAdd, aAccountEdit, aAccountDelete});
    accounts->addSeparator();
    accounts->addActions({aOpenSite, aCopyUsername, aCopyPassword, aOpenFolder});
    accounts->addSeparator();
    accounts->addActions({aSearch, aRefresh});
    accounts->addSeparator();
    accounts->addAction(aExit);
    QMenu *tools = bar->addMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    tools->addAction(aSettings);
    tools->addSeparator();
    tools->addActions({aBackup, aRestore});
    tools->addSeparator();
    tools->addAction(aExport);
    QMenu *extras = bar->addMenu(tr("&Extras"));
    extras->setObjectName(QStringLiteral("mnuExtras"));
    extras->addAction(standIn(aMakeMoney, tr("Make Money..."), true, extras));
    extras->addAction(standIn(aShare, tr("Tell a Friend..."), true, extras));
    QMenu *help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(aAbout);
    // F10 opens the first menu, as the access letters open theirs.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, bar, [bar] { bar->setActiveAction(bar->actions().constFirst()); });

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("pmAccounts"));
    // The pop-up menu shows captions and shortcuts without pictures. The shortcuts only label the
    // items (the real ones do the work).
    auto popupItem = [this](QAction *real) {
        QAction *item = standIn(real, real->text(), false, m_popup);
        item->setShortcut(real->shortcut());
        item->setShortcutContext(Qt::WidgetShortcut);
        m_popup->addAction(item);
        return item;
    };
    m_popup->setDefaultAction(popupItem(aAccountEdit));
    m_popup->addSeparator();
    popupItem(aAccountAdd);
    popupItem(aAccountDelete);
    m_popup->addSeparator();
    popupItem(aOpenSite);
    popupItem(aCopyUsername);
    popupItem(aCopyPassword);
    popupItem(aOpenFolder);
}

void TfrmVantory::createToolBar()
{
    m_toolBar = addToolBar(tr("Tool Bar"));
    m_toolBar->setObjectName(QStringLiteral("tbarMain"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->addActions({aAccountAdd, aAccountEdit});
    m_toolBar->addSeparator();
    m_toolBar->addAction(aSearch);
    QAction *refresh = standIn(aRefresh, tr("Refresh"), true, m_toolBar);
    refresh->setObjectName(QStringLiteral("tbRefresh"));
    m_toolBar->addAction(refresh);
    m_toolBar->addSeparator();
    m_toolBar->addActions({aMakeMoney, aShare});
    m_logo = new QLabel(m_toolBar);
    m_logo->setObjectName(QStringLiteral("imgLogo"));
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setCursor(Qt::PointingHandCursor);
    m_logo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_logo->setMinimumWidth(133);
    m_logo->setPixmap(Icons::pixmap(QStringLiteral("logo"), QSize(133, 25), devicePixelRatioF()));
    m_logo->setToolTip(ProgramInfo::WebSite);
    m_logo->installEventFilter(this);
    m_toolBar->addWidget(m_logo);
}

void TfrmVantory::fitToolBar()
{
    // Every button has one size, 67 x 36 or what the widest caption needs.
    QList<QWidget *> buttons;
    QSize size(67, 36);
    for (QAction *action : m_toolBar->actions()) {
        QWidget *button = m_toolBar->widgetForAction(action);
        if (!button || action->isSeparator() || button == m_logo)
            continue;
        button->setMinimumSize(0, 0);
        button->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        size = size.expandedTo(button->sizeHint());
        buttons << button;
    }
    for (QWidget *button : std::as_const(buttons))
        button->setFixedSize(size);
    // The window never gets so narrow that a button or the logo is cut: where the captions need more
    // than the usual smallest width, the smallest width grows.
    setMinimumWidth(std::max(MinimumWidth, m_toolBar->sizeHint().width()));
}

void TfrmVantory::createListArea()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    layout->addWidget(createAccountsCaptionBar(central).pnlAccounts);

    m_listPanel = new QFrame(central);
    m_listPanel->setObjectName(QStringLiteral("pnlVantory"));
    m_listPanel->setFrameShape(QFrame::Panel);
    m_listPanel->setFrameShadow(QFrame::Sunken);
    m_listPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listPanel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_popup->popup(m_listPanel->mapToGlobal(pos)); });
    auto *listLayout = new QVBoxLayout(m_listPanel);
    listLayout->setContentsMargins(1, 1, 1, 1);
    listLayout->setSpacing(0);

    // The filter box: typing narrows the list, Escape clears it, Ctrl+K comes back to it.
    m_filter = new QLineEdit(m_listPanel);
    m_filter->setObjectName(QStringLiteral("edtFilter"));
    m_filter->setPlaceholderText(tr("Filter by site, URL or username (Ctrl+K)"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    connect(m_filter, &QLineEdit::textChanged, this, &TfrmVantory::edtFilterChange);
    auto *filterKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), this);
    connect(filterKey, &QShortcut::activated, m_filter, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    listLayout->addWidget(m_filter);

    auto *grid = new TExtDBGrid(m_listPanel);
    grid->setStripedBackground();
    m_grid = grid;
    m_grid->setObjectName(QStringLiteral("dbgAccounts"));
    m_grid->setFrameShape(QFrame::NoFrame);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the columns are laid out to fit
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_popup->popup(m_grid->viewport()->mapToGlobal(pos)); });
    m_model = new AccountModel(m_table.get(), m_grid);
    m_model->setFileCountText([this](qint32 count) { return cdsVantorytotalFilesGetText(count); });
    m_grid->setModel(m_model);
    auto *delegate = new AccountCellDelegate(m_grid);
    delegate->editorCoversCell = [this](const QModelIndex &index) { return m_editors && m_editors->coversCell(index); };
    m_grid->setItemDelegate(delegate);
    QHeaderView *rows = m_grid->verticalHeader();
    rows->setFixedWidth(IndicatorWidth);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(RowHeight);
    QHeaderView *titles = m_grid->horizontalHeader();
    titles->setSectionsClickable(true);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(0);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(titles, &QHeaderView::sectionClicked, this, &TfrmVantory::dbgAccountsTitleClick);
    titles->viewport()->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    m_grid->verticalScrollBar()->installEventFilter(this);
    // The grid's current row is the table's current record, both ways. (The in-grid editors connect
    // after this, so they see the table already moved.)
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!current.isValid())
            return;
        m_currentColumn = current.column();
        if (current.row() + 1 != m_table->recNo())
            m_table->setRecNo(current.row() + 1);
    });
    connect(m_table.get(), &DataSet::currentChanged, this, [this] {
        const int row = m_table->recNo() - 1;
        if (row < 0 || !m_grid)
            return;
        // After the rows were read or ordered anew the grid has no current cell: the current record
        // comes back in the column the user was in.
        const QModelIndex current = m_grid->currentIndex();
        if (current.row() != row)
            m_grid->setCurrentIndex(m_model->index(row, current.isValid() ? current.column() : m_currentColumn));
    });
    listLayout->addWidget(m_grid, 1);

    m_totals = new TotalsBar(m_listPanel);
    m_totals->setColumnWidthSource([this](int column) { return m_grid->columnWidth(column); });
    listLayout->addWidget(m_totals);
    layout->addWidget(m_listPanel, 1);
    setCentralWidget(central);
}

QString TfrmVantory::GetDataPath()
{
    if (m_dataPath.isEmpty())
        m_dataPath = DataFolder::path();
    return m_dataPath;
}

void TfrmVantory::FormCreate()
{
    m_provider->setFileName(GetDataPath() + DataFileName);
    m_provider->setReadMappingFile(GetDataPath() + ReadMappingFileName);
    m_provider->setWriteMappingFile(GetDataPath() + WriteMappingFileName);
    PrivateFiles::makeFolder(GetDataPath());
    if (!m_table->open()) {
        Platform::showError(m_table->lastError(), this);
        UpdateTotals();
    }
    m_grid->horizontalHeader()->setSectionsMovable(false);
    m_sortedColumn = 0;
    SortDataSet(*m_table, AccountModel::fieldName(0));
    // The editors start hidden, with no remembered row and no key being forwarded.
    m_editors = new GridEditors(*this, m_grid, m_table.get(), this);
    LayoutColumns();
    ResetRowHeight();
}

void TfrmVantory::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitToolBar();
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmVantory::FormActivate()
{
    if (RegReadInteger(SectionMain, SettingNoPromptSetPassword, 0) != 0)
        return;
    if (!RegReadString(SectionMain, SettingPassword).isEmpty())
        return;
    LayoutColumns();
    // Written before asking, so the question comes at most once whatever the answer.
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    if (Platform::showMessage(QMessageBox::Question, askPasswordProtect(), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes, this) == QMessageBox::Yes)
        aSettings->trigger();
}

void TfrmVantory::closeEvent(QCloseEvent *event)
{
    // A table that never opened has nothing to write; closing still ends the program.
    if (m_table->isActive() && !m_table->applyUpdates(0)) {
        Platform::showError(m_table->lastError(), this);
        event->ignore();
        return;
    }
    tellWriteWarning();
    m_counts->cancel();
    event->accept();
}

void TfrmVantory::aExitExecute()
{
    close();
}

void TfrmVantory::cdsVantoryAfterOpen()
{
    UpdateTotals();
    // What the filter compares is readied once the window is up, not at the first keystroke.
    QTimer::singleShot(0, this, [this] {
        using namespace AccountTable;
        if (m_table->isActive())
            m_table->prepareFilter({SiteName, SiteUrl, Username});
    });
    tellLoadNotes();
}

// When the file just loaded holds what the next save will not keep, the user hears it now, before
// any change, together with where a copy of the file as it is now lies.
void TfrmVantory::tellLoadNotes()
{
    const QStringList &notes = m_provider->loadNotes();
    if (notes.isEmpty())
        return;
    const DataFileBackups::Result kept = m_provider->backups().copyNow();
    const QString told = notes.join(u'\n') + u'\n' + kept.copy + kept.error;
    if (told == m_toldLoadNotes)
        return; // the same file again (a refresh): the user knows
    m_toldLoadNotes = told;
    QStringList items;
    for (const QString &note : notes)
        items << QStringLiteral("- ") + note;
    const QString where = kept.copy.isEmpty() ? loadNotesNoCopy().arg(kept.error)
                                              : loadNotesCopy().arg(QDir::toNativeSeparators(kept.copy));
    Platform::showMessage(
        QMessageBox::Warning,
        loadNotesText().arg(QDir::toNativeSeparators(m_provider->fileName()), items.join(u'\n'), where),
        QMessageBox::Ok, QMessageBox::Ok, this);
}

void TfrmVantory::tellWriteWarning()
{
    const QString warning = m_provider->takeWriteWarning();
    if (!warning.isEmpty())
        Platform::showMessage(QMessageBox::Warning, warning, QMessageBox::Ok, QMessageBox::Ok, this);
}

void TfrmVantory::cdsVantoryAfterEdit()
{
    UpdateTotals();
}

void TfrmVantory::cdsVantoryNewRecord()
{
    // Shown as it is, not through the error handler, which would add a full stop.
    if (!AccountTable::initNewRecord(*m_table))
        Platform::showMessage(QMessageBox::Critical, failedToInsertRecord(), QMessageBox::Ok, QMessageBox::NoButton,
                              this);
}

void TfrmVantory::cdsVantoryCalcFields()
{
    // A folder is counted on the counting thread; the row shows its count once known. A record being
    // saved has its folder counted again, showing the count it had meanwhile.
    AccountTable::calcFields(*m_table, [this](const QString &folder, qint32 limit) -> qint32 {
        if (folder.isEmpty())
            return 0;
        const QPair<qint64, QString> key(m_table->value(FieldAccountID).toLongLong(), folder);
        const auto known = m_knownCounts.constFind(key);
        const bool saving = m_table->state() == DataSet::Edit || m_table->state() == DataSet::Insert;
        if (known != m_knownCounts.constEnd() && (m_applyingCounts || !saving))
            return *known;
        if (!m_applyingCounts && m_counts)
            m_counts->request(key.first, folder, limit);
        return known != m_knownCounts.constEnd() ? *known : AccountTable::FileCountPending;
    });
}

void TfrmVantory::countsArrived(const QList<FolderCount> &counts)
{
    // By account first (a number), then by folder: every row is looked at for every batch.
    QMultiHash<qint64, QString> arrived;
    arrived.reserve(counts.size());
    for (const FolderCount &c : counts) {
        m_knownCounts.insert({c.accountId, c.folder}, c.count);
        arrived.insert(c.accountId, c.folder);
    }
    m_applyingCounts = true;
    m_table->recalcRows([&arrived](const RowValues &row) {
        const qint64 id = row.at(AccountTable::AccountID).toLongLong();
        if (!arrived.contains(id))
            return false;
        return arrived.contains(id, row.at(AccountTable::SavePath).toString());
    });
    m_applyingCounts = false;
    UpdateTotals();
}

void TfrmVantory::recount()
{
    m_counts->cancel();
    m_knownCounts.clear();
}

void TfrmVantory::edtFilterChange(const QString &text)
{
    using namespace AccountTable;
    if (!m_table->setFilter(text, {SiteName, SiteUrl, Username}))
        Platform::showError(m_table->lastError(), this);
    showTotals(); // the totals follow the rows shown
}

bool TfrmVantory::isCounting() const
{
    return m_counts && m_counts->isBusy();
}

void TfrmVantory::cdsVantoryNeedApplyChanges()
{
    if (!m_table->applyUpdates(0))
        Platform::showError(m_table->lastError(), this);
    tellWriteWarning();
    UpdateTotals();
}

QString TfrmVantory::cdsVantorytotalFilesGetText(qint32 count) const
{
    return FileCountText(count);
}

void TfrmVantory::UpdateTotals()
{
    if (!m_table->isActive()) {
        m_totals->clearTotals();
        return;
    }
    m_table->refreshAggregates();
    showTotals();
}

void TfrmVantory::showTotals()
{
    if (!m_table->isActive()) {
        m_totals->clearTotals();
        return;
    }
    // Every section adds up the accounts the list shows; the first also says how many there are in all.
    const auto count = [this](const QString &aggregate) { return m_table->shownAggregate(aggregate).toLongLong(); };
    const bool filtered = !m_table->filterText().isEmpty();
    m_totals->showTotals({.sites = m_table->totalRecordCount(),
                          .largestFileCount = count(AggMaxTotalFiles),
                          .files = count(AggSumTotalFiles),
                          .active = count(AggCountActive),
                          .inactive = count(AggCountInactive),
                          .activeFees = count(AggSumMonthlyFee),
                          .shown = filtered ? qint64(m_table->recordCount()) : qint64(-1)});
}

void TfrmVantory::LayoutColumns()
{
    constexpr int n = AccountModel::ColumnCount;
    // The grid's width, less a vertical scroll bar when one shows: the columns always fit.
    QScrollBar *bar = m_grid->verticalScrollBar();
    const int w = m_grid->width() - (bar->isVisible() ? bar->width() : 0);
    const int a = std::min(w / n, 100);
    const int widths[n] = {w - 4 * a - n - 11, (3 * a) / 4, a, (5 * a) / 4, a};
    for (int c = 0; c < n; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_totals->setWidth(0, 12);
    for (int c = 0; c < n; ++c)
        m_totals->setWidth(c + 1, widths[c] + 1);
}

void TfrmVantory::ResetRowHeight()
{
    m_grid->verticalHeader()->setDefaultSectionSize(RowHeight);
}

QRect TfrmVantory::EditorRectForCell(const QRect &cellRect) const
{
    // Cell rectangles come in the grid viewport's coordinates.
    const QPoint origin = m_grid->viewport()->mapTo(this, QPoint(0, 0));
    QRect r = cellRect.translated(origin);
    return r.adjusted(-2, -2, 1, 1);
}

void TfrmVantory::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmVantory::FormResize()
{
    LayoutColumns();
    ResetRowHeight();
    // The logo takes the tool bar's free width through its expanding size policy: the bar's layout
    // knows its own margins and spacing and sets the logo's width whenever the bar changes. The bar's
    // width less the other items' widths would be more than the room left, and cut the logo's
    // centred picture at the right.
}

bool TfrmVantory::eventFilter(QObject *watched, QEvent *event)
{
    if (m_grid && watched == m_grid->horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        dbgAccountsMouseUp();
    } else if (m_grid && watched == m_grid && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Enter on a row opens its account, as a double click does. (Enter inside the date picker
        // or the state list goes to them, not to the grid.)
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) &&
            !(m_editors && m_editors->FForwardingKey()) && m_grid->currentIndex().isValid()) {
            aAccountEdit->trigger();
            return true;
        }
        if (m_editors && m_editors->dbgAccountsKeyDown(key))
            return true;
    } else if (m_grid && watched == m_grid->verticalScrollBar() &&
               (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // The scroll bar comes and goes with the number of rows shown (a filter, a start-up with
        // many accounts): the columns make room for it or take its place.
        LayoutColumns();
    } else if (m_grid && (watched == m_grid || watched == m_grid->viewport()) && event->type() == QEvent::Resize) {
        // The grid gets its final width from the window's layout, after the window's own resize.
        LayoutColumns();
    } else if (m_grid && watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        dbgAccountsDblClick();
        return true;
    } else if (watched == m_filter &&
               (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        if (edtFilterKeyDown(static_cast<QKeyEvent *>(event)))
            return true;
    } else if (watched == m_logo && event->type() == QEvent::MouseButtonRelease) {
        imgLogoClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmVantory::edtFilterKeyDown(QKeyEvent *key)
{
    // Ctrl+B and Ctrl+C act on the current account, as in the list; Ctrl+C copies the box's own
    // text instead while some of it is selected (a text box has no use for Ctrl+B).
    const QKeySequence pressed(key->keyCombination());
    if (pressed == aCopyUsername->shortcut() || pressed == aCopyPassword->shortcut()) {
        if (!m_filter->hasSelectedText() || pressed == aCopyUsername->shortcut()) {
            key->ignore(); // the box lets the command's shortcut have the key
            return key->type() == QEvent::ShortcutOverride;
        }
        if (key->type() == QEvent::ShortcutOverride) {
            key->accept();
            return true;
        }
        m_filter->copy();
        return true;
    }
    if (key->type() != QEvent::KeyPress || (key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)))
        return false;
    switch (key->key()) {
    case Qt::Key_Escape:
        if (m_filter->text().isEmpty())
            return false;
        m_filter->clear();
        return true;
    case Qt::Key_Down:
        // On to the list, at its current account or else the first one shown.
        if (!m_grid->currentIndex().isValid() && m_table->recordCount() > 0)
            m_table->setRecNo(1);
        m_grid->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The account the box found: the first one shown.
        if (m_table->isActive() && m_table->recordCount() > 0 && m_table->setRecNo(1))
            aAccountEdit->trigger();
        return true;
    default:
        return false;
    }
}

void TfrmVantory::dbgAccountsMouseUp()
{
    LayoutColumns();
    ResetRowHeight();
}

void TfrmVantory::dbgAccountsTitleClick(int column)
{
    m_model->setBoldColumn(column);
    m_sortedColumn = column;
    if (!SortDataSet(*m_table, AccountModel::fieldName(column)) && !m_table->lastError().isEmpty())
        Platform::showError(m_table->lastError(), this);
    ResetRowHeight();
}

void TfrmVantory::aRefreshExecute()
{
    recount();
    RefreshDataSet(*m_table);
    ResetRowHeight();
}

void TfrmVantory::aBackupExecute()
{
    const QString target = Platform::Services::instance().saveFileName(this, backupTitle(), backupFilter(),
                                                                       backupDefaultExt(), LastFolder::startFolder());
    if (target.isEmpty())
        return;
    LastFolder::rememberFileFolder(target);
    const BackupRestore::Outcome done = BackupRestore::backup(m_provider->fileName(), target);
    if (!done.ok())
        Platform::showError(backupFailed().arg(target, done.error), this);
}

void TfrmVantory::aRestoreExecute()
{
    const QString source = Platform::Services::instance().openFileName(this, restoreTitle(), backupFilter(),
                                                                       backupDefaultExt(), LastFolder::startFolder());
    if (source.isEmpty())
        return;
    LastFolder::rememberFileFolder(source);
    // A file that is no data file never replaces the accounts; when the data file cannot be written,
    // the accounts stay as they are, changes not yet saved included.
    const int shown = m_table->isActive() ? m_table->totalRecordCount() : 0;
    const auto proceed = [&](qsizetype accounts) {
        // A file without a single account would wipe the list: only when the user says so.
        if (accounts > 0 || shown == 0)
            return true;
        const QString question = tr("The backup %1 holds no accounts. Restoring it replaces your %n account(s) "
                                    "with none.\n\nRestore it all the same?",
                                    nullptr, shown)
                                     .arg(source);
        return Platform::showMessage(QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No, this) == QMessageBox::Yes;
    };
    const BackupRestore::Outcome done = BackupRestore::restore(*m_provider, source, proceed);
    if (done.kind == BackupRestore::Outcome::Declined)
        return;
    if (!done.ok()) {
        Platform::showError(done.kind == BackupRestore::Outcome::NotDataFile ? done.error
                                                                             : restoreFailed().arg(source, done.error),
                            this);
        return;
    }
    tellWriteWarning();
    recount();
    m_table->close();
    ResetRowHeight();
    if (!m_table->open())
        Platform::showError(m_table->lastError(), this);
}

void TfrmVantory::aExportExecute()
{
    const QString suggested = tr("Vantory accounts %1.csv").arg(QDate::currentDate().toString(Qt::ISODate));
    const QString target =
        Platform::Services::instance().saveFileName(this, tr("Export the Account List"), tr("CSV files (*.csv)"),
                                                    QStringLiteral("csv"), LastFolder::startPath(suggested));
    if (target.isEmpty())
        return;
    LastFolder::rememberFileFolder(target);
    // The list as it shows, in its order; never a password.
    const QLocale locale;
    const QStringList states = activeStateCaptions();
    QList<QStringList> rows;
    rows << QStringList{tr("Site"),        tr("URL"),        tr("Username"), tr("Save Folder"),
                        tr("Monthly Fee"), tr("Date Added"), tr("State")};
    using namespace AccountTable;
    for (int r = 1; r <= m_table->recordCount(); ++r) {
        const auto text = [&](int field) { return m_table->valueAt(r, field).toString(); };
        const QVariant fee = m_table->valueAt(r, MonthlyFee);
        const QVariant date = m_table->valueAt(r, AddedDate);
        const int state = m_table->valueAt(r, Active).toInt();
        rows << QStringList{text(SiteName),
                            text(SiteUrl),
                            text(Username),
                            QDir::toNativeSeparators(text(SavePath)),
                            fee.isNull() ? QString()
                                         : locale.toString(fee.toDouble(), 'f', 2).remove(locale.groupSeparator()),
                            date.isNull() ? QString() : date.toDate().toString(Qt::ISODate),
                            state >= 0 && state < states.size() ? states[state] : QString::number(state)};
    }
    const Status written = CsvExport::write(target, rows, CsvExport::separatorFor(locale.decimalPoint().at(0)));
    if (!written)
        Platform::showError(tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(target), written.error), this);
}

void TfrmVantory::EditAccount(int accountId)
{
    TfrmAccountEdit dialog(m_table.get());
    dialog.AccountId = accountId;
    dialog.exec();
}

void TfrmVantory::aAccountAddExecute()
{
    EditAccount(-1);
}

void TfrmVantory::aAccountEditExecute()
{
    EditAccount(m_table->isActive() ? m_table->value(FieldAccountID).toInt() : -1);
}

void TfrmVantory::aAccountDeleteExecute()
{
    const QString name = m_table->isActive() ? u' ' + m_table->value(FieldSiteName).toString() : QString();
    if (Platform::showMessage(QMessageBox::Question, tr("Do you really want to delete the selected account%1?").arg(name),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, this) != QMessageBox::Ok)
        return;
    if (!m_table->deleteRecord())
        Platform::showError(m_table->lastError(), this);
}

void TfrmVantory::aAccountDeleteUpdate()
{
    aAccountDelete->setEnabled(m_table->isActive() && m_table->recordCount() > 0);
}

void TfrmVantory::aAccountCommandsUpdate()
{
    const bool current = m_table->isActive() && m_table->recNo() > 0;
    const auto has = [&](const QString &field) {
        return current && !m_table->value(field).toString().trimmed().isEmpty();
    };
    aOpenSite->setEnabled(has(FieldSiteUrl));
    aCopyUsername->setEnabled(has(FieldUsername));
    aCopyPassword->setEnabled(has(FieldPassword));
    aOpenFolder->setEnabled(has(FieldSavePath));
}

void TfrmVantory::aOpenSiteExecute()
{
    aAccountCommandsUpdate();
    if (!aOpenSite->isEnabled())
        return;
    const QString text = m_table->value(FieldSiteUrl).toString().trimmed();
    // A site written without its scheme ("example.com/members") is a web address all the same.
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid() || !Platform::Services::instance().openUrl(url))
        Platform::showError(tr("Cannot open %1").arg(text), this);
}

void TfrmVantory::aCopyUsernameExecute()
{
    aAccountCommandsUpdate();
    if (aCopyUsername->isEnabled())
        QGuiApplication::clipboard()->setText(m_table->value(FieldUsername).toString());
}

void TfrmVantory::aCopyPasswordExecute()
{
    aAccountCommandsUpdate();
    if (!aCopyPassword->isEnabled())
        return;
    // The password is unscrambled for the clipboard only, and taken off it again after a while
    // unless something else was copied meanwhile.
    const QString password = DecodeStr(m_table->value(FieldPassword).toString());
    QGuiApplication::clipboard()->setText(password);
    const quint64 copy = ++m_passwordCopies;
    QTimer::singleShot(m_passwordClipboardMs, this, [this, password, copy] {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (copy == m_passwordCopies && clipboard->text() == password)
            clipboard->clear();
    });
}

void TfrmVantory::aOpenFolderExecute()
{
    aAccountCommandsUpdate();
    if (!aOpenFolder->isEnabled())
        return;
    const QString folder = m_table->value(FieldSavePath).toString();
    if (!Platform::Services::instance().openUrl(QUrl::fromLocalFile(folder)))
        Platform::showError(tr("Cannot open %1").arg(QDir::toNativeSeparators(folder)), this);
}

void TfrmVantory::aSearchExecute()
{
    // The window is shown once at a time; a search that was closed may still be finishing.
    if (m_search->isVisible() || m_search->isSearching())
        return;
    m_search->exec();
}
void TfrmVantory::aSettingsExecute()
{
    // The dialog stores what it changes itself; its result says nothing more.
    TfrmSettings frmSettings;
    frmSettings.exec();
}

void TfrmVantory::aMakeMoneyExecute()
{
    TfrmAffiliate dialog;
    dialog.exec();
}

void TfrmVantory::aShareExecute()
{
    TfrmShare dialog;
    dialog.exec();
}

void TfrmVantory::aAboutExecute()
{
    TfrmAbout dialog;
    dialog.exec();
}

void TfrmVantory::dbgAccountsDblClick()
{
    const QPoint pos = m_grid->viewport()->mapFromGlobal(QCursor::pos());
    if (m_grid->indexAt(pos).isValid())
        aAccountEdit->trigger();
}

void TfrmVantory::imgLogoClick()
{
    if (!Platform::Services::instance().openUrl(QUrl(ProgramInfo::WebSite)))
        Platform::showError(tr("Cannot open %1").arg(ProgramInfo::WebSite), this);
}
