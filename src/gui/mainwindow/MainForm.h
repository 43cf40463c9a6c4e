// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/session/AccountBook.h"

#include <QMainWindow>

#include <memory>

class AccountGrid;
class AccountModel;
class PasswordClipboard;
class DataSet;
class GridEditors;
class QAction;
class QComboBox;
class QDateEdit;
class QFrame;
class QHeaderView;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class QToolBar;
class XmlDataProvider;
class TotalsBar;
class TfrmSearch;
class VaultLock;

// The main window: the account list with its totals bar, and the commands with their messages. The
// account session (the table, its data file, the counting, the save rule) is the account book's; the
// grid's keys, mouse, column widths and in-grid editors are the account grid's. The window shows what
// the book tells and runs the commands.
class TfrmVantory : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmVantory(QWidget *parent = nullptr);
    using FolderCounter = AccountBook::FolderCounter;

    // With a storage provider of the caller's (the window points it at the data folder), and the
    // counter of save folders (CountFiles unless given).
    explicit TfrmVantory(std::unique_ptr<XmlDataProvider> provider, QWidget *parent = nullptr,
                         FolderCounter countFolder = {});
    ~TfrmVantory() override;

    // The account session the window shows.
    AccountBook *book() const { return m_book; }
    DataSet *cdsVantory() const { return m_book->table(); }
    XmlDataProvider *xtrVantory() const { return m_book->provider(); }
    QTableView *dbgAccounts() const;
    AccountModel *accountModel() const;
    TotalsBar *hdrTotals() const { return m_totals; }
    // The filter box above the list.
    QLineEdit *edtFilter() const { return m_filter; }
    // The date picker and the state list over the grid, with their state.
    GridEditors *gridEditors() const;
    // The search window, created hidden with this window and shown by the Search command.
    TfrmSearch *frmSearch() const { return m_search; }
    // Whether save folders are still being counted.
    bool isCounting() const { return m_book->isCounting(); }

    // Locks encrypted accounts while the user is away.
    VaultLock *vaultLock() const { return m_lock; }

    // How long a copied password stays on the clipboard, in milliseconds.
    void setPasswordClipboardTime(int ms);

    // The data folder, ending in a separator.
    QString GetDataPath();

    // The totals bar from the table's aggregates, computed anew.
    void UpdateTotals();
    // Grid layout: the account grid's own.
    void LayoutColumns();
    void ResetRowHeight();
    QRect EditorRectForCell(const QRect &cellRect) const;

    // Opens the account editor for an account (-1: a new one).
    void EditAccount(int accountId);

    // Makes the key of encrypted accounts: from password when it is theirs, else from what the user
    // types when asked. False when the user gives up; the accounts stay locked and nothing is written.
    bool unlockVault(const QString &password);

    QString cdsVantorytotalFilesGetText(qint32 count) const;

public Q_SLOTS:
    void aExitExecute();
    void aRefreshExecute();
    void aBackupExecute();
    void aRestoreExecute();
    void aAccountAddExecute();
    void aAccountEditExecute();
    void aAccountDeleteExecute();
    void aAccountDeleteUpdate();
    void aSearchExecute();
    void aSettingsExecute();
    void aMakeMoneyExecute();
    void aShareExecute();
    void aAboutExecute();
    void aExportExecute();
    void aOpenSiteExecute();
    void aCopyUsernameExecute();
    void aCopyPasswordExecute();
    void aOpenFolderExecute();
    // Enables the commands on the current account by what it holds.
    void aAccountCommandsUpdate();
    void dbgAccountsTitleClick(int column);
    void dbgAccountsDblClick();
    void imgLogoClick();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // After a restore: the passwords of the restored file brought to the mode and key of the session,
    // asking for the master password a copy was encrypted with.
    void adoptRestored(const QString &source);
    void undoRestore(const QString &source);
    void FormCreate();
    void FormActivate();
    void FormResize();
    // What the account book tells.
    void cdsVantoryAfterOpen();
    void cdsVantoryAfterEdit();
    void cdsVantoryNewRecord();
    void cdsVantoryNeedApplyChanges(const QString &error);
    void tellLoadNotes(const AccountBook::LoadNotes &notes);
    void edtFilterChange(const QString &text);
    // Keys of the filter box that reach the list; true when the key was used.
    bool edtFilterKeyDown(QKeyEvent *key);
    // The totals bar from the aggregates as the table holds them.
    void showTotals();
    void tellWriteWarning();

    void createActions();
    void createMenus();
    void createToolBar();
    void fitToolBar();
    void createListArea();
    QAction *standIn(QAction *real, const QString &caption, bool withPicture, QObject *owner);
    QAction *makeAction(const QString &name, const QString &caption, const QString &hint, const QString &icon,
                        const QKeySequence &shortcut, void (TfrmVantory::*handler)());

    // The window's smallest size when the captions fit in it.
    static constexpr int MinimumWidth = 589;
    static constexpr int MinimumHeight = 161;

    // The window's commands.
    QAction *aAccountAdd = nullptr;
    QAction *aAccountEdit = nullptr;
    QAction *aAccountDelete = nullptr;
    QAction *aBackup = nullptr;
    QAction *aRestore = nullptr;
    QAction *aMakeMoney = nullptr;
    QAction *aShare = nullptr;
    QAction *aAbout = nullptr;
    QAction *aSearch = nullptr;
    QAction *aRefresh = nullptr;
    QAction *aSettings = nullptr;
    QAction *aExit = nullptr;
    QAction *aExport = nullptr;
    QAction *aOpenSite = nullptr;
    QAction *aCopyUsername = nullptr;
    QAction *aCopyPassword = nullptr;
    QAction *aOpenFolder = nullptr;

    AccountBook *m_book = nullptr;
    VaultLock *m_lock = nullptr;
    DataSet *m_table = nullptr; // the book's
    AccountGrid *m_grid = nullptr;
    TotalsBar *m_totals = nullptr;
    QFrame *m_listPanel = nullptr;
    QLineEdit *m_filter = nullptr;
    QToolBar *m_toolBar = nullptr;
    QLabel *m_logo = nullptr;
    QMenu *m_popup = nullptr;
    PasswordClipboard *m_passwordClipboard = nullptr;
    TfrmSearch *m_search = nullptr;

    QString m_dataPath;
};
