// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/accounts/AccountFolders.h"
#include "core/accounts/FolderCountService.h"
#include "core/security/Vault.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <functional>
#include <memory>

class DataSet;
class VaultSession;
class XmlDataProvider;
struct Status;

// The account session: the account table, the data file behind it, the counting of the save folders
// and the rule that every change is saved at once. It knows no window: a window observes it through
// its signals and shows what they tell, and tests drive it without one.
class AccountBook : public QObject
{
    Q_OBJECT

public:
    // What the file just loaded holds that the next save will not keep, and where a copy of the file
    // as it is now was put (or why none could be).
    struct LoadNotes
    {
        QString file;
        QStringList notes;
        QString copy;
        QString copyError;
    };

    // Counts the files of a save folder, capped at a limit; runs on the counting thread. CountFiles
    // unless given.
    using FolderCounter = FolderCountService::Counter;

    explicit AccountBook(std::unique_ptr<XmlDataProvider> provider, FolderCounter countFolder = {},
                         QObject *parent = nullptr);
    // Stops the counting; what is not saved yet stays unsaved (close() saves it).
    ~AccountBook() override;

    DataSet *table() const { return m_table.get(); }
    XmlDataProvider *provider() const { return m_provider.get(); }
    FolderCountService *folderCounts() const { return m_counts; }
    // How the data file's passwords are stored, and the key when they are encrypted.
    VaultSession *vault() const { return m_vault.get(); }
    // Runs a change of the passwords' stored form (one save of the data file, see VaultSession) once
    // everything pending is saved, then reads the data file again. The change's failure, or the save's.
    Status changeVault(const std::function<Status(VaultSession &)> &change);
    // What a new key costs to derive: measured here at the first call (about 0.7 s), unless set.
    Vault::Cost vaultCost();
    void setVaultCost(const Vault::Cost &cost) { m_vaultCost = cost; }

    // Points the storage at a data folder (the data file and its two mapping files), creating the
    // folder user-only when it is missing. The folder's path ends in a separator.
    void setDataFolder(const QString &folder);

    // Opens the table from the data file. False when it cannot: the table's lastError() says why.
    bool open();
    // Reads the data file again and counts every folder anew, staying on the current account.
    void refresh();
    // Forgets the counts and opens the table again (after the data file was replaced). False as open().
    bool reopen();
    // Saves what is pending before the program ends and stops the counting. False when the changes
    // could not be written (the table's lastError() says why): the session stays as it is.
    bool close();

    // Every account's save folder, from all rows whatever the view's filter and order, taken now.
    QList<AccountFolder> accountFolders() const;
    // Whether save folders are still being counted.
    bool isCounting() const;

    // The rows shown, in their order, as a spreadsheet takes them: a title row, then one row per
    // account with its state given by the captions. Never a password.
    QList<QStringList> csvRows(const QStringList &stateCaptions) const;

    // What the last save could not do on its way (keep a copy of the file as it was); reading clears it.
    QString takeWriteWarning();

Q_SIGNALS:
    // The table was opened: the rows are there.
    void opened();
    // A record was put in edit state.
    void edited();
    // A new record got no identifier of its own (the largest one is taken).
    void newRecordFailed();
    // A change was saved (or failed to be: error says why, empty when it went well). The save's own
    // warning, if any, is still to be taken.
    void saved(const QString &error);
    // Counts of save folders arrived and the rows that show them were computed again.
    void countsChanged();
    // The file just opened holds what the next save drops. Told once per file as it is.
    void loadNotesFound(const AccountBook::LoadNotes &notes);

private:
    void cdsVantoryAfterOpen();
    void cdsVantoryCalcFields();
    void cdsVantoryNeedApplyChanges();
    void countsArrived(const QList<FolderCount> &counts);
    void checkLoadNotes();
    // Forgets the counts and cancels the counting: the next open counts every folder again.
    void recount();

    std::unique_ptr<DataSet> m_table;
    std::unique_ptr<XmlDataProvider> m_provider;
    std::unique_ptr<VaultSession> m_vault;
    Vault::Cost m_vaultCost;
    FolderCountService *m_counts = nullptr;
    QHash<QPair<qint64, QString>, qint32> m_knownCounts; // by account and folder
    bool m_applyingCounts = false;
    QString m_toldLoadNotes; // what was last told about a loaded file, so it is told once
};
