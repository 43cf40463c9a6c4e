// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountBook.h"

#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/TableOrder.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/platform/PrivateFiles.h"
#include "VaultSession.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QMultiHash>
#include <QTimer>

#include <utility>

using namespace AccountSchema;

AccountBook::AccountBook(std::unique_ptr<XmlDataProvider> provider, FolderCounter countFolder, QObject *parent)
    : QObject(parent), m_table(std::make_unique<DataSet>()), m_provider(std::move(provider)),
      m_vault(std::make_unique<VaultSession>(*m_provider)),
      m_counts(new FolderCountService(std::move(countFolder), this))
{
    connect(m_counts, &FolderCountService::counted, this, &AccountBook::countsArrived);
    m_table->setObjectName(QStringLiteral("cdsVantory"));
    AccountTable::define(*m_table);
    m_table->setProvider(m_provider.get());
    m_table->onNewRecord = [this](DataSet &table) {
        if (!AccountTable::initNewRecord(table))
            Q_EMIT newRecordFailed();
    };
    m_table->onCalcFields = [this](DataSet &) { cdsVantoryCalcFields(); };
    m_table->afterOpen = [this](DataSet &) { cdsVantoryAfterOpen(); };
    m_table->afterEdit = [this](DataSet &) { Q_EMIT edited(); };
    m_table->afterPost = [this](DataSet &) { cdsVantoryNeedApplyChanges(); };
    m_table->afterDelete = [this](DataSet &) { cdsVantoryNeedApplyChanges(); };
}

AccountBook::~AccountBook()
{
    // No count arrives any more; the table's hooks point here and go with it.
    delete std::exchange(m_counts, nullptr);
}

void AccountBook::setDataFolder(const QString &folder)
{
    m_provider->setFileName(folder + DataFileName);
    m_provider->setReadMappingFile(folder + ReadMappingFileName);
    m_provider->setWriteMappingFile(folder + WriteMappingFileName);
    PrivateFiles::makeFolder(folder);
}

bool AccountBook::open()
{
    return m_table->open();
}

void AccountBook::refresh()
{
    recount();
    RefreshDataSet(*m_table);
}

bool AccountBook::reopen()
{
    recount();
    m_table->close();
    return m_table->open();
}

Status AccountBook::changeVault(const std::function<Status(VaultSession &)> &change)
{
    if (m_table->isActive() && !m_table->applyUpdates(0))
        return Status::failure(m_table->lastError());
    if (const Status changed = change(*m_vault); !changed)
        return changed;
    // The rows take the stored form the file now has; the counts known stay.
    if (m_table->isActive()) {
        m_table->close();
        if (!m_table->open())
            return Status::failure(m_table->lastError());
    }
    return {};
}

Vault::Cost AccountBook::vaultCost()
{
    if (m_vaultCost.ops == 0)
        m_vaultCost = Vault::calibrate();
    return m_vaultCost;
}

bool AccountBook::close()
{
    // A table that never opened has nothing to write.
    if (m_table->isActive() && !m_table->applyUpdates(0))
        return false;
    if (m_counts)
        m_counts->cancel();
    return true;
}

QList<AccountFolder> AccountBook::accountFolders() const
{
    return AccountTable::accountFolders(*m_table);
}

bool AccountBook::isCounting() const
{
    return m_counts && m_counts->isBusy();
}

QString AccountBook::takeWriteWarning()
{
    return m_provider->takeWriteWarning();
}

QList<QStringList> AccountBook::csvRows(const QStringList &stateCaptions) const
{
    const QLocale locale;
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
                            state >= 0 && state < stateCaptions.size() ? stateCaptions[state]
                                                                        : QString::number(state)};
    }
    return rows;
}

void AccountBook::cdsVantoryAfterOpen()
{
    Q_EMIT opened();
    // What the filter compares is readied once the window is up, not at the first keystroke.
    QTimer::singleShot(0, this, [this] {
        using namespace AccountTable;
        if (m_table->isActive())
            m_table->prepareFilter({SiteName, SiteUrl, Username});
    });
    checkLoadNotes();
}

// When the file just loaded holds what the next save will not keep, whoever shows the book hears it
// now, before any change, together with where a copy of the file as it is now lies.
void AccountBook::checkLoadNotes()
{
    const QStringList &notes = m_provider->loadNotes();
    if (notes.isEmpty())
        return;
    const DataFileBackups::Result kept = m_provider->backups().copyNow();
    const QString told = notes.join(u'\n') + u'\n' + kept.copy + kept.error;
    if (told == m_toldLoadNotes)
        return; // the same file again (a refresh): it was told
    m_toldLoadNotes = told;
    Q_EMIT loadNotesFound({m_provider->fileName(), notes, kept.copy, kept.error});
}

// Every change is saved at once: a posted or removed account is in the data file before the next.
void AccountBook::cdsVantoryNeedApplyChanges()
{
    Q_EMIT saved(m_table->applyUpdates(0) ? QString() : m_table->lastError());
}

void AccountBook::cdsVantoryCalcFields()
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

void AccountBook::countsArrived(const QList<FolderCount> &counts)
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
    Q_EMIT countsChanged();
}

void AccountBook::recount()
{
    m_counts->cancel();
    m_knownCounts.clear();
}
