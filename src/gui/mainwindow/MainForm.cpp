// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainForm.h"

#include "AccountGrid.h"
#include "AccountModel.h"
#include "PasswordClipboard.h"
#include "TotalsBar.h"
#include "VantoryConsts.h"
#include "VaultLock.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FileCount.h"
#include "core/accounts/TableOrder.h"
#include "core/datafile/BackupRestore.h"
#include "core/datafile/CsvExport.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/security/Encode.h"
#include "core/session/VaultSession.h"
#include "core/settings/DataFolder.h"
#include "core/settings/FirstRun.h"
#include "core/settings/LastFolder.h"
#include "core/settings/ProgramInfo.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AffiliateForm.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/PasswordTexts.h"
#include "gui/dialogs/SettingsForm.h"
#include "gui/dialogs/ShareForm.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/search/SearchForm.h"
#include "gui/widgets/ActiveStateItems.h"
#include "gui/widgets/PlatformServices.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include <algorithm>
#include <utility>

using namespace VantoryConsts;
using namespace AccountSchema;

TfrmVantory::TfrmVantory(QWidget *parent)
    : TfrmVantory(std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()), parent)
{
}

TfrmVantory::TfrmVantory(std::unique_ptr<XmlDataProvider> provider, QWidget *parent, FolderCounter countFolder)
    : QMainWindow(parent), m_book(new AccountBook(std::move(provider), std::move(countFolder), this)),
      m_table(m_book->table())
{
    setObjectName(QStringLiteral("frmVantory"));
    setWindowTitle(ProgramInfo::Name);
    m_passwordClipboard = new PasswordClipboard(this);
    m_lock = new VaultLock(m_book, this);
    // Minutes as the settings give them, within what a timer can count.
    const int lockMinutes = RegReadInteger(SettingsKeys::SectionMain, SettingsKeys::SettingLockMinutes, 10);
    m_lock->setIdleInterval(std::clamp(lockMinutes, 0, 35000) * 60 * 1000);
    connect(m_book, &AccountBook::opened, this, &TfrmVantory::cdsVantoryAfterOpen);
    connect(m_book, &AccountBook::edited, this, &TfrmVantory::cdsVantoryAfterEdit);
    connect(m_book, &AccountBook::newRecordFailed, this, &TfrmVantory::cdsVantoryNewRecord);
    connect(m_book, &AccountBook::saved, this, &TfrmVantory::cdsVantoryNeedApplyChanges);
    connect(m_book, &AccountBook::countsChanged, this, &TfrmVantory::UpdateTotals);
    connect(m_book, &AccountBook::loadNotesFound, this, &TfrmVantory::tellLoadNotes);

    createActions();
    createMenus();
    createToolBar();
    createListArea();
    statusBar()->setObjectName(QStringLiteral("stMain"));
    // Remove is enabled exactly while there are rows; re-checked whenever the rows change.
    connect(m_table, &DataSet::reset, this, &TfrmVantory::aAccountDeleteUpdate);
    connect(m_table, &DataSet::rowInserted, this, &TfrmVantory::aAccountDeleteUpdate);
    connect(m_table, &DataSet::rowRemoved, this, &TfrmVantory::aAccountDeleteUpdate);
    // Opening fills the totals (cdsVantoryAfterOpen); closing, for good when a refresh cannot read
    // the file again, empties them.
    connect(m_table, &DataSet::stateChanged, this, [this] {
        if (!m_table->isActive())
            UpdateTotals();
    });
    // The commands on the current account follow what it holds.
    for (auto signal : {&DataSet::reset, &DataSet::currentChanged, &DataSet::stateChanged})
        connect(m_table, signal, this, &TfrmVantory::aAccountCommandsUpdate);
    connect(m_table, &DataSet::rowChanged, this, &TfrmVantory::aAccountCommandsUpdate);
    aAccountDeleteUpdate();
    aAccountCommandsUpdate();
    setMinimumSize(MinimumWidth, MinimumHeight);
    fitToolBar();
    resize(627, 327);
    FormCreate();
    // The search takes every account's folder when it starts, from all rows: neither the filter nor
    // the order of the list, nor the current row, has anything to do with it.
    m_search = new TfrmSearch([book = m_book] { return book->accountFolders(); }, this);
}

TfrmVantory::~TfrmVantory()
{
    // The search window reads the accounts: it goes first. The grid (with the model and the editors
    // that watch the table) goes before the table, and the book, whose counts may still be on their
    // way, goes with it before anything the window shows.
    delete std::exchange(m_search, nullptr);
    delete std::exchange(m_grid, nullptr);
    m_table->disconnect(this);
    m_table = nullptr;
    delete std::exchange(m_book, nullptr);
    m_filter->removeEventFilter(this);
    m_logo->removeEventFilter(this);
}

void TfrmVantory::setPasswordClipboardTime(int ms)
{
    m_passwordClipboard->setClearAfter(ms);
}

QString TfrmVantory::GetDataPath()
{
    if (m_dataPath.isEmpty())
        m_dataPath = DataFolder::path();
    return m_dataPath;
}

void TfrmVantory::FormCreate()
{
    m_book->setDataFolder(GetDataPath());
    if (!m_book->open()) {
        Platform::showError(m_table->lastError(), this);
        UpdateTotals();
    }
    SortDataSet(*m_table, AccountModel::fieldName(0));
    m_grid->createEditors();
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
    if (!FirstRun::takeMasterPasswordOffer())
        return;
    LayoutColumns();
    if (Platform::showMessage(QMessageBox::Question, askPasswordProtect(), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes, this) == QMessageBox::Yes)
        aSettings->trigger();
}

void TfrmVantory::closeEvent(QCloseEvent *event)
{
    // What cannot be written keeps the window open, so nothing is lost unseen.
    if (!m_book->close()) {
        Platform::showError(m_table->lastError(), this);
        event->ignore();
        return;
    }
    tellWriteWarning();
    event->accept();
}

void TfrmVantory::aExitExecute()
{
    close();
}

void TfrmVantory::cdsVantoryAfterOpen()
{
    UpdateTotals();
}

void TfrmVantory::cdsVantoryAfterEdit()
{
    UpdateTotals();
}

// The file just loaded holds what the next save will not keep: the user hears it now, before any
// change, together with where a copy of the file as it is now lies.
void TfrmVantory::tellLoadNotes(const AccountBook::LoadNotes &notes)
{
    QStringList items;
    for (const QString &note : notes.notes)
        items << QStringLiteral("- ") + note;
    const QString where = notes.copy.isEmpty() ? loadNotesNoCopy().arg(notes.copyError)
                                               : loadNotesCopy().arg(QDir::toNativeSeparators(notes.copy));
    Platform::showMessage(QMessageBox::Warning,
                          loadNotesText().arg(QDir::toNativeSeparators(notes.file), items.join(u'\n'), where),
                          QMessageBox::Ok, QMessageBox::Ok, this);
}

void TfrmVantory::tellWriteWarning()
{
    const QString warning = m_book->takeWriteWarning();
    if (!warning.isEmpty())
        Platform::showMessage(QMessageBox::Warning, warning, QMessageBox::Ok, QMessageBox::Ok, this);
}

void TfrmVantory::cdsVantoryNewRecord()
{
    // Shown as it is, not through the error handler, which would add a full stop.
    Platform::showMessage(QMessageBox::Critical, failedToInsertRecord(), QMessageBox::Ok, QMessageBox::NoButton, this);
}

// The book saved a change (every change is saved at once), or could not.
void TfrmVantory::cdsVantoryNeedApplyChanges(const QString &error)
{
    if (!error.isEmpty())
        Platform::showError(error, this);
    tellWriteWarning();
    UpdateTotals();
}

void TfrmVantory::edtFilterChange(const QString &text)
{
    using namespace AccountTable;
    if (!m_table->setFilter(text, {SiteName, SiteUrl, Username}))
        Platform::showError(m_table->lastError(), this);
    showTotals(); // the totals follow the rows shown
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

QTableView *TfrmVantory::dbgAccounts() const
{
    return m_grid;
}

AccountModel *TfrmVantory::accountModel() const
{
    return m_grid->accountModel();
}

GridEditors *TfrmVantory::gridEditors() const
{
    return m_grid ? m_grid->editors() : nullptr;
}

void TfrmVantory::LayoutColumns()
{
    m_grid->LayoutColumns();
}

void TfrmVantory::ResetRowHeight()
{
    m_grid->ResetRowHeight();
}

QRect TfrmVantory::EditorRectForCell(const QRect &cellRect) const
{
    return m_grid->EditorRectForCell(cellRect);
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
    if (watched == m_filter && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
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

void TfrmVantory::dbgAccountsTitleClick(int column)
{
    accountModel()->setBoldColumn(column);
    if (!SortDataSet(*m_table, AccountModel::fieldName(column)) && !m_table->lastError().isEmpty())
        Platform::showError(m_table->lastError(), this);
    ResetRowHeight();
}

void TfrmVantory::aRefreshExecute()
{
    m_book->refresh();
    ResetRowHeight();
}

void TfrmVantory::aBackupExecute()
{
    const QString target = Platform::Services::instance().saveFileName(this, backupTitle(), backupFilter(),
                                                                       backupDefaultExt(), LastFolder::startFolder());
    if (target.isEmpty())
        return;
    LastFolder::rememberFileFolder(target);
    const BackupRestore::Outcome done = BackupRestore::backup(xtrVantory()->fileName(), target);
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
    const BackupRestore::Outcome done = BackupRestore::restore(*xtrVantory(), source, proceed);
    if (done.kind == BackupRestore::Outcome::Declined)
        return;
    if (!done.ok()) {
        Platform::showError(done.kind == BackupRestore::Outcome::NotDataFile ? done.error
                                                                             : restoreFailed().arg(source, done.error),
                            this);
        return;
    }
    tellWriteWarning();
    ResetRowHeight();
    if (!m_book->reopen()) {
        Platform::showError(m_table->lastError(), this);
        return;
    }
    adoptRestored(source);
}

void TfrmVantory::adoptRestored(const QString &source)
{
    VaultSession *vault = m_book->vault();
    const bool foreignKey = vault->fileIsSealed() && vault->state() == VaultSession::State::Locked;
    if (!foreignKey && !vault->needsAdoption())
        return;
    Status adopted;
    if (!vault->fileIsSealed()) {
        // Scrambled passwords under encryption: encrypted at once, nothing to ask.
        adopted = m_book->changeVault([](VaultSession &v) { return v.adopt(QString()); });
    } else {
        TfrmLogin ask;
        ask.setCheck(
            [&](const QString &password) {
                adopted = m_book->changeVault([&](VaultSession &v) { return v.adopt(password); });
                return adopted.ok() || adopted.error != VaultSession::wrongPasswordError();
            },
            tr("Enter the master password %1 was made with:").arg(QFileInfo(source).fileName()));
        if (ask.exec() != TDlgTemplate::mrOk) {
            undoRestore(source);
            return;
        }
    }
    if (!adopted)
        Platform::showError(adopted.error, this);
}

// Accounts whose passwords open with another key than the session's would mix two keys at the next
// change: without the password of the restored copy, the accounts as they were come back, from the
// copy the restore kept of them.
void TfrmVantory::undoRestore(const QString &source)
{
    const QString name = QFileInfo(source).fileName();
    const QStringList kept = xtrVantory()->backups().copies();
    if (!kept.isEmpty() && BackupRestore::restore(*xtrVantory(), kept.first()).ok() && m_book->reopen()) {
        tellWriteWarning();
        Platform::showMessage(QMessageBox::Information,
                              tr("%1 was not restored: its passwords open only with the master password it was "
                                 "made with. The accounts are as they were.")
                                  .arg(name),
                              QMessageBox::Ok, QMessageBox::NoButton, this);
        return;
    }
    Platform::showMessage(QMessageBox::Warning,
                          tr("The passwords of the accounts restored from %1 stay encrypted under the master "
                             "password it was made with; they cannot be shown or copied.")
                              .arg(name),
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}

bool TfrmVantory::unlockVault(const QString &password)
{
    VaultSession *vault = m_book->vault();
    if (vault->state() != VaultSession::State::Locked)
        return true;
    if (!password.isEmpty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool unlocked = vault->unlock(password).ok();
        QApplication::restoreOverrideCursor();
        if (unlocked)
            return true;
    }
    TfrmLogin login;
    login.setCheck([vault](const QString &typed) { return vault->unlock(typed).ok(); },
                   tr("Enter the master password the accounts were encrypted with:"));
    return login.exec() == TDlgTemplate::mrOk;
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
    const QList<QStringList> rows = m_book->csvRows(activeStateCaptions());
    const QLocale locale;
    const Status written = CsvExport::write(target, rows, CsvExport::separatorFor(locale.decimalPoint().at(0)));
    if (!written)
        Platform::showError(tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(target), written.error), this);
}

void TfrmVantory::EditAccount(int accountId)
{
    TfrmAccountEdit dialog(m_table);
    dialog.setVault(m_book->vault());
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
    // The password is restored for the clipboard only, and taken off it again after a while.
    QString password;
    if (!m_book->vault()->reveal(m_table->value(FieldPassword).toString(), password)) {
        Platform::showMessage(QMessageBox::Warning, PasswordTexts::cannotBeDecrypted(), QMessageBox::Ok,
                              QMessageBox::NoButton, this);
        return;
    }
    m_passwordClipboard->copy(password);
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
    frmSettings.setAccountBook(m_book);
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
