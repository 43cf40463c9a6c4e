// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridEditors.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class AccountModel;
class DataSet;
class FolderCountService;
struct FolderCount;
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
class AccountCellDelegate;
class TfrmSearch;

// The main window: the account list with its totals bar, the commands, and the life of the account
// table from start to close. The machinery lives in small collaborators (the model, the cell
// delegate, the totals bar, the in-grid editors); this class carries the handlers.
class TfrmVantory : public QMainWindow, public GridEditorHost
{
    Q_OBJECT

public:
    explicit TfrmVantory(QWidget *parent = nullptr);
    // Counts the files of a save folder, capped at a limit; run on the counting thread.
    using FolderCounter = std::function<qint32(const QString &folder, qint32 limit)>;

    // With a storage provider of the caller's (the window points it at the data folder), and the
    // counter of save folders (CountFiles unless given).
    explicit TfrmVantory(std::unique_ptr<XmlDataProvider> provider, QWidget *parent = nullptr,
                         FolderCounter countFolder = {});
    ~TfrmVantory() override;

    DataSet *cdsVantory() const { return m_table.get(); }
    XmlDataProvider *xtrVantory() const { return m_provider.get(); }
    QTableView *dbgAccounts() const { return m_grid; }
    AccountModel *accountModel() const { return m_model; }
    TotalsBar *hdrTotals() const { return m_totals; }
    // The filter box above the list.
    QLineEdit *edtFilter() const { return m_filter; }
    // The date picker and the state list over the grid, with their state.
    GridEditors *gridEditors() const { return m_editors; }
    // The search window, created hidden with this window and shown by the Search command.
    TfrmSearch *frmSearch() const { return m_search; }

    // The counts of the save folders, made on a thread of their own.
    FolderCountService *folderCounts() const { return m_counts; }
    // Whether save folders are still being counted.
    bool isCounting() const;

    // How long a copied password stays on the clipboard, in milliseconds.
    void setPasswordClipboardTime(int ms) { m_passwordClipboardMs = ms; }

    // The data folder, ending in a separator.
    QString GetDataPath();
    int sortedColumn() const { return m_sortedColumn; }

    // Grid layout.
    void UpdateTotals();
    void LayoutColumns();
    void ResetRowHeight();
    QRect EditorRectForCell(const QRect &cellRect) const override;

    // Opens the account editor for an account (-1: a new one).
    void EditAccount(int accountId);

    QString cdsVantorytotalFilesGetText(qint32 count) const;

    // GridEditorHost
    QWidget *editorWindow() override { return this; }
    QMenu *editorPopupMenu() const override { return m_popup; }

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
    void FormCreate();
    void FormActivate();
    void FormResize();
    void cdsVantoryAfterOpen();
    void cdsVantoryAfterEdit();
    void cdsVantoryNewRecord();
    void cdsVantoryCalcFields();
    void cdsVantoryNeedApplyChanges();
    void dbgAccountsMouseUp();
    void tellLoadNotes();
    void countsArrived(const QList<FolderCount> &counts);
    void edtFilterChange(const QString &text);
    // Keys of the filter box that reach the list; true when the key was used.
    bool edtFilterKeyDown(QKeyEvent *key);
    // The totals bar from the aggregates as the table holds them.
    void showTotals();
    // Forgets the counts and cancels the counting: the next open counts every folder again.
    void recount();
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

    std::unique_ptr<DataSet> m_table;
    std::unique_ptr<XmlDataProvider> m_provider;
    AccountModel *m_model = nullptr;
    QTableView *m_grid = nullptr;
    TotalsBar *m_totals = nullptr;
    QFrame *m_listPanel = nullptr;
    QLineEdit *m_filter = nullptr;
    QToolBar *m_toolBar = nullptr;
    QLabel *m_logo = nullptr;
    QMenu *m_popup = nullptr;
    GridEditors *m_editors = nullptr;
    FolderCountService *m_counts = nullptr;
    QHash<QPair<qint64, QString>, qint32> m_knownCounts; // by account and folder
    bool m_applyingCounts = false;
    int m_passwordClipboardMs = 30000;
    quint64 m_passwordCopies = 0; // the last copy is the one whose time runs
    TfrmSearch *m_search = nullptr;

    QString m_dataPath;
    QString m_toldLoadNotes; // what the user was last told about a loaded file, so it is told once
    int m_sortedColumn = 0;
    int m_currentColumn = 0; // the grid's current column, kept while the rows are read or ordered anew
    bool m_boldTitle = false;
};
