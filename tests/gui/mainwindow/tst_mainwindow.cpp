// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/mainwindow/AccountModel.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/TotalsBar.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/widgets/PlatformServices.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

QByteArray accountXml(int id, const QString &name, int active, double fee, const QString &path = {},
                      const QString &date = QStringLiteral("2024-03-05"))
{
    QString xml = QStringLiteral("<Account><accountID>%1</accountID><siteName>%2</siteName>").arg(id).arg(name);
    if (!path.isEmpty())
        xml += QStringLiteral("<savePath>%1</savePath>").arg(path);
    xml += QStringLiteral("<monthlyFee>%1</monthlyFee><addedDate>%2</addedDate><active>%3</active></Account>\n")
               .arg(fee)
               .arg(date)
               .arg(active);
    return xml.toUtf8();
}

QByteArray dataFile(const QList<QByteArray> &accounts)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (const QByteArray &a : accounts)
        xml += a;
    return xml + "</Accounts>\n";
}

QByteArray readAll(const QString &path)
{
    return TestSupport::readFile(path);
}

// A provider whose loads report what the next save will not keep, as a file from another version of
// the program makes the real one do.
class NotingProvider : public XmlDataProvider
{
public:
    explicit NotingProvider(QStringList notes)
        : XmlDataProvider(AccountTable::storedFieldDefs())
        , m_notes(std::move(notes))
    {
    }
    Status load(QList<RowValues> &rows) override
    {
        Status loaded = XmlDataProvider::load(rows);
        if (loaded)
            setLoadNotes(m_notes);
        return loaded;
    }

private:
    QStringList m_notes;
};

QStringList backupCopies(const QString &dataFolder)
{
    const QDir dir(QDir(dataFolder).filePath(QStringLiteral("Backups")));
    QStringList paths;
    for (const QString &name : dir.entryList(QDir::Files))
        paths << dir.filePath(name);
    return paths;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstStartWithoutDataFile();
    void unreadableDataFileIsReportedAndKept();
    void dataPathSeparator_data();
    void dataPathSeparator();
    void firstRunQuestionAskedOnce();
    void closingWithNothingPendingLeavesFileUntouched();
    void totalsTexts_data();
    void totalsTexts();
    void columnAndSectionWidths();
    void toolBarButtonsShareOneSize();
    void captionsWholeAtTheSmallestSize();
    void totalsSectionSnapsBack();
    void titleClicksSortAndToggle();
    void refreshKeepsCurrentAccount();
    void refreshWithDataFileRemovedEmptiesTheList();
    void refreshOfUnreadableDataFileEmptiesTheTotals();
    void backupThenRestoreBringsBackTheBackup();
    void restoreOfBrokenFileChangesNothing();
    void restoreOfFileWithoutAccountsAsksFirst_data();
    void restoreOfFileWithoutAccountsAsksFirst();
    void cancelledDialogsChangeNothing();
    void failedBackupIsReported();
    void backupCopiesOnlyARegularDataFile_data();
    void backupCopiesOnlyARegularDataFile();
    void failedWriteAtCloseKeepsTheWindowOpen();
    void fileCountTotals();
    void errorHandlerAddsAFullStop_data();
    void errorHandlerAddsAFullStop();
    void whatASaveWillDropIsToldAtLoadWithTheCopy();
    void unknownElementOfTheDataFileIsToldAtLoad();
    void copyThatCannotBeMadeIsToldAfterTheSave();
    void dataFolderIsCreatedUserOnly();
    void backupIsUserOnly_data();
    void backupIsUserOnly();
    void accountModelKeepsItsContract();

private:
    std::unique_ptr<TfrmVantory> makeWindow();
    QStringList siteNames(TfrmVantory &w);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    QString m_dataFile;
};

void TestMainWindow::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    m_services = std::make_unique<ScriptedServices>();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    m_dataFile = m_dir->filePath(DataFileName);
}

void TestMainWindow::cleanup()
{
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
}

std::unique_ptr<TfrmVantory> TestMainWindow::makeWindow()
{
    return std::make_unique<TfrmVantory>();
}

QStringList TestMainWindow::siteNames(TfrmVantory &w)
{
    QStringList names;
    for (int r = 0; r < w.accountModel()->rowCount(); ++r)
        names << w.accountModel()->index(r, AccountModel::ColumnSite).data().toString();
    return names;
}

void TestMainWindow::firstStartWithoutDataFile()
{
    auto w = makeWindow();
    QVERIFY(m_services->messages.isEmpty());
    QVERIFY(w->cdsVantory()->isActive());
    QCOMPARE(w->cdsVantory()->recordCount(), 0);
    QCOMPARE(w->hdrTotals()->sectionText(1), QStringLiteral("Totals: 0 Site(s)"));
    QVERIFY(!QFile::exists(m_dataFile));
    // The first save creates the data file and the mapping files.
    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert());
    QVERIFY(t->setValue(FieldSiteName, QStringLiteral("First")));
    QVERIFY(t->post());
    QVERIFY(QFile::exists(m_dataFile));
    QVERIFY(QFile::exists(m_dir->filePath(ReadMappingFileName)));
    QVERIFY(QFile::exists(m_dir->filePath(WriteMappingFileName)));
}

void TestMainWindow::unreadableDataFileIsReportedAndKept()
{
    const QByteArray broken = "<Accounts>\n<Account>\n";
    QVERIFY(TestSupport::writeFile(m_dataFile, broken));
    {
        auto w = makeWindow();
        QCOMPARE(m_services->messages.size(), 1);
        QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
        QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
        QVERIFY(m_services->messages[0].text.startsWith(QStringLiteral("XML Parse Error:\n\rReason: ")));
        QVERIFY(!w->cdsVantory()->isActive());
        for (int s = 0; s < TotalsBar::SectionCount; ++s)
            QCOMPARE(w->hdrTotals()->sectionText(s), QString()); // no totals of a table that is not open
        w->show();
        QVERIFY(w->close()); // a table that never opened does not keep the program alive
    }
    QCOMPARE(readAll(m_dataFile), broken);
}

void TestMainWindow::dataPathSeparator_data()
{
    QTest::addColumn<bool>("trailing");
    QTest::newRow("without separator") << false;
    QTest::newRow("with separator") << true;
}

void TestMainWindow::dataPathSeparator()
{
    QFETCH(bool, trailing);
    RegWriteString(SectionMain, SettingDataPath, m_dir->path() + (trailing ? QStringLiteral("/") : QString()));
    auto w = makeWindow();
    QCOMPARE(w->GetDataPath(), m_dir->path() + u'/');
    QCOMPARE(w->xtrVantory()->fileName(), m_dataFile);
}

void TestMainWindow::firstRunQuestionAskedOnce()
{
    TestSupport::clearSettings();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    auto w = makeWindow();
    m_services->queueAnswer(QMessageBox::No);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTRY_COMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("Do you want to password protect your account settings?"));
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Question);
    QCOMPARE(RegReadInteger(SectionMain, SettingNoPromptSetPassword, 0), 1);
    w->hide();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto again = makeWindow();
    again->show();
    QVERIFY(QTest::qWaitForWindowActive(again.get()));
    QCOMPARE(m_services->messages.size(), 1);
}

void TestMainWindow::closingWithNothingPendingLeavesFileUntouched()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0)})));
    const QDateTime before = QFileInfo(m_dataFile).lastModified();
    const QByteArray contents = readAll(m_dataFile);
    auto w = makeWindow();
    w->show();
    QVERIFY(w->close());
    QCOMPARE(readAll(m_dataFile), contents);
    QCOMPARE(QFileInfo(m_dataFile).lastModified(), before);
}

void TestMainWindow::totalsTexts_data()
{
    QTest::addColumn<QList<QByteArray>>("accounts");
    QTest::addColumn<QStringList>("texts");
    QTemporaryDir *unused = nullptr;
    Q_UNUSED(unused);
    QTest::newRow("empty") << QList<QByteArray>{}
                           << QStringList{u"Totals: 0 Site(s)"_qs, u"(0)  "_qs, u"NA"_qs, u"0 Active/0 Inactive"_qs,
                                          u"$0.00"_qs};
    QTest::newRow("mixed states")
        << QList<QByteArray>{accountXml(0, QStringLiteral("A"), 1, 9.95), accountXml(1, QStringLiteral("B"), 0, 50),
                             accountXml(2, QStringLiteral("C"), 2, 70), accountXml(3, QStringLiteral("D"), 1, 10.49)}
        << QStringList{u"Totals: 4 Site(s)"_qs, u"(0)  "_qs, u"NA"_qs, u"2 Active/1 Inactive"_qs, u"$20.00"_qs};
}

void TestMainWindow::totalsTexts()
{
    QFETCH(QList<QByteArray>, accounts);
    QFETCH(QStringList, texts);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile(accounts)));
    auto w = makeWindow();
    QCOMPARE(w->hdrTotals()->sectionText(0), QString());
    for (int s = 1; s <= 5; ++s)
        QCOMPARE(w->hdrTotals()->sectionText(s), texts[s - 1]);
}

void TestMainWindow::columnAndSectionWidths()
{
    auto w = makeWindow();
    w->show();
    w->dbgAccounts()->resize(623, w->dbgAccounts()->height());
    w->LayoutColumns();
    const QList<int> columns = {207, 75, 100, 125, 100};
    const QList<int> sections = {12, 208, 76, 101, 126, 101};
    for (int c = 0; c < 5; ++c)
        QCOMPARE(w->dbgAccounts()->columnWidth(c), columns[c]);
    for (int s = 0; s < 6; ++s)
        QCOMPARE(w->hdrTotals()->sectionSize(s), sections[s]);
}

void TestMainWindow::toolBarButtonsShareOneSize()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *bar = w->findChild<QToolBar *>(QStringLiteral("tbarMain"));
    QList<QWidget *> buttons;
    for (QAction *action : bar->actions()) {
        QWidget *widget = bar->widgetForAction(action);
        if (widget && !action->isSeparator() && widget->objectName() != QStringLiteral("imgLogo"))
            buttons << widget;
    }
    QCOMPARE(buttons.size(), 6);
    const QSize size = buttons.first()->size();
    QVERIFY(size.width() >= 67 && size.height() >= 36);
    for (QWidget *button : buttons) {
        QCOMPARE(button->size(), size);
        QVERIFY(button->sizeHint().width() <= size.width()); // the widest caption sets the width
    }
}

void TestMainWindow::captionsWholeAtTheSmallestSize()
{
    // Four-digit counts in the totals bar.
    QList<QByteArray> accounts;
    for (int i = 0; i < 1578; ++i)
        accounts << accountXml(i, QStringLiteral("S%1").arg(i), i < 1190 ? 1 : 0, 1000.25);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile(accounts)));
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->resize(w->minimumSize());
    QTRY_COMPARE(w->size(), w->minimumSize());
    QVERIFY(w->minimumWidth() >= 589);

    // The tool bar's buttons and the logo, whole.
    auto *bar = w->findChild<QToolBar *>(QStringLiteral("tbarMain"));
    for (QAction *action : bar->actions()) {
        QWidget *widget = bar->widgetForAction(action);
        QVERIFY(widget);
        QVERIFY2(widget->isVisible() && bar->rect().contains(widget->geometry()),
                 qPrintable(widget->objectName() + u' ' + action->text()));
    }
    auto *logo = w->findChild<QLabel *>(QStringLiteral("imgLogo"));
    QVERIFY(logo->width() >= logo->pixmap().deviceIndependentSize().width());

    // The column titles and the totals, each in the font it is drawn in.
    const auto fits = [](QHeaderView *header, int section, const QString &text, const QFont &font) {
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        return QFontMetrics(font).horizontalAdvance(text) <= header->sectionSize(section) - 2 * margin;
    };
    QHeaderView *titles = w->dbgAccounts()->horizontalHeader();
    for (int c = 0; c < AccountModel::ColumnCount; ++c) {
        const QString title = w->accountModel()->headerData(c, Qt::Horizontal).toString();
        QVERIFY2(fits(titles, c, title, titles->font()), qPrintable(title));
    }
    TotalsBar *totals = w->hdrTotals();
    const auto drawnIn = [totals](int section) { // as a header draws its sections
        const QVariant font = totals->model()->headerData(section, Qt::Horizontal, Qt::FontRole);
        return font.canConvert<QFont>() ? font.value<QFont>() : totals->font();
    };
    QCOMPARE(totals->sectionText(4), QStringLiteral("1190 Active/388 Inactive"));
    for (int s = 1; s < TotalsBar::SectionCount; ++s)
        QVERIFY2(fits(totals, s, totals->sectionText(s), drawnIn(s)), qPrintable(totals->sectionText(s)));
    // Only what does not fit is drawn smaller, and not past reading.
    QCOMPARE(drawnIn(1), totals->font());
    QVERIFY(drawnIn(4).pointSizeF() >= totals->font().pointSizeF() / 2);
}

void TestMainWindow::totalsSectionSnapsBack()
{
    auto w = makeWindow();
    w->show();
    w->dbgAccounts()->resize(623, w->dbgAccounts()->height());
    w->LayoutColumns();
    // A user's drag arrives as a section resize; it is undone at once.
    w->hdrTotals()->resizeSection(0, 40);
    QCOMPARE(w->hdrTotals()->sectionSize(0), 11);
    w->hdrTotals()->resizeSection(2, 300);
    QCOMPARE(w->hdrTotals()->sectionSize(2), 76);
    // Releasing a button over the title row restores the computed column widths.
    w->dbgAccounts()->setColumnWidth(0, 50);
    QTest::mouseRelease(w->dbgAccounts()->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(w->dbgAccounts()->columnWidth(0), w->dbgAccounts()->width() - 400 - 16);
}

void TestMainWindow::titleClicksSortAndToggle()
{
    QVERIFY(TestSupport::writeFile(
        m_dataFile, dataFile({accountXml(0, QStringLiteral("beta"), 1, 5, m_dir->filePath(QStringLiteral("b"))),
                              accountXml(1, QStringLiteral("Alpha"), 0, 1), accountXml(2, QStringLiteral("gamma"), 2, 3)})));
    QDir(m_dir->path()).mkpath(QStringLiteral("b"));
    TestSupport::writeFile(m_dir->filePath(QStringLiteral("b/f1")), "x");
    auto w = makeWindow();
    QTRY_VERIFY(!w->isCounting());
    QCOMPARE(siteNames(*w), (QStringList{u"Alpha"_qs, u"beta"_qs, u"gamma"_qs}));
    QHeaderView *titles = w->dbgAccounts()->horizontalHeader();
    auto click = [&](int column) {
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          QPoint(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2, titles->height() / 2));
    };
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    click(0); // the first click on Site after start sorts descending
    QCOMPARE(siteNames(*w), (QStringList{u"gamma"_qs, u"beta"_qs, u"Alpha"_qs}));
    QVERIFY(w->accountModel()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    click(0);
    QCOMPARE(siteNames(*w), (QStringList{u"Alpha"_qs, u"beta"_qs, u"gamma"_qs}));
    click(AccountModel::ColumnMonthlyFee);
    QCOMPARE(siteNames(*w), (QStringList{u"Alpha"_qs, u"gamma"_qs, u"beta"_qs}));
    QVERIFY(!w->accountModel()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    click(AccountModel::ColumnTotalFiles);
    click(0);
    click(AccountModel::ColumnTotalFiles); // ascending again after another column
    QCOMPARE(siteNames(*w).last(), QStringLiteral("beta"));
    click(AccountModel::ColumnActive);
    QCOMPARE(siteNames(*w), (QStringList{u"Alpha"_qs, u"beta"_qs, u"gamma"_qs}));
}

void TestMainWindow::refreshKeepsCurrentAccount()
{
    const QString folder = m_dir->filePath(QStringLiteral("saves"));
    QDir().mkpath(folder);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0),
                                                          accountXml(1, QStringLiteral("B"), 1, 0, folder),
                                                          accountXml(2, QStringLiteral("C"), 1, 0)})));
    auto w = makeWindow();
    QVERIFY(w->cdsVantory()->setRecNo(2));
    QTRY_COMPARE(w->accountModel()->index(1, AccountModel::ColumnTotalFiles).data().toString(),
                 QStringLiteral("(0)  "));
    for (int i = 0; i < 3; ++i)
        TestSupport::writeFile(folder + QStringLiteral("/f%1").arg(i), "x");
    w->findChild<QAction *>(QStringLiteral("aRefresh"))->trigger();
    QCOMPARE(w->cdsVantory()->value(FieldSiteName).toString(), QStringLiteral("B"));
    QTRY_COMPARE(w->accountModel()->index(1, AccountModel::ColumnTotalFiles).data().toString(),
                 QStringLiteral("(3)  "));
    QCOMPARE(w->hdrTotals()->sectionText(2), QStringLiteral("(3)  "));
}

void TestMainWindow::refreshWithDataFileRemovedEmptiesTheList()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0)})));
    auto w = makeWindow();
    QVERIFY(QFile::remove(m_dataFile));
    w->findChild<QAction *>(QStringLiteral("aRefresh"))->trigger();
    QCOMPARE(w->accountModel()->rowCount(), 0);
    QVERIFY(m_services->messages.isEmpty());
}

void TestMainWindow::refreshOfUnreadableDataFileEmptiesTheTotals()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 5)})));
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(w->hdrTotals()->sectionText(1), QStringLiteral("Totals: 1 Site(s)"));
    QVERIFY(TestSupport::writeFile(m_dataFile, "<Accounts>\n<Account>\n"));
    w->dbgAccounts()->setFocus();
    QTest::keyClick(w->dbgAccounts(), Qt::Key_F5);
    QVERIFY(!w->cdsVantory()->isActive());
    QCOMPARE(w->accountModel()->rowCount(), 0);
    for (int s = 0; s < TotalsBar::SectionCount; ++s)
        QCOMPARE(w->hdrTotals()->sectionText(s), QString());
    QVERIFY(m_services->messages.isEmpty()); // a refresh fails silently
}

void TestMainWindow::backupThenRestoreBringsBackTheBackup()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)})));
    auto w = makeWindow();
    const QString backup = m_dir->filePath(QStringLiteral("backup.xml"));
    TestSupport::writeFile(backup, "an older backup to be replaced");
    m_services->queuePath(backup);
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    QCOMPARE(m_services->pickers.last().title, QStringLiteral("Select Backup Destination"));
    QCOMPARE(m_services->pickers.last().filter, QStringLiteral("Vantory Data (*.xml)|*.xml"));
    QCOMPARE(readAll(backup), readAll(m_dataFile));

    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("Added later")) && t->post());
    QCOMPARE(siteNames(*w).size(), 2);

    m_services->queuePath(backup);
    w->findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QCOMPARE(m_services->pickers.last().title, QStringLiteral("Select Backup File"));
    QCOMPARE(siteNames(*w), QStringList{u"Kept"_qs});
    QCOMPARE(readAll(m_dataFile), readAll(backup));
    QCOMPARE(w->cdsVantory()->indexName(), QStringLiteral("siteName__IdxA"));
    QVERIFY(m_services->messages.isEmpty());
    // What the restore replaced is kept in the Backups folder.
    const QDir kept(QFileInfo(m_dataFile).dir().filePath(QStringLiteral("Backups")));
    const QStringList copies = kept.entryList(QDir::Files);
    QVERIFY(std::any_of(copies.begin(), copies.end(),
                        [&](const QString &name) { return readAll(kept.filePath(name)).contains("Added later"); }));
}

void TestMainWindow::restoreOfBrokenFileChangesNothing()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)})));
    const QByteArray before = readAll(m_dataFile);
    auto w = makeWindow();
    const QString broken = m_dir->filePath(QStringLiteral("broken.xml"));
    TestSupport::writeFile(broken, "<Accounts><Account>");
    m_services->queuePath(broken);
    w->findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QCOMPARE(m_services->messages.size(), 1);
    QVERIFY(m_services->messages[0].text.startsWith(QStringLiteral("XML Parse Error:")));
    QCOMPARE(readAll(m_dataFile), before);
    QCOMPARE(siteNames(*w), QStringList{u"Kept"_qs});
}

void TestMainWindow::restoreOfFileWithoutAccountsAsksFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("No keeps the accounts") << QMessageBox::No;
    QTest::newRow("Yes replaces them") << QMessageBox::Yes;
}

// A data file whose accounts element holds only elements of another kind would replace every account
// with none: the user is asked before, and No (the default) keeps them.
void TestMainWindow::restoreOfFileWithoutAccountsAsksFirst()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0),
                                                        accountXml(1, QStringLiteral("B"), 1, 0)})));
    const QByteArray before = readAll(m_dataFile);
    auto w = makeWindow();
    const QString foreign = m_dir->filePath(QStringLiteral("foreign.xml"));
    const QByteArray empty = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n<Site><siteName>A</siteName></Site>\n"
                             "</Accounts>\n";
    QVERIFY(TestSupport::writeFile(foreign, empty));
    m_services->queuePath(foreign);
    m_services->queueAnswer(answer);
    w->findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QVERIFY(!m_services->messages.isEmpty());
    const ScriptedServices::MessageCall &question = m_services->messages.first();
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY2(question.text.contains(foreign), qPrintable(question.text));
    QVERIFY2(question.text.contains(u"2 account"), qPrintable(question.text));
    if (answer == QMessageBox::No) {
        QCOMPARE(m_services->messages.size(), 1);
        QCOMPARE(readAll(m_dataFile), before);
        QCOMPARE(siteNames(*w), (QStringList{u"A"_qs, u"B"_qs}));
        QCOMPARE(backupCopies(QFileInfo(m_dataFile).path()), QStringList());
    } else {
        QCOMPARE(readAll(m_dataFile), empty);
        QCOMPARE(siteNames(*w), QStringList());
    }
}

void TestMainWindow::cancelledDialogsChangeNothing()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)})));
    const QByteArray before = readAll(m_dataFile);
    auto w = makeWindow();
    m_services->queuePath(QString());
    m_services->queuePath(QString());
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    w->findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QCOMPARE(readAll(m_dataFile), before);
    QCOMPARE(siteNames(*w), QStringList{u"Kept"_qs});
    QVERIFY(m_services->messages.isEmpty());
}

void TestMainWindow::failedBackupIsReported()
{
    auto w = makeWindow();
    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("A")) && t->post());
    const QString target = m_dir->filePath(QStringLiteral("no/such/folder/backup.xml"));
    m_services->queuePath(target);
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QVERIFY(m_services->messages[0].text.contains(target));
}

void TestMainWindow::backupCopiesOnlyARegularDataFile_data()
{
    QTest::addColumn<QString>("kind");
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << u"named pipe"_qs;
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_qs;
#endif
}

// A data file swapped for a pipe or a device after the start is refused with a message; the window
// neither waits for a writer nor reads without end.
void TestMainWindow::backupCopiesOnlyARegularDataFile()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, kind);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0)})));
    auto w = makeWindow();
    QVERIFY(QFile::remove(m_dataFile));
    if (kind == u"named pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(m_dataFile).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_dataFile));
    const QString target = m_dir->filePath(QStringLiteral("backup.xml"));
    m_services->queuePath(target);
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QVERIFY2(m_services->messages[0].text.contains(u"not a regular file"), qPrintable(m_services->messages[0].text));
    QVERIFY(!QFile::exists(target));
#endif
}

void TestMainWindow::failedWriteAtCloseKeepsTheWindowOpen()
{
    auto w = makeWindow();
    w->show();
    DataSet *t = w->cdsVantory();
    // A folder where the data file should be makes every write fail.
    QVERIFY(QDir(m_dir->path()).mkdir(DataFileName));
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("Pending")) && t->post());
    QCOMPARE(m_services->messages.size(), 1); // the write after the post failed and said so
    QVERIFY(t->hasPendingChanges());
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QCOMPARE(m_services->messages.size(), 2);
    QVERIFY(m_services->messages[1].text.contains(DataFileName));
    // Once the write can succeed, closing writes the pending change and ends.
    QVERIFY(QDir(m_dir->path()).rmdir(DataFileName));
    QVERIFY(w->close());
    QVERIFY(readAll(m_dataFile).contains("<siteName>Pending</siteName>"));
}

void TestMainWindow::fileCountTotals()
{
    auto fill = [this](const QString &name, int files) {
        const QString folder = m_dir->filePath(name);
        QDir().mkpath(folder);
        for (int i = 0; i < files; ++i)
            TestSupport::writeFile(folder + QStringLiteral("/f%1").arg(i), QByteArray());
        return folder;
    };
    const QString six = fill(QStringLiteral("six"), 600), seven = fill(QStringLiteral("seven"), 700);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0, six),
                                                          accountXml(1, QStringLiteral("B"), 0, 0, seven)})));
    {
        auto w = makeWindow();
        QTRY_COMPARE(w->hdrTotals()->sectionText(2), QStringLiteral("(1,300)  "));
        QCOMPARE(w->accountModel()->index(1, AccountModel::ColumnTotalFiles).data().toString(), QStringLiteral("(700)  "));
    }
    const QString big = fill(QStringLiteral("big"), 1001);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("A"), 1, 0, six),
                                                          accountXml(1, QStringLiteral("B"), 0, 0, big)})));
    auto w = makeWindow();
    QTRY_COMPARE(w->hdrTotals()->sectionText(2), QStringLiteral("> 1,000  "));
    QCOMPARE(w->accountModel()->index(1, AccountModel::ColumnTotalFiles).data().toString(), QStringLiteral("> 1,000  "));
}

void TestMainWindow::errorHandlerAddsAFullStop_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << u"Disk full"_qs << u"Disk full."_qs;
    QTest::newRow("full stop") << u"Disk full."_qs << u"Disk full."_qs;
    QTest::newRow("question mark sorts after") << u"Why?"_qs << u"Why?."_qs;
    QTest::newRow("closing parenthesis") << u"(x)"_qs << u"(x)"_qs;
    QTest::newRow("digit") << u"Error 5"_qs << u"Error 5."_qs;
    QTest::newRow("empty") << QString() << QString();
}

void TestMainWindow::errorHandlerAddsAFullStop()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    Platform::showError(text);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, shown);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
}

// The real reader and the window together: a file written by another version, with an element this
// one does not keep, is told about once, with the copy that keeps it.
void TestMainWindow::unknownElementOfTheDataFileIsToldAtLoad()
{
    QByteArray original = dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)});
    original.replace("</Account>", "<notes>only in this file</notes></Account>");
    QVERIFY(TestSupport::writeFile(m_dataFile, original));
    auto w = makeWindow();
    QCOMPARE(siteNames(*w), QStringList{u"Kept"_qs});
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QVERIFY2(m_services->messages[0].text.contains(u"notes"_qs), qPrintable(m_services->messages[0].text));
    const QStringList copies = backupCopies(m_dir->path());
    QCOMPARE(copies.size(), 1);
    QVERIFY(m_services->messages[0].text.contains(copies[0]));
    QCOMPARE(readAll(copies[0]), original);
    QTest::keyClick(w->dbgAccounts(), Qt::Key_F5); // the same file again: nothing new to tell
    QCOMPARE(m_services->messages.size(), 1);
}

void TestMainWindow::whatASaveWillDropIsToldAtLoadWithTheCopy()
{
    const QByteArray original = dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)});
    QVERIFY(TestSupport::writeFile(m_dataFile, original));
    const QStringList notes = {QStringLiteral("The element notes of the account Kept is not kept."),
                               QStringLiteral("The second siteName of the account Kept is not kept.")};
    auto w = std::make_unique<TfrmVantory>(std::make_unique<NotingProvider>(notes));
    QCOMPARE(m_services->messages.size(), 1);
    const ScriptedServices::MessageCall told = m_services->messages[0];
    QCOMPARE(told.icon, QMessageBox::Warning);
    QCOMPARE(told.title, QStringLiteral("Vantory"));
    QVERIFY2(told.text.contains(m_dataFile), qPrintable(told.text));
    for (const QString &note : notes)
        QVERIFY2(told.text.contains(note), qPrintable(told.text));
    // The copy is there already, and the message names it.
    const QStringList copies = backupCopies(m_dir->path());
    QCOMPARE(copies.size(), 1);
    QVERIFY2(told.text.contains(copies[0]), qPrintable(told.text));
    QCOMPARE(readAll(copies[0]), original);

    // Reading the same file again tells nothing new.
    w->findChild<QAction *>(QStringLiteral("aRefresh"))->trigger();
    QCOMPARE(m_services->messages.size(), 1);
    // That copy is this run's: the first save makes no other.
    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("New")) && t->post());
    QVERIFY(readAll(m_dataFile).contains("<siteName>New</siteName>"));
    QCOMPARE(backupCopies(m_dir->path()), copies);
    QCOMPARE(m_services->messages.size(), 1);
}

void TestMainWindow::copyThatCannotBeMadeIsToldAfterTheSave()
{
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)})));
    const QString backups = m_dir->filePath(QStringLiteral("Backups"));
    QVERIFY(TestSupport::writeFile(backups, "a file where the folder should be"));
    auto w = makeWindow();
    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("New")) && t->post());
    QVERIFY(readAll(m_dataFile).contains("<siteName>New</siteName>"));
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QVERIFY2(m_services->messages[0].text.contains(backups), qPrintable(m_services->messages[0].text));
    QVERIFY(t->edit() && t->setValue(FieldSiteName, QStringLiteral("Newer")) && t->post());
    QCOMPARE(m_services->messages.size(), 1);
}

void TestMainWindow::dataFolderIsCreatedUserOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    const mode_t oldMask = ::umask(022);
    const QString parent = m_dir->filePath(QStringLiteral("new"));
    RegWriteString(SectionMain, SettingDataPath, parent + QStringLiteral("/Data"));
    auto w = makeWindow();
    ::umask(oldMask);
    QCOMPARE(TestSupport::fileMode(parent), QStringLiteral("700"));
    QCOMPARE(TestSupport::fileMode(parent + QStringLiteral("/Data")), QStringLiteral("700"));
    // A folder that was there keeps its mode.
    QVERIFY(::chmod(QFile::encodeName(parent).constData(), 0755) == 0);
    auto again = makeWindow();
    QCOMPARE(TestSupport::fileMode(parent), QStringLiteral("755"));
#endif
}

void TestMainWindow::backupIsUserOnly_data()
{
    QTest::addColumn<int>("modeBefore"); // of the chosen file; -1: a new one
    QTest::newRow("new file") << -1;
    QTest::newRow("replaced file readable by all") << 0644;
}

void TestMainWindow::backupIsUserOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    QFETCH(int, modeBefore);
    const mode_t oldMask = ::umask(022);
    QVERIFY(TestSupport::writeFile(m_dataFile, dataFile({accountXml(0, QStringLiteral("Kept"), 1, 0)})));
    const QString target = m_dir->filePath(QStringLiteral("backup.xml"));
    if (modeBefore >= 0) {
        QVERIFY(TestSupport::writeFile(target, "an older backup"));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), mode_t(modeBefore)) == 0);
    }
    auto w = makeWindow();
    m_services->queuePath(target);
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    ::umask(oldMask);
    QCOMPARE(readAll(target), readAll(m_dataFile));
    QCOMPARE(TestSupport::fileMode(target), QStringLiteral("600"));
#endif
}

void TestMainWindow::accountModelKeepsItsContract()
{
    QVERIFY(TestSupport::writeFile(
        m_dataFile, dataFile({accountXml(0, QStringLiteral("B"), 1, 0), accountXml(1, QStringLiteral("D"), 0, 5)})));
    auto w = makeWindow();
    // Checks every signal the model sends against what it reports, through every kind of change.
    QAbstractItemModelTester tester(w->accountModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    DataSet *t = w->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("C")) && t->post());
    QCOMPARE(siteNames(*w), (QStringList{u"B"_qs, u"C"_qs, u"D"_qs}));
    // An edit that moves the row to the other end of the order.
    QVERIFY(t->setRecNo(1) && t->edit() && t->setValue(FieldSiteName, QStringLiteral("E")) && t->post());
    QCOMPARE(siteNames(*w), (QStringList{u"C"_qs, u"D"_qs, u"E"_qs}));
    QVERIFY(t->setRecNo(2) && t->deleteRecord());
    QCOMPARE(siteNames(*w), (QStringList{u"C"_qs, u"E"_qs}));
    w->findChild<QAction *>(QStringLiteral("aRefresh"))->trigger();
    QCOMPARE(siteNames(*w), (QStringList{u"C"_qs, u"E"_qs}));
    const QString backup = m_dir->filePath(QStringLiteral("backup.xml"));
    m_services->queuePath(backup);
    w->findChild<QAction *>(QStringLiteral("aBackup"))->trigger();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("A")) && t->post());
    m_services->queuePath(backup);
    w->findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QCOMPARE(siteNames(*w), (QStringList{u"C"_qs, u"E"_qs}));
    QVERIFY(m_services->messages.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
