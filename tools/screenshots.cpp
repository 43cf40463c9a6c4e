// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows to PNG files: the main window with a sample account list and with
// an empty one, while the folder counts arrive, with a filter and with its pop-up menu, its dialogs,
// its menus and the search window. The sample accounts and the files in their download folders are
// made in a temporary folder; the user's own settings are never touched.
// usage: QT_QPA_PLATFORM=offscreen [QT_SCALE_FACTOR=2] build/tools/screenshots OUTDIR
// (`make screenshots` renders at scale 1 into docs/screenshots and at scale 2 into docs/screenshots/2x.)
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FileCount.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/search/FlatCopy.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AffiliateForm.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/SettingsForm.h"
#include "gui/dialogs/ShareForm.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/Startup.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/search/CopyProgressDialog.h"
#include "gui/search/SearchForm.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"
#include "gui/widgets/LabeledEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSemaphore>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <memory>
#include <utility>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

// The files of a download folder: articles, e-books, reports, templates and pictures of different
// sizes, so the search window shows names, icons and sizes as a user's folders would.
QString sampleFileName(int f)
{
    static const char *kinds[] = {"article", "ebook", "report", "template", "graphics"};
    static const char *suffixes[] = {".txt", ".pdf", ".doc", ".html", ".png"};
    return QString::fromLatin1(kinds[f % 5]) + u'-' + QString::number(f / 5 + 1).rightJustified(3, u'0') +
           QString::fromLatin1(suffixes[f % 5]);
}

QByteArray sampleAccounts(const QString &saves)
{
    const char *names[] = {"Article Vault",   "Brindle PLR",     "Content Quarry", "Daily eBooks",   "Evergreen Niche",
                           "Fresh Templates", "Graphics Depot",  "Hidden Gems",    "Instant Courses", "Jumpstart Kits",
                           "Keyword Mine",    "Lucid Reports",   "Master Resell",  "Niche Toolbox",  "Omni Scripts",
                           "Premium Audio",   "Quillmere",       "Resale Rights",  "Software Shelf", "Turnkey Sites"};
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < 20; ++i) {
        const QString folder = saves + u'/' + QString::fromLatin1(names[i]);
        const int files = i == 2 ? 1001 : (i * 37) % 250;
        for (int f = 0; f < files; ++f)
            writeFile(folder + u'/' + sampleFileName(f), QByteArray(1 + (f * 7919 + i * 131) % 20000, 'x'));
        QString slug = QString::fromLatin1(names[i]).toLower();
        slug.remove(u' ');
        xml += QStringLiteral("  <Account><accountID>%1</accountID><siteName>%2</siteName>"
                              "<siteUrl>https://www.%9.example/members</siteUrl>"
                              "<savePath>%3</savePath><monthlyFee>%4</monthlyFee><username>member%1</username><password>%8</password>"
                              "<addedDate>2025-%5-%6</addedDate><active>%7</active></Account>\n")
                   .arg(i)
                   .arg(QString::fromLatin1(names[i]))
                   .arg(folder)
                   .arg(i % 4 == 3 ? 0.0 : 9.95 + i * 2.5)
                   .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                   .arg(1 + (i * 7) % 28, 2, 10, QLatin1Char('0'))
                   .arg(i % 5 == 1 ? 0 : (i % 7 == 4 ? 2 : 1))
                   .arg(EncodeStr(QStringLiteral("secret%1").arg(i)), slug)
                   .toUtf8();
    }
    return xml + "</Accounts>\n";
}

void renderEditor(TfrmVantory &window, int accountId, const QString &png)
{
    if (accountId >= 0)
        window.cdsVantory()->setRecNo(2);
    TfrmAccountEdit dialog(window.cdsVantory());
    dialog.AccountId = accountId;
    dialog.show();
    QApplication::processEvents();
    dialog.grab().save(png);
    dialog.reject();
}

void renderMenus(TfrmVantory &window, const QString &out)
{
    int i = 0;
    for (QMenu *menu : window.menuBar()->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly)) {
        menu->popup(QPoint(0, 0));
        QApplication::processEvents();
        menu->grab().save(out + QStringLiteral("/menu-%1.png").arg(i++));
        menu->hide();
    }
    auto *popup = window.findChild<QMenu *>(QStringLiteral("pmAccounts"));
    popup->popup(QPoint(0, 0));
    QApplication::processEvents();
    popup->grab().save(out + QStringLiteral("/menu-popup.png"));
    popup->hide();
}

// A tar pack of the files (ustar, written field by field): the sample needs packs without a library
// to write them.
QByteArray tarPack(const QList<std::pair<QByteArray, QByteArray>> &files)
{
    QByteArray out;
    for (const auto &[name, data] : files) {
        QByteArray header(512, '\0');
        const auto put = [&header](int at, const QByteArray &field) { header.replace(at, field.size(), field); };
        put(0, name.left(99));
        put(100, "0000644");
        put(108, "0001750");
        put(116, "0001750");
        put(124, QByteArray::number(data.size(), 8).rightJustified(11, '0'));
        put(136, QByteArray::number(1767225600, 8).rightJustified(11, '0'));
        put(148, "        ");
        put(156, "0");
        put(257, QByteArray("ustar\0" "00", 8));
        int sum = 0;
        for (const char c : std::as_const(header))
            sum += static_cast<unsigned char>(c);
        put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
        out += header + data + QByteArray((512 - data.size() % 512) % 512, '\0');
    }
    return out + QByteArray(1024, '\0');
}

// A ZIP of one stored entry marked as encrypted: a locked entry, which the search passes over and
// counts.
QByteArray lockedZip(const QByteArray &name, const QByteArray &data)
{
    const auto le = [](quint32 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out += char((value >> (8 * i)) & 0xFF);
        return out;
    };
    const QByteArray common = le(20, 2) + le(1, 2) + le(0, 2) + le(0, 2) + le(0x5C21, 2) + le(0, 4) +
                              le(quint32(data.size()), 4) + le(quint32(data.size()), 4) + le(quint32(name.size()), 2) +
                              le(0, 2);
    const QByteArray local = le(0x04034B50, 4) + common + name + data;
    const QByteArray central = le(0x02014B50, 4) + le(20, 2) + common + le(0, 2) + le(0, 2) + le(0, 2) + le(0, 4) +
                               le(0, 4) + name;
    return local + central + le(0x06054B50, 4) + le(0, 2) + le(0, 2) + le(1, 2) + le(1, 2) +
           le(quint32(central.size()), 4) + le(quint32(local.size()), 4) + le(0, 2);
}

// The search window with content matches in files, in packs and in a pack inside a pack: the
// account of each and the text around the match; a locked entry counted.
void renderPackSearch(TfrmSearch *search, const QString &out, const QString &saves)
{
    const QString first = saves + QStringLiteral("/Quillmere/");
    const QString second = saves + QStringLiteral("/Resale Rights/");
    const QByteArray inner = tarPack(
        {{"notes/ledger-notes.txt", "Notes for the spring issue: keep the Marigold ledger #7 beside the seed list."}});
    const QStringList written = {first + QStringLiteral("garden-bundle-2025.tar"),
                                 first + QStringLiteral("marigold-ledger-guide.txt"),
                                 second + QStringLiteral("marigold ledger checklist.txt"),
                                 second + QStringLiteral("season-pack.tar"),
                                 second + QStringLiteral("members-only.zip")};
    writeFile(written[0], tarPack({{"articles/garden-diary.txt",
                                    "Week three. The beds are ready and the Marigold ledger #7 says what to sow next."},
                                   {"bonus/extras.tar", inner}}));
    writeFile(written[1], "A guide to keeping records.\n\nStart a Marigold ledger for every bed you plant, "
                          "and write down the dates of sowing and of the first flowers.\n");
    writeFile(written[2], QByteArray(2400, 'x'));
    writeFile(written[3], tarPack({{"season/summer.txt", "Summer plans: water early, and update the marigold "
                                                          "LEDGER each Sunday evening before the market."}}));
    writeFile(written[4], lockedZip("marigold ledger (members).txt", QByteArray(64, 'z')));
    const QSize size = search->size();
    search->resize(1180, 440);
    search->findChild<QLineEdit *>(QStringLiteral("cbFindText"))->setText(QStringLiteral("marigold ledger"));
    search->btnFindClick();
    while (search->isSearching())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    // The previews are found in the background for the rows in sight.
    SearchResultModel *results = search->resultList()->results();
    const auto allShown = [results] {
        for (int row = 0; row < results->count(); ++row) {
            if (results->isContentMatch(row) && !results->preview(row))
                return false;
        }
        return true;
    };
    QElapsedTimer waited;
    waited.start();
    while (!allShown() && waited.elapsed() < 10000) {
        search->resultList()->viewport()->update();
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    search->resultList()->clearSelection();
    results->setRowsChecked({1}, true);
    QApplication::processEvents();
    search->grab().save(out + QStringLiteral("/search-packs.png"));
    for (const QString &path : written)
        QFile::remove(path);
    search->resize(size);
}

// The search window idle, while it searches, with its results, and with the results' context menu.
void renderSearch(TfrmVantory &window, const QString &out, const QString &saves)
{
    TfrmSearch *search = window.frmSearch();
    search->show();
    QApplication::processEvents();
    search->grab().save(out + QStringLiteral("/search-idle.png"));
    bool grabbed = false;
    const auto during = QObject::connect(search->findChild<QStatusBar *>(QStringLiteral("stSearch")),
                                         &QStatusBar::messageChanged, search, [&](const QString &text) {
                                             if (!grabbed && search->isSearching() && text.contains(u"Daily eBooks")) {
                                                 grabbed = true;
                                                 search->grab().save(out + QStringLiteral("/search-running.png"));
                                             }
                                         });
    search->findChild<QLineEdit *>(QStringLiteral("cbFindText"))->setText(QStringLiteral("report"));
    // Find returns once the search is under way; the search runs on from the event loop.
    search->btnFindClick();
    while (search->isSearching())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QObject::disconnect(during);
    SearchResultList *list = search->resultList();
    list->results()->setRowsChecked({1, 2, 4}, true);
    QApplication::processEvents();
    search->grab().save(out + QStringLiteral("/search-results.png"));
    const QRect row = list->visualRect(list->model()->index(2, 1));
    list->setCurrentIndex(list->model()->index(2, 0));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, row.center(), list->viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(list->viewport(), &menuEvent);
    QApplication::processEvents();
    QPixmap shot = search->grab();
    {
        // The menu is a window of its own: drawn into the window's picture where it opened.
        QPainter painter(&shot);
        const QPoint at = search->mapFromGlobal(list->contextMenu()->pos());
        painter.drawPixmap(at, list->contextMenu()->grab());
    }
    shot.save(out + QStringLiteral("/search-menu.png"));
    list->contextMenu()->close();
    renderPackSearch(search, out, saves);
    search->hide();
}

// The two master password dialogs, with something typed into them; the master password dialog as the
// window opens it, with the check box about encrypting the passwords.
void renderPasswordDialogs(TfrmVantory &window, const QString &out)
{
    TfrmLogin login;
    login.show();
    QApplication::processEvents();
    login.edtPassword->setText(QStringLiteral("secret"));
    login.grab().save(out + QStringLiteral("/login.png"));
    login.reject();

    TfrmSettings settings;
    settings.setAccountBook(window.book());
    settings.show();
    QApplication::processEvents();
    settings.ledNewPassword->setText(QStringLiteral("new secret"));
    settings.grab().save(out + QStringLiteral("/master-password.png"));
    settings.reject();
}

// The question of the first start, as the program asks it, and the progress of a Save Selection
// copy.
void renderPrompts(const QString &out, const QString &saves)
{
    QMessageBox question(QMessageBox::Question, QGuiApplication::applicationDisplayName(), askPasswordProtect(),
                         QMessageBox::Yes | QMessageBox::No);
    question.setDefaultButton(QMessageBox::Yes);
    question.show();
    QApplication::processEvents();
    question.grab().save(out + QStringLiteral("/password-question.png"));
    question.hide();

    // The dialog shows only while a copy takes long; drawn here with the copy done, as it is the
    // moment before it closes.
    FlatCopy job({saves + QStringLiteral("/Brindle PLR/ebook-001.pdf"),
                  saves + QStringLiteral("/Content Quarry/report-002.doc")},
                 saves + QStringLiteral("/Copies"));
    QDir().mkpath(job.destination());
    job.run();
    CopyProgressDialog progress(job);
    progress.refresh();
    progress.show();
    QApplication::processEvents();
    progress.grab().save(out + QStringLiteral("/copy-progress.png"));
    progress.hide();
}

// The three outreach windows: Make Money with a link made, Tell a Friend with its text generated,
// and About.
void renderOutreach(const QString &out)
{
    TfrmAffiliate affiliate;
    affiliate.show();
    affiliate.ledClickBankID->setText(QStringLiteral("jdoe"));
    affiliate.btnGetAffiliateLinkClick();
    QApplication::processEvents();
    affiliate.grab().save(out + QStringLiteral("/affiliate.png"));
    affiliate.hide();

    TfrmShare share;
    share.show();
    share.ledYourName->setText(QStringLiteral("Bob"));
    share.ledFriendsName->setText(QStringLiteral("Ann"));
    share.ledEmailAddress->setText(QStringLiteral("ann@example.com"));
    QApplication::processEvents();
    share.grab().save(out + QStringLiteral("/share.png"));
    share.hide();

    TfrmAbout about;
    about.show();
    QApplication::processEvents();
    about.grab().save(out + QStringLiteral("/about.png"));
    about.hide();
}

// Many accounts: four-digit counts in the totals bar.
QByteArray manyAccounts()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < 1578; ++i)
        xml +=
            QStringLiteral("  <Account><accountID>%1</accountID><siteName>Site %1</siteName><monthlyFee>%2</monthlyFee>"
                           "<addedDate>2025-01-01</addedDate><active>%3</active></Account>\n")
                .arg(i)
                .arg(i % 3 == 0 ? 9.5 : 0.0)
                .arg(i < 1190 ? 1 : 0)
                .toUtf8();
    return xml + "</Accounts>\n";
}

// Lets the event loop run until the window has every count.
void waitForCounts(TfrmVantory &window)
{
    while (window.isCounting())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
}

// The account list while the counts arrive (the first eight are in), then with a filter typed, then
// with its pop-up menu open over the current row.
void renderAccountList(const QString &dataDir, const QString &out)
{
    RegWriteString(SectionMain, SettingDataPath, dataDir);
    QSemaphore gate;
    std::atomic<int> counted{0};
    auto window = std::make_unique<TfrmVantory>(std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()),
                                                nullptr, [&](const QString &folder, qint32 limit) {
                                                    if (counted.load() >= 8)
                                                        gate.acquire();
                                                    const qint32 count = CountFiles(folder, limit);
                                                    ++counted;
                                                    return count;
                                                });
    window->resize(720, 480);
    window->show();
    window->dbgAccountsTitleClick(1); // sorted by Total Files: the counted rows come first
    QTableView *grid = window->dbgAccounts();
    const auto countsShown = [&] {
        int shown = 0;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            shown += grid->model()->index(r, 1).data().toString() != QStringLiteral("\u2026");
        return shown;
    };
    while (countsShown() < 8)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    grid->setFocus();
    QApplication::processEvents();
    window->grab().save(out + QStringLiteral("/account-list-counting.png"));
    gate.release(1000);
    waitForCounts(*window);

    auto *filter = window->findChild<QLineEdit *>(QStringLiteral("edtFilter"));
    filter->setFocus();
    filter->setText(QStringLiteral("re"));
    QApplication::processEvents();
    window->grab().save(out + QStringLiteral("/account-list-filtered.png"));
    filter->clear();

    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(3, 0));
    const QRect cell = grid->visualRect(grid->model()->index(3, 0));
    auto *popup = window->findChild<QMenu *>(QStringLiteral("pmAccounts"));
    popup->popup(grid->viewport()->mapToGlobal(cell.center()));
    QApplication::processEvents();
    QPixmap shot = window->grab();
    {
        // The menu is a window of its own: drawn into the window's picture where it opened.
        QPainter painter(&shot);
        painter.drawPixmap(window->mapFromGlobal(popup->pos()), popup->grab());
    }
    shot.save(out + QStringLiteral("/account-list-menu.png"));
    popup->hide();
    window.reset();
}

// The window at its smallest, with the state list of a Not Applicable row open.
void renderSmallest(const QString &dataDir, const QString &out, const QString &suffix)
{
    RegWriteString(SectionMain, SettingDataPath, dataDir);
    TfrmVantory window;
    window.resize(window.minimumSize());
    window.show();
    waitForCounts(window);
    window.grab().save(out + QStringLiteral("/smallest%1.png").arg(suffix));
    window.resize(window.minimumWidth(), 330);
    QApplication::processEvents();
    QTableView *grid = window.dbgAccounts();
    grid->setFocus();
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        if (grid->model()->index(row, 3).data(Qt::UserRole + 1).toInt() == 2) {
            grid->setCurrentIndex(grid->model()->index(row, 3));
            break;
        }
    }
    grid->viewport()->repaint();
    QApplication::processEvents();
    window.grab().save(out + QStringLiteral("/state-editor%1.png").arg(suffix));
    if (auto *box = window.findChild<QComboBox *>(QStringLiteral("cbGridActive"))) {
        box->showPopup();
        QApplication::processEvents();
        box->view()->window()->grab().save(out + QStringLiteral("/state-list%1.png").arg(suffix));
        box->hidePopup();
    }
}

void render(const QString &dataDir, const QString &png, const QString &extras = {}, const QString &saves = {})
{
    RegWriteString(SectionMain, SettingDataPath, dataDir);
    TfrmVantory window;
    window.resize(720, 480);
    window.show();
    waitForCounts(window);
    window.dbgAccounts()->setFocus();
    QApplication::processEvents();
    window.grab().save(png);
    if (!extras.isEmpty()) {
        renderEditor(window, -1, extras + QStringLiteral("/editor-new.png"));
        renderEditor(window, 1, extras + QStringLiteral("/editor-existing.png"));
        renderMenus(window, extras);
        renderSearch(window, extras, saves);
        renderPasswordDialogs(window, extras);
    }
}

// Encrypted accounts: the login of the lock, and the editor of an account whose stored password was
// damaged.
void renderVault(const QString &dataDir, const QString &out)
{
    RegWriteString(SectionMain, SettingDataPath, dataDir);
    const QString master = QStringLiteral("sample master");
    {
        TfrmVantory window;
        const Status on = window.book()->changeVault([&](VaultSession &v) {
            return v.turnOn(master, {Vault::MinOps, Vault::MinMemory});
        });
        if (!on)
            qWarning("encryption could not be turned on: %s", qPrintable(on.error));
        DataSet &table = *window.cdsVantory();
        table.setRecNo(2);
        table.edit();
        table.setValue(FieldPassword, table.value(FieldPassword).toString().chopped(8));
        table.post();
    }
    TfrmVantory window;
    window.unlockVault(master);
    window.resize(720, 480);
    renderEditor(window, 1, out + QStringLiteral("/editor-undecryptable.png"));

    TfrmLogin lock;
    lock.setCheck([](const QString &) { return false; }, QObject::tr("Vantory is locked. Enter the master password:"));
    lock.show();
    QApplication::processEvents();
    lock.edtPassword->setText(QStringLiteral("secret"));
    lock.grab().save(out + QStringLiteral("/lock.png"));
    lock.reject();

    TfrmSettings settings;
    settings.setAccountBook(window.book());
    settings.show();
    QApplication::processEvents();
    settings.ledOldPassword->setText(master);
    settings.grab().save(out + QStringLiteral("/master-password-encrypted.png"));
    settings.reject();
    RegWriteString(SectionMain, SettingPassword, QString());
}

} // namespace

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true); // never touch the user's own settings
    VantoryApplication app(argc, argv);
    // The same numbers, dates and money in the pictures whatever the machine's language.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Startup::initApplication();
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    // The sample lives in a folder of a fixed name, so the paths in the pictures are the same at every run.
    struct SampleFolder
    {
        QDir dir{QDir::temp().filePath(QStringLiteral("vantory-sample"))};
        SampleFolder() { dir.removeRecursively(); }
        ~SampleFolder() { dir.removeRecursively(); }
        QString filePath(const QString &name) const { return dir.filePath(name); }
    } tmp;
    writeFile(tmp.filePath(QStringLiteral("data/main.xml")), sampleAccounts(tmp.filePath(QStringLiteral("PLR"))));
    render(tmp.filePath(QStringLiteral("data")), out + QStringLiteral("/main-window.png"), out,
           tmp.filePath(QStringLiteral("PLR")));
    render(tmp.filePath(QStringLiteral("empty")), out + QStringLiteral("/main-window-empty.png"));
    renderAccountList(tmp.filePath(QStringLiteral("data")), out);
    writeFile(tmp.filePath(QStringLiteral("vault/main.xml")), sampleAccounts(tmp.filePath(QStringLiteral("PLR"))));
    renderVault(tmp.filePath(QStringLiteral("vault")), out);
    renderOutreach(out);
    renderPrompts(out, tmp.filePath(QStringLiteral("PLR")));
    renderSmallest(tmp.filePath(QStringLiteral("data")), out, QString());
    writeFile(tmp.filePath(QStringLiteral("many/main.xml")), manyAccounts());
    renderSmallest(tmp.filePath(QStringLiteral("many")), out, QStringLiteral("-many"));
    return 0;
}
