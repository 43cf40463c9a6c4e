// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchForm.h"

#include "gui/widgets/PlatformServices.h"
#include "core/packs/TextCache.h"
#include "CopyProgressDialog.h"
#include "core/search/FindFile.h"
#include "SearchAnimation.h"
#include "SearchResultList.h"
#include "SearchResultModel.h"
#include "core/settings/LastFolder.h"
#include "SearchStatusBar.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// The window's first size (its client area) and its smallest.
constexpr QSize kClientSize(520, 419);
constexpr QSize kMinimumSize(442, 233);

} // namespace

TfrmSearch::TfrmSearch(AccountFolderSnapshot accounts, QWidget *parent)
    : QDialog(parent), m_accounts(std::move(accounts)), m_fileFinder(std::make_unique<TFindFile>())
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(tr("Search"));
    setSizeGripEnabled(false); // the status bar has one
    // The worker walks on while the window handles the events it has found so far: a busy window
    // (or busy other cores) never holds up the walk.
    m_fileFinder->setThreaded(true);
    m_fileFinder->setDelivery(edBatched);
    // What was read from packs and documents is kept for the next search.
    m_fileFinder->setTextCacheFile(TextCache::defaultFile());
    createControls();
    resize(kClientSize);
    setMinimumSize(kMinimumSize);
    restoreLayout();
}

void TfrmSearch::restoreLayout()
{
    using namespace SettingsKeys;
    const int width = RegReadInteger(SectionSearch, SettingSearchWidth, 0);
    const int height = RegReadInteger(SectionSearch, SettingSearchHeight, 0);
    if (width > 0 && height > 0)
        resize(QSize(width, height).expandedTo(kMinimumSize));
    chkSearchPacks->setChecked(RegReadInteger(SectionSearch, SettingSearchPacks, 1) != 0);
    QList<int> columns;
    for (const QString &key : SettingSearchColumnWidths) {
        const int column = RegReadInteger(SectionSearch, key, 0);
        if (column <= 0)
            return; // none stored, or not all: the list fits them
        columns << column;
    }
    velvSearchResult->setColumnWidths(columns);
}

void TfrmSearch::saveLayout() const
{
    using namespace SettingsKeys;
    RegWriteInteger(SectionSearch, SettingSearchWidth, width());
    RegWriteInteger(SectionSearch, SettingSearchHeight, height());
    RegWriteInteger(SectionSearch, SettingSearchPacks, chkSearchPacks->isChecked() ? 1 : 0);
    const QList<int> columns = velvSearchResult->columnWidths();
    for (qsizetype i = 0; i < columns.size() && i < qsizetype(std::size(SettingSearchColumnWidths)); ++i)
        RegWriteInteger(SectionSearch, SettingSearchColumnWidths[i], columns[i]);
}

TfrmSearch::~TfrmSearch()
{
    m_destroying = true;
    // No handler of this window runs once it goes, not even the abort its own stop below fires.
    m_fileFinder->setOnSearchBegin({});
    m_fileFinder->setOnSearchFinish({});
    m_fileFinder->setOnSearchAbort({});
    m_fileFinder->setOnFolderChange({});
    m_fileFinder->setOnFileMatch({});
    qApp->removeEventFilter(this);
    // A running pass is asked to stop, and the finder waits for its worker as it goes; the next
    // pass, which the window would have started from the event loop, is never started.
    if (m_fileFinder->Searching())
        m_fileFinder->StopSearch();
    m_fileFinder.reset();
}

void TfrmSearch::createControls()
{
    createCriteriaControls();
    createResultControls();
    layOutControls();
}

// What to find, where, and how: the two boxes, Find and Cancel, the options and the animation.
void TfrmSearch::createCriteriaControls()
{
    lblFindText = new QLabel(tr("Fi&nd:"), this);
    lblFindText->setObjectName(QStringLiteral("lblFindText"));
    cbFindText = new QLineEdit(this);
    cbFindText->setObjectName(QStringLiteral("cbFindText"));
    lblFindText->setBuddy(cbFindText);
    cbFindText->installEventFilter(this);

    lblFileMask = new QLabel(tr("&In Files/Types:"), this);
    lblFileMask->setObjectName(QStringLiteral("lblFileMask"));
    cbFileMask = new QComboBox(this);
    cbFileMask->setObjectName(QStringLiteral("cbFileMask"));
    cbFileMask->setEditable(true);
    cbFileMask->setInsertPolicy(QComboBox::NoInsert);
    cbFileMask->addItems({QStringLiteral("*.*"), QStringLiteral("*.txt"), QStringLiteral("*.pdf"),
                          QStringLiteral("*.doc"), QStringLiteral("*.exe"), QStringLiteral("*.mp3"),
                          QStringLiteral("*.htm;*.html"), QStringLiteral("*.php")});
    cbFileMask->setCurrentIndex(0);
    cbFileMask->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lblFileMask->setBuddy(cbFileMask);

    btnFind = new QPushButton(tr("&Find"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    connect(btnFind, &QPushButton::clicked, this, &TfrmSearch::btnFindClick);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSearch::btnCancelClicked);

    gbxSearchOptions = new QGroupBox(tr(" Search Options "), this);
    gbxSearchOptions->setObjectName(QStringLiteral("gbxSearchOptions"));
    chkSearchFilenames = new QCheckBox(tr("Search filenames"), gbxSearchOptions);
    chkSearchFilenames->setObjectName(QStringLiteral("chkSearchFilenames"));
    chkSearchFilenames->setChecked(true);
    chkSearchContents = new QCheckBox(tr("Search file contents"), gbxSearchOptions);
    chkSearchContents->setObjectName(QStringLiteral("chkSearchContents"));
    chkSearchContents->setChecked(true);
    for (QCheckBox *box : {chkSearchFilenames, chkSearchContents})
        connect(box, &QCheckBox::clicked, this, [this, box] { SearchOptionsClick(box); });
    chkSearchPacks = new QCheckBox(tr("Search inside packs and documents"), gbxSearchOptions);
    chkSearchPacks->setObjectName(QStringLiteral("chkSearchPacks"));
    chkSearchPacks->setChecked(true);
    btnEmptyCache = new QPushButton(tr("Empty Cache"), gbxSearchOptions);
    btnEmptyCache->setObjectName(QStringLiteral("btnEmptyCache"));
    btnEmptyCache->setToolTip(tr("Forget the text kept from packs and documents; the next search reads them again"));
    connect(btnEmptyCache, &QPushButton::clicked, this, &TfrmSearch::btnEmptyCacheClicked);
    // What to search on the first line, where to look on the second: each caption keeps its whole
    // width at the window's default size.
    auto *options = new QGridLayout(gbxSearchOptions);
    options->addWidget(chkSearchFilenames, 0, 0);
    options->addWidget(chkSearchContents, 0, 1);
    options->addWidget(chkSearchPacks, 1, 0, 1, 2);
    options->addWidget(btnEmptyCache, 1, 3);
    options->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);
    options->setColumnStretch(2, 1);

    Animate = new SearchAnimation(this);
    Animate->setObjectName(QStringLiteral("Animate"));
    Animate->setAccessibleName(tr("Search in progress"));
}

// The result list, the buttons under it and the status bar.
void TfrmSearch::createResultControls()
{
    velvSearchResult = new SearchResultList(this);
    connect(velvSearchResult->results(), &SearchResultModel::checkedChanged, this,
            &TfrmSearch::velvSearchResultChecked);

    btnSelectAll = new QPushButton(tr("Select All"), this);
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    connect(btnSelectAll, &QPushButton::clicked, this, &TfrmSearch::btnSelectAllClick);
    btnUnselectAll = new QPushButton(tr("Unselect All"), this);
    btnUnselectAll->setObjectName(QStringLiteral("btnUnselectAll"));
    connect(btnUnselectAll, &QPushButton::clicked, this, &TfrmSearch::btnUnselectAllClick);
    btnSaveSelection = new QPushButton(tr("Save Selection..."), this);
    btnSaveSelection->setObjectName(QStringLiteral("btnSaveSelection"));
    btnSaveSelection->setEnabled(false);
    connect(btnSaveSelection, &QPushButton::clicked, this, &TfrmSearch::btnSaveSelectionClick);

    stSearch = new SearchStatusBar(this);
    stSearch->setObjectName(QStringLiteral("stSearch"));
    stSearch->setSizeGripEnabled(true);
}

void TfrmSearch::layOutControls()
{
    // Buttons of one column share one width, the widest caption's.
    const int buttonWidth = std::max(btnFind->sizeHint().width(), btnCancel->sizeHint().width());
    btnFind->setMinimumWidth(buttonWidth);
    btnCancel->setMinimumWidth(buttonWidth);

    auto *grid = new QGridLayout;
    grid->addWidget(lblFindText, 0, 0);
    grid->addWidget(cbFindText, 0, 1);
    grid->addWidget(btnFind, 0, 2);
    grid->addWidget(lblFileMask, 1, 0);
    grid->addWidget(cbFileMask, 1, 1);
    grid->addWidget(btnCancel, 1, 2);
    grid->addWidget(gbxSearchOptions, 2, 0, 1, 2);
    grid->addWidget(Animate, 2, 2, Qt::AlignCenter);
    grid->setColumnStretch(1, 1);

    auto *lower = new QHBoxLayout;
    lower->addWidget(btnSelectAll);
    lower->addWidget(btnUnselectAll);
    lower->addStretch(1);
    lower->addWidget(btnSaveSelection);

    // The controls keep the style's margins and spacing; the status bar lies along the edge.
    auto *content = new QWidget(this);
    auto *body = new QVBoxLayout(content);
    body->addLayout(grid);
    body->addWidget(velvSearchResult, 1);
    body->addLayout(lower);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(content, 1);
    outer->addWidget(stSearch);

    setTabOrder(cbFindText, cbFileMask);
    setTabOrder(cbFileMask, btnFind);
    setTabOrder(btnFind, btnCancel);
    setTabOrder(btnCancel, velvSearchResult);
    setTabOrder(velvSearchResult, chkSearchFilenames);
    setTabOrder(chkSearchFilenames, chkSearchContents);
    setTabOrder(chkSearchContents, chkSearchPacks);
    setTabOrder(chkSearchPacks, btnEmptyCache);
    setTabOrder(btnEmptyCache, btnSelectAll);
    setTabOrder(btnSelectAll, btnUnselectAll);
    setTabOrder(btnUnselectAll, btnSaveSelection);
}

// --- Keys, showing and closing -----------------------------------------------------------------

void TfrmSearch::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The window sees key presses before its controls do, while it is shown.
    qApp->installEventFilter(this);
    cbFindText->setFocus(Qt::OtherFocusReason);
}

void TfrmSearch::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    // The size and the columns as the user left them, for the next showing and the next run.
    if (!event->spontaneous())
        saveLayout();
    QDialog::hideEvent(event);
}

bool TfrmSearch::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (widget && widget->window() == this && FormKeyDown(key))
        return true;
    if (watched == cbFindText && type == QEvent::KeyPress &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
        cbFindTextKeyDown();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TfrmSearch::FormKeyDown(QKeyEvent *event)
{
    // F5 refreshes elsewhere in the program; here it must not reach any control.
    return event->key() == Qt::Key_F5;
}

void TfrmSearch::cbFindTextKeyDown()
{
    if (btnFind->isEnabled())
        btnFind->click();
    else
        btnCancel->click();
}

void TfrmSearch::btnCancelClicked()
{
    // While a search runs the button only stops it; otherwise it closes the window.
    if (m_searching)
        btnCancelClick();
    else
        QDialog::reject();
}

void TfrmSearch::btnEmptyCacheClicked()
{
    if (m_searching)
        return;
    QString error;
    if (TextCache::empty(m_fileFinder->TextCacheFile(), &error)) {
        stSearch->showMessage(tr("The text kept from packs and documents has been removed."));
        return;
    }
    Platform::showMessage(QMessageBox::Warning, tr("The text cache could not be emptied.") + QStringLiteral("\r\n") + error,
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}

void TfrmSearch::reject()
{
    if (m_searching)
        btnCancelClick();
    else
        QDialog::reject();
}

void TfrmSearch::closeEvent(QCloseEvent *event)
{
    if (!m_searching) {
        QDialog::closeEvent(event);
        return;
    }
    // Closing ends the search at once, as Cancel does, and the window goes; the search finishes
    // its bookkeeping behind it.
    btnCancelClick();
    QDialog::done(QDialog::Rejected);
    event->accept();
}

void TfrmSearch::SearchOptionsClick(QCheckBox *clicked)
{
    if (clicked->isChecked())
        return;
    QCheckBox *other = clicked == chkSearchFilenames ? chkSearchContents : chkSearchFilenames;
    other->setChecked(true);
}

// --- The search ---------------------------------------------------------------------------------

QStringList TfrmSearch::NameMasks(const QString &maskText, const QString &findText)
{
    QStringList masks = SplitMasks(maskText);
    if (masks.isEmpty())
        masks << QString();
    const QString narrowing = u'*' + findText;
    for (QString &mask : masks) {
        const qsizetype star = mask.indexOf(u'*');
        if (star >= 0) {
            mask.insert(star, narrowing);
            return masks;
        }
    }
    masks.first().prepend(narrowing + u'*');
    return masks;
}

QStringList TfrmSearch::TargetEntries(const QString &folder, const QStringList &masks)
{
    if (folder.isEmpty())
        return {};
    const PathStyle style = PathStyle::native();
    const auto holdsDelimiter = [style](const QString &mask) {
        return std::any_of(mask.begin(), mask.end(),
                           [style](QChar c) { return style.isDelimiter(c) || (style.windows && c == u':'); });
    };
    // ">" reads the entry with its subfolders, and being read first it keeps any "<" or ">" that
    // begins the folder's own name.
    const QString prefix = u'>' + AppendPathDelimiter(folder);
    QStringList entries;
    for (const QString &mask : masks) {
        if (!holdsDelimiter(mask))
            entries << prefix + mask;
    }
    if (entries.isEmpty())
        entries << prefix;
    return entries;
}

void TfrmSearch::btnFindClick()
{
    if (m_searching)
        return;
    m_searching = true;
    btnFind->setEnabled(false);
    btnEmptyCache->setEnabled(false);
    btnFind->setDefault(false);
    btnCancel->setDefault(true);
    Animate->start();
    m_cancelled = false;
    m_passSkipped = false;
    m_fileFinder->setOnFileMatch(
        [this](QObject *, const QString &folder, const TSearchRec &entry) { FinderFileMatch(folder, entry); });
    m_fileFinder->setOnFolderChange(
        [this](QObject *, const QString &folder, TFolderIgnore &) { FinderFolderChange(folder); });
    m_fileFinder->setOnSearchFinish([this](QObject *) { FinderSearchFinish(); });
    m_foundKeys.clear();
    m_newFound.clear();
    m_newPackEntries.clear();
    m_newContentMatches.clear();
    ResetResults();
    // The criteria and the accounts are taken now, once: what the user does meanwhile (editing the
    // boxes, a count that reorders the list, a filter) changes nothing of this search.
    m_request = currentRequest();
    // The content pass matches ignoring case, and documents by their text when it looks inside them.
    velvSearchResult->results()->setPreviewPhrase(m_request.findText, true, m_request.packs);
    velvSearchResult->results()->setPreviewTextCache(m_fileFinder->TextCacheFile());
    m_searchAccounts.clear();
    m_nextAccount = 0;
    m_nextPass = ContentPass;
    try {
        if (m_accounts)
            m_searchAccounts = m_accounts();
    } catch (...) {
        FinishSearch();
        throw;
    }
    NextPass();
}

void TfrmSearch::FinderSearchFinish()
{
    const Platform::WalkReport &report = m_fileFinder->Report();
    m_accountUnreadable = std::max(m_accountUnreadable, report.unreadableFolders);
    m_accountSkipped = std::max(m_accountSkipped, report.skippedNames);
    m_accountLocked = std::max(m_accountLocked, report.lockedEntries);
    m_accountDamaged = std::max(m_accountDamaged, report.damagedPacks);
    m_accountCached = std::max(m_accountCached, report.cachedTexts);
    if (!std::exchange(m_passRunning, false))
        return;
    // The finder tidies up after this handler; the next pass starts once it has, from the event
    // loop. A window destroyed meanwhile gets no such call.
    QMetaObject::invokeMethod(this, &TfrmSearch::NextPass, Qt::QueuedConnection);
}

bool TfrmSearch::StartPass(const QString &folder, const QStringList &masks, const QString &phrase)
{
    if (m_cancelled) {
        m_passSkipped = true;
        return false;
    }
    m_passRunning = true;
    RunPass(folder, masks, phrase);
    return true;
}

void TfrmSearch::NextPass()
{
    if (!m_searching || m_passRunning)
        return;
    const Request &request = m_request;
    try {
        for (; m_nextAccount < m_searchAccounts.size(); ++m_nextAccount, m_nextPass = ContentPass) {
            // An account without a save folder has nothing to search.
            const QString folder = m_searchAccounts.at(m_nextAccount).savePath;
            if (!folder.isEmpty() && m_nextPass == ContentPass) {
                m_nextPass = NamePass;
                if (request.contents && StartPass(folder, SplitMasks(request.maskText), request.findText))
                    return; // the pass's end calls again
            }
            if (!folder.isEmpty() && m_nextPass == NamePass) {
                m_nextPass = AccountDone;
                if (request.names && StartPass(folder, NameMasks(request.maskText, request.findText), QString()))
                    return;
            }
            AddResults(m_searchAccounts.at(m_nextAccount).siteName);
            m_unreadableFolders += std::exchange(m_accountUnreadable, 0);
            m_skippedNames += std::exchange(m_accountSkipped, 0);
            m_lockedEntries += std::exchange(m_accountLocked, 0);
            m_damagedPacks += std::exchange(m_accountDamaged, 0);
            m_cachedTexts += std::exchange(m_accountCached, 0);
        }
    } catch (...) {
        m_passRunning = false;
        FinishSearch();
        throw;
    }
    FinishSearch();
}

TfrmSearch::Request TfrmSearch::currentRequest() const
{
    return {cbFindText->text(), cbFileMask->currentText(), chkSearchFilenames->isChecked(),
            chkSearchContents->isChecked(), chkSearchPacks->isChecked()};
}

QString TfrmSearch::searchedFor(const Request &request) const
{
    const bool anyMask = !request.maskText.isEmpty();
    if (request.names && !request.contents) {
        return anyMask ? tr("\"%1\" in the names of %2: ").arg(request.findText, request.maskText)
                       : tr("\"%1\" in the names: ").arg(request.findText);
    }
    if (request.contents && !request.names) {
        return anyMask ? tr("\"%1\" in the contents of %2: ").arg(request.findText, request.maskText)
                       : tr("\"%1\" in the contents: ").arg(request.findText);
    }
    return anyMask ? tr("\"%1\" in %2: ").arg(request.findText, request.maskText)
                   : tr("\"%1\": ").arg(request.findText);
}

void TfrmSearch::RunPass(const QString &folder, const QStringList &masks, const QString &phrase)
{
    TSearchCriteria *criteria = m_fileFinder->Criteria();
    TFileCriteria *files = criteria->Files();
    files->setLocation(QString());
    files->setFileName(QString());
    files->setIncluded(TargetEntries(folder, masks));
    files->setSubfolders(true);
    criteria->Content()->setPhrase(phrase);
    criteria->Content()->setIgnoreCase(true);
    criteria->Content()->setSearchPacks(m_request.packs);
    m_fileFinder->StartSearch();
}

void TfrmSearch::btnCancelClick()
{
    m_fileFinder->StopSearch();
    m_cancelled = true;
}

void TfrmSearch::FinderFileMatch(const QString &folder, const TSearchRec &entry)
{
    // A content pass is under way while the name pass is the next; with no phrase it matches every file.
    const bool contentMatch = m_nextPass == NamePass && !m_request.findText.isEmpty();
    QString path = AppendPathDelimiter(folder) + entry.Name();
    if (entry.IsPackEntry()) {
        SearchResultModel::PackEntryResult found;
        found.packPath = path;
        found.inner = entry.InnerPath();
        found.locked = entry.IsLocked();
        found.size = qint64(entry.Size());
        const Platform::FileTime modified = entry.LastWriteTime();
        found.modifiedMs = modified != 0 ? Platform::fileTimeToMSecs(modified) : 0;
        path = SearchResultModel::packEntryText(path, found.inner);
        if (!m_foundKeys.contains(SearchResultModel::pathKey(path)))
            m_newPackEntries.insert(path, found);
    }
    const qsizetype known = m_foundKeys.size();
    m_foundKeys.insert(SearchResultModel::pathKey(path));
    if (m_foundKeys.size() == known)
        return;
    if (contentMatch)
        m_newContentMatches.insert(path);
    m_newFound << std::move(path);
}

void TfrmSearch::FinderFolderChange(const QString &folder)
{
    ++m_folderCount;
    stSearch->showMessage(folder);
}

void TfrmSearch::ResetResults()
{
    velvSearchResult->results()->clear();
    m_folderCount = 0;
    m_unreadableFolders = m_skippedNames = m_accountUnreadable = m_accountSkipped = 0;
    m_lockedEntries = m_damagedPacks = m_accountLocked = m_accountDamaged = 0;
    m_cachedTexts = m_accountCached = 0;
    m_startTick.start();
}

void TfrmSearch::AddResults(const QString &account)
{
    if (m_newFound.isEmpty())
        return;
    QCollator collator(QLocale{});
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(m_newFound.size()));
    for (qsizetype i = 0; i < m_newFound.size(); ++i)
        keys.emplace_back(collator.sortKey(m_newFound[i]), i);
    // Paths that collate alike ("A.txt", "a.txt") are still two files; case, and then the bare
    // characters, give them a fixed order.
    QCollator caseCollator(QLocale{});
    caseCollator.setCaseSensitivity(Qt::CaseSensitive);
    std::sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
        int order = a.first.compare(b.first);
        if (order == 0)
            order = caseCollator.compare(m_newFound[a.second], m_newFound[b.second]);
        if (order == 0)
            order = QString::compare(m_newFound[a.second], m_newFound[b.second]);
        return order < 0;
    });
    // In that order, each run of plain files and each run of pack entries in one step.
    SearchResultModel *results = velvSearchResult->results();
    QList<SearchResultModel::FileResult> files;
    QList<SearchResultModel::PackEntryResult> entries;
    for (const auto &key : keys) {
        const QString &path = m_newFound[key.second];
        const bool contentMatch = m_newContentMatches.contains(path);
        const auto entry = m_newPackEntries.constFind(path);
        if (entry == m_newPackEntries.cend()) {
            if (!entries.isEmpty())
                results->appendPackEntries(std::exchange(entries, {}));
            files.append({path, account, contentMatch});
        } else {
            if (!files.isEmpty())
                results->appendResults(std::exchange(files, {}));
            entries << *entry;
            entries.last().account = account;
            entries.last().contentMatch = contentMatch;
        }
    }
    results->appendResults(files);
    results->appendPackEntries(entries);
    m_newFound.clear();
    m_newPackEntries.clear();
    m_newContentMatches.clear();
}

void TfrmSearch::FinishSearch()
{
    const double seconds = double(quint32(m_startTick.elapsed())) / 1000.0;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = tr("%1 folder(s) searched and %2 file(s) found - %3 second(s)")
                       .arg(m_folderCount)
                       .arg(velvSearchResult->results()->count())
                       .arg(locale.toString(seconds, 'f', 3));
    text.prepend(searchedFor(m_request));
    if (m_fileFinder->StopRequested() || m_passSkipped)
        text.prepend(tr("Search aborted - "));
    // Files the search could not look at are not silently missing from the list.
    if (m_unreadableFolders > 0)
        text += QStringLiteral(" - ") + tr("%1 folder(s) could not be read").arg(m_unreadableFolders);
    if (m_skippedNames > 0)
        text += QStringLiteral(" - ") + tr("%1 item(s) with unreadable names left out").arg(m_skippedNames);
    if (m_lockedEntries > 0)
        text += QStringLiteral(" - ") + tr("%1 locked item(s) in packs left out").arg(m_lockedEntries);
    if (m_damagedPacks > 0)
        text += QStringLiteral(" - ") + tr("%1 pack(s) could not be read to the end").arg(m_damagedPacks);
    if (m_cachedTexts > 0)
        text += QStringLiteral(" - ") + tr("text of %1 packs and documents from cache").arg(QLocale().toString(m_cachedTexts));
    stSearch->showMessage(text);

    Animate->stop();
    btnCancel->setDefault(false);
    btnFind->setEnabled(true);
    btnEmptyCache->setEnabled(true);
    btnFind->setDefault(true);
    m_searching = false;

    if (!m_destroying && velvSearchResult->results()->count() > 0 && !velvSearchResult->hasFocus())
        velvSearchResult->focusFirstEntry();
}

// --- The results --------------------------------------------------------------------------------

void TfrmSearch::velvSearchResultChecked(int checkedCount)
{
    btnSaveSelection->setEnabled(checkedCount > 0);
}

void TfrmSearch::btnSelectAllClick()
{
    velvSearchResult->results()->setAllChecked(true);
}

void TfrmSearch::btnUnselectAllClick()
{
    velvSearchResult->results()->setAllChecked(false);
}

void TfrmSearch::btnSaveSelectionClick()
{
    const SearchResultModel *results = velvSearchResult->results();
    // Files are copied, entries inside packs taken out of them, all alike into the one folder.
    QList<FlatCopy::Source> sources;
    for (int row = 0; row < results->count(); ++row) {
        if (!results->isChecked(row))
            continue;
        if (results->isPackEntry(row)) {
            const qint64 size =
                results->data(results->index(row, SearchResultModel::ColumnSize), SearchResultModel::SortRole)
                    .toLongLong();
            sources.append({results->filePath(row), results->innerPath(row), size});
        } else {
            sources.append({results->path(row), {}, 0});
        }
    }
    if (sources.isEmpty())
        return;
    const QString folder = Platform::Services::instance().existingFolder(this, tr("Select Destination Directory"),
                                                                         LastFolder::startFolder());
    if (folder.isEmpty())
        return;
    LastFolder::rememberFolder(folder);
    const FlatCopy::Result result = CopyProgressDialog::copySources(sources, folder, this);
    if (result.ok()) {
        // How many arrived, and how many of them under another name: the user finds those by it.
        const QString copied =
            result.renamed == 0
                ? tr("%1 file(s) copied.").arg(result.arrived.size())
                : tr("%1 file(s) copied, %2 of them under a new name because the name was taken.")
                      .arg(result.arrived.size())
                      .arg(result.renamed);
        Platform::showMessage(
            QMessageBox::Information,
            tr("The files have been successfully saved to the folder\r\n%1").arg(QDir::toNativeSeparators(folder)) +
                QStringLiteral("\r\n") + copied,
            QMessageBox::Ok, QMessageBox::NoButton, this);
        return;
    }
    Platform::showMessage(QMessageBox::Critical,
                          tr("Failed to save all files") + QStringLiteral("\r\n") +
                              tr("%1 of %2 file(s) could not be saved.").arg(result.notArrived()).arg(result.total),
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}
