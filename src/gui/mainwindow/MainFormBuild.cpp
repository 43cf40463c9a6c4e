// SPDX-License-Identifier: GPL-3.0-or-later
// How the main window is put together: its commands, the menus and the tool bar that offer them, and
// the list area (filter box, grid, totals bar). What the commands do is in MainForm.cpp.
#include "MainForm.h"

#include "AccountGrid.h"
#include "AccountModel.h"
#include "TotalsBar.h"
#include "core/settings/ProgramInfo.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/XPPanel.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>
#include <QVBoxLayout>

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

    // The totals bar takes its section widths from the grid's columns.
    m_totals = new TotalsBar(m_listPanel);
    m_grid = new AccountGrid(m_table, m_totals, m_popup, m_listPanel);
    m_grid->accountModel()->setFileCountText([this](qint32 count) { return cdsVantorytotalFilesGetText(count); });
    connect(m_grid, &AccountGrid::titleClicked, this, &TfrmVantory::dbgAccountsTitleClick);
    connect(m_grid, &AccountGrid::accountActivated, aAccountEdit, &QAction::trigger);
    listLayout->addWidget(m_grid, 1);
    listLayout->addWidget(m_totals);
    layout->addWidget(m_listPanel, 1);
    setCentralWidget(central);
}
