// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/accounts/AccountFolders.h"
#include "SearchResultModel.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class SearchAnimation;
class SearchResultList;
class TFindFile;
class TSearchRec;

// The search window: looks through the save folders of all accounts for files whose names or
// contents hold a text, among files of chosen types, lists them with check boxes and copies the
// checked ones into one folder. Created once with the main window and shown modally by its Search
// command; texts, options and results stay between showings.
//
// Each account is searched in up to two passes, one after the other: a content pass (the find text
// in the files' bytes, among files fitting the masks) and a name pass (names holding the find text
// and fitting the first mask, or fitting one of the others). btnFindClick starts the first pass and
// returns; the finder's end of each pass starts the next one from the event loop, and the last one
// ends the search (FinishSearch). No loop of the window's own waits for a pass
// (docs/background-work.md): the window stays responsive, and Cancel, Esc, Enter in the Find box
// and closing the window stop the search.
class TfrmSearch : public QDialog
{
    Q_OBJECT

public:
    // accounts hands out the save folders to search; it is asked once when a search starts.
    explicit TfrmSearch(AccountFolderSnapshot accounts, QWidget *parent = nullptr);
    ~TfrmSearch() override;

    // The search component; its criteria are set anew by every pass.
    TFindFile *FileFinder() const { return m_fileFinder.get(); }
    // True from the start of a search (btnFindClick) until FinishSearch has run.
    bool isSearching() const { return m_searching; }
    SearchResultList *resultList() const { return velvSearchResult; }

    // The masks of a name pass: the mask text split at ";", with its first mask that holds a "*"
    // narrowed by "*" and the find text in front of that "*"; when no mask holds one, the first
    // mask becomes "*", the find text, "*" and the mask. So "*.*" with report gives "*report*.*",
    // readme gives "*report*readme", and "*.htm;*.html" gives "*report*.htm" and "*.html". The find
    // text stays whole, whatever it holds.
    static QStringList NameMasks(const QString &maskText, const QString &findText);
    // The target entries (TFileCriteria::Included) of a pass over folder and its subfolders with
    // the given masks. The folder is taken whole: no character of its path (";", a leading "<" or
    // ">") is read as list syntax. Masks that hold a path delimiter can match no name and are left
    // out; with no mask left the folder is still walked, and yields nothing.
    static QStringList TargetEntries(const QString &folder, const QStringList &masks);

public Q_SLOTS:
    void btnFindClick();
    void btnCancelClick();
    void btnSelectAllClick();
    void btnUnselectAllClick();
    void btnSaveSelectionClick();
    // Esc: stops a running search; closes the window otherwise.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createCriteriaControls();
    void createResultControls();
    void layOutControls();
    // The window's size, the result columns' widths and the option to search inside packs, from
    // the settings and back.
    void restoreLayout();
    void saveLayout() const;
    // Key preview: true when the key is swallowed before any control sees it (F5).
    bool FormKeyDown(QKeyEvent *event);
    void cbFindTextKeyDown();
    void SearchOptionsClick(QCheckBox *clicked);
    void btnCancelClicked();
    // Removes the text kept from packs and documents (never while a search uses it).
    void btnEmptyCacheClicked();
    void velvSearchResultChecked(int checkedCount);

    // What a search looks for: the controls as they stood when Find was pressed. Editing them while
    // the search runs changes nothing of it.
    struct Request
    {
        QString findText;
        QString maskText;
        bool names = true;
        bool contents = true;
        bool packs = true;
    };
    Request currentRequest() const;
    // What the status line says was searched for, in front of the summary.
    QString searchedFor(const Request &request) const;
    void RunPass(const QString &folder, const QStringList &masks, const QString &phrase);
    // Starts the next pass of the search, or ends the search when none is left.
    void NextPass();
    // Runs a pass unless Cancel was pressed (then it counts as left out); true when one runs.
    bool StartPass(const QString &folder, const QStringList &masks, const QString &phrase);
    // The finder's end of a pass (in the GUI thread).
    void FinderSearchFinish();
    void FinderFileMatch(const QString &folder, const TSearchRec &entry);
    void FinderFolderChange(const QString &folder);
    void ResetResults();
    // Appends the files found since the last call, in the order of the locale's collation, as
    // found in the account's save folder.
    void AddResults(const QString &account);
    void FinishSearch();

    AccountFolderSnapshot m_accounts;
    Request m_request;
    // Where the running search is: the accounts it took when it began, the one being searched and
    // its next pass.
    enum Pass { ContentPass, NamePass, AccountDone };
    QList<AccountFolder> m_searchAccounts;
    qsizetype m_nextAccount = 0;
    Pass m_nextPass = ContentPass;
    bool m_passRunning = false; // a pass has been started and its end not yet heard
    std::unique_ptr<TFindFile> m_fileFinder;

    QLabel *lblFindText = nullptr;
    QLineEdit *cbFindText = nullptr;
    QLabel *lblFileMask = nullptr;
    QComboBox *cbFileMask = nullptr;
    QPushButton *btnFind = nullptr;
    QPushButton *btnCancel = nullptr;
    QGroupBox *gbxSearchOptions = nullptr;
    QCheckBox *chkSearchFilenames = nullptr;
    QCheckBox *chkSearchContents = nullptr;
    QCheckBox *chkSearchPacks = nullptr;
    QPushButton *btnEmptyCache = nullptr;
    SearchAnimation *Animate = nullptr;
    SearchResultList *velvSearchResult = nullptr;
    QPushButton *btnSelectAll = nullptr;
    QPushButton *btnUnselectAll = nullptr;
    QPushButton *btnSaveSelection = nullptr;
    QStatusBar *stSearch = nullptr;

    // Found files: every path found by this search (keyed as the file system tells paths apart),
    // and those not yet handed to the list.
    QSet<QString> m_foundKeys;
    QStringList m_newFound;
    // The entries inside packs among them, by their text in m_newFound.
    QHash<QString, SearchResultModel::PackEntryResult> m_newPackEntries;
    // Those of m_newFound that a content pass found (they get a preview).
    QSet<QString> m_newContentMatches;
    quint32 m_folderCount = 0;
    // What the walks had to leave out: per account the larger count of its passes (both walk the
    // same folders), added up over the accounts.
    qint64 m_unreadableFolders = 0;
    qint64 m_skippedNames = 0;
    qint64 m_accountUnreadable = 0;
    qint64 m_accountSkipped = 0;
    // Inside packs, added up over the passes (each pass meets them anew: the larger count per account).
    qint64 m_lockedEntries = 0;
    qint64 m_damagedPacks = 0;
    qint64 m_accountLocked = 0;
    qint64 m_accountDamaged = 0;
    // Packs and documents whose text came from the cache, counted as the two above.
    qint64 m_cachedTexts = 0;
    qint64 m_accountCached = 0;
    QElapsedTimer m_startTick;
    bool m_cancelled = false;
    bool m_passSkipped = false; // a pass was left out because of Cancel
    bool m_searching = false;
    bool m_destroying = false;
};
