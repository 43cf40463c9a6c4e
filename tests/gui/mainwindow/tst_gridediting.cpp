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
#include "gui/mainwindow/GridEditors.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/TotalsBar.h"
#include "gui/mainwindow/VantoryConsts.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDevice>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

namespace {
// The account data file, counting its writes.
class CountingProvider : public XmlDataProvider
{
public:
    CountingProvider() : XmlDataProvider(AccountTable::storedFieldDefs()) {}
    int writes = 0;

protected:
    bool writeContents(QFileDevice &file, const QByteArray &data) override
    {
        ++writes;
        return XmlDataProvider::writeContents(file, data);
    }
};
} // namespace

class TestGridEditing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void stateEditorCoversTheFocusedCell();
    void dateEditorSkipsTheRememberedRow();
    void leavingTheColumnHidesTheEditors();
    void stateChangeIsSavedAndTotalsFollow();
    void dateChangeIsSavedAtOnce();
    void typedKeyGoesToTheEditorEvenWhenHidden();
    void insertAndCtrlDeleteAreNotTheGridsOwn();
    void enterInAnEditorReturnsFocusToTheGrid();
    void paintingNeverCountsFiles();
    void editorStaysOverTheCurrentRow_data();
    void stateCaptionsShowWhole();
    void editorStaysOverTheCurrentRow();
    void escapeAndUndoPutBackTheCellsValue_data();
    void escapeAndUndoPutBackTheCellsValue();

private:
    // A window over the accounts Acc00, Acc01, ... (ids 0, 1, ...; even ones inactive, odd ones
    // active), with room for a few rows only.
    void openManyAccounts(int count, const QList<int> &extraIds = {});
    QHash<QString, QPair<QDate, int>> datesAndStates();
    void focusCell(int row, int column);
    // Opens the picker's calendar and closes it with the key.
    void closeCalendar(Qt::Key key);
    QComboBox *combo() { return m_window->findChild<QComboBox *>(QStringLiteral("cbGridActive")); }
    QDateEdit *picker() { return m_window->findChild<QDateEdit *>(QStringLiteral("dtpGridDate")); }
    QByteArray dataFile() { return TestSupport::readFile(m_dir->filePath(DataFileName)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<TfrmVantory> m_window;
};

void TestGridEditing::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    m_services = std::make_unique<ScriptedServices>();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    QVERIFY(TestSupport::writeFile(
        m_dir->filePath(DataFileName),
        "<Accounts>"
        "<Account><accountID>0</accountID><siteName>Alpha</siteName><monthlyFee>10</monthlyFee>"
        "<addedDate>2024-01-02</addedDate><active>1</active></Account>"
        "<Account><accountID>1</accountID><siteName>Beta</siteName><monthlyFee>20</monthlyFee>"
        "<addedDate>2024-05-06</addedDate><active>0</active></Account>"
        "<Account><accountID>2</accountID><siteName>Gamma</siteName><monthlyFee>30</monthlyFee>"
        "<addedDate>2024-07-08</addedDate><active>1</active></Account>"
        "</Accounts>"));
    m_window = std::make_unique<TfrmVantory>();
    m_window->resize(700, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestGridEditing::cleanup()
{
    m_window.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
}

void TestGridEditing::focusCell(int row, int column)
{
    QTableView *grid = m_window->dbgAccounts();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
}

void TestGridEditing::openManyAccounts(int count, const QList<int> &extraIds)
{
    QByteArray xml = "<Accounts>";
    auto add = [&xml](int id, const QString &name) {
        xml += QStringLiteral("<Account><accountID>%1</accountID><siteName>%2</siteName>"
                              "<addedDate>2024-02-%3</addedDate><active>%4</active></Account>")
                   .arg(id)
                   .arg(name)
                   .arg(1 + id % 28, 2, 10, QLatin1Char('0'))
                   .arg(id % 2)
                   .toUtf8();
    };
    for (int i = 0; i < count; ++i)
        add(i, QStringLiteral("Acc%1").arg(i, 2, 10, QLatin1Char('0')));
    // Extra accounts sort just after Acc01.
    for (int id : extraIds)
        add(id, QStringLiteral("Acc01x%1").arg(id));
    QVERIFY(TestSupport::writeFile(m_dir->filePath(DataFileName), xml + "</Accounts>"));
    if (!extraIds.isEmpty())
        return; // for a refresh of the open window
    m_window = std::make_unique<TfrmVantory>();
    m_window->resize(700, 300);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

QHash<QString, QPair<QDate, int>> TestGridEditing::datesAndStates()
{
    QHash<QString, QPair<QDate, int>> result;
    DataSet *t = m_window->cdsVantory();
    for (int r = 1; r <= t->recordCount(); ++r)
        result.insert(
            t->valueAt(r, t->fieldIndex(FieldSiteName)).toString(),
            {t->valueAt(r, t->fieldIndex(FieldAddedDate)).toDate(), t->valueAt(r, t->fieldIndex(FieldActive)).toInt()});
    return result;
}

void TestGridEditing::closeCalendar(Qt::Key key)
{
    // A click on the picker's drop-down arrow, at its right end.
    QTest::mouseClick(picker(), Qt::LeftButton, {}, QPoint(picker()->width() - 6, picker()->height() / 2));
    QWidget *popup = QApplication::activePopupWidget();
    QVERIFY(popup);
    QVERIFY(popup->isAncestorOf(picker()->calendarWidget()));
    QTest::keyClick(popup->windowHandle(), key);
    QTRY_VERIFY(!popup->isVisible());
    // The offscreen platform does not hand the activation back after a pop-up.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_VERIFY(m_window->dbgAccounts()->hasFocus()); // closing the calendar hands the focus back
}

void TestGridEditing::stateEditorCoversTheFocusedCell()
{
    focusCell(1, AccountModel::ColumnActive);
    QTableView *grid = m_window->dbgAccounts();
    QTRY_VERIFY(combo()->isVisible());
    const QRect cell = grid->visualRect(grid->currentIndex());
    const QRect rect = m_window->EditorRectForCell(cell);
    QCOMPARE(combo()->geometry().topLeft(), rect.topLeft());
    QCOMPARE(combo()->height(), rect.height());
    QCOMPARE(combo()->currentIndex(), 0); // Beta is inactive
    QCOMPARE(combo()->count(), 3);
    QCOMPARE(combo()->itemText(2), QStringLiteral("Not Applicable"));
    // The editor is outside the cell by 2 px at the left and top, 1 px at the right and bottom;
    // wider only where its longest caption needs it.
    const QPoint cellTopLeft = grid->viewport()->mapTo(m_window.get(), cell.topLeft());
    QCOMPARE(combo()->geometry().topLeft(), cellTopLeft - QPoint(2, 2));
    QCOMPARE(combo()->height(), cell.height() + 3);
    QCOMPARE(combo()->width(), std::max(cell.width() + 3, combo()->sizeHint().width()));
}

void TestGridEditing::dateEditorSkipsTheRememberedRow()
{
    focusCell(1, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    closeCalendar(Qt::Key_Escape);
    QVERIFY(!picker()->isVisible());
    QCOMPARE(m_window->gridEditors()->FDateEditRow(), 2);
    // Another row brings the picker back; the row whose calendar was closed shows its date as text.
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Up);
    QVERIFY(picker()->isVisible());
    QCOMPARE(picker()->date(), QDate(2024, 1, 2));
    QCOMPARE(picker()->geometry(),
             m_window->EditorRectForCell(m_window->dbgAccounts()->visualRect(m_window->dbgAccounts()->currentIndex())));
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Down);
    QVERIFY(!picker()->isVisible());
}

void TestGridEditing::leavingTheColumnHidesTheEditors()
{
    focusCell(2, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    closeCalendar(Qt::Key_Escape);
    QCOMPARE(m_window->gridEditors()->FDateEditRow(), 3);
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Up);
    QVERIFY(picker()->isVisible());
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Right);
    QVERIFY(!picker()->isVisible());
    QCOMPARE(m_window->gridEditors()->FDateEditRow(), -1);
    QVERIFY(combo()->isVisible());
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Right);
    QVERIFY(!combo()->isVisible());
}

void TestGridEditing::stateChangeIsSavedAndTotalsFollow()
{
    QCOMPARE(m_window->hdrTotals()->sectionText(4), QStringLiteral("2 Active/1 Inactive"));
    QCOMPARE(m_window->hdrTotals()->sectionText(5), QStringLiteral("$40.00"));
    focusCell(0, AccountModel::ColumnActive);
    QTRY_VERIFY(combo()->isVisible());
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down); // Active -> Not Applicable, as a user picks it
    QCOMPARE(m_window->cdsVantory()->value(FieldActive).toInt(), 2);
    QCOMPARE(m_window->cdsVantory()->state(), DataSet::Browse);
    QCOMPARE(m_window->hdrTotals()->sectionText(4), QStringLiteral("1 Active/1 Inactive"));
    QCOMPARE(m_window->hdrTotals()->sectionText(5), QStringLiteral("$30.00"));
    QVERIFY(dataFile().contains("<siteName>Alpha</siteName>\n    <monthlyFee>10</monthlyFee>\n    "
                                "<addedDate>2024-01-02</addedDate>\n    <active>2</active>"));
}

void TestGridEditing::dateChangeIsSavedAtOnce()
{
    focusCell(2, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    picker()->setFocus();
    picker()->setDate(QDate(2023, 12, 31));
    QCOMPARE(m_window->cdsVantory()->value(FieldAddedDate).toDate(), QDate(2023, 12, 31));
    QVERIFY(dataFile().contains("<addedDate>2023-12-31</addedDate>"));
    // Loading the picker with another row's date is no change.
    const QByteArray before = dataFile();
    focusCell(0, AccountModel::ColumnDateAdded);
    QTRY_COMPARE(picker()->date(), QDate(2024, 1, 2));
    QCOMPARE(dataFile(), before);
}

void TestGridEditing::typedKeyGoesToTheEditorEvenWhenHidden()
{
    focusCell(1, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    closeCalendar(Qt::Key_Escape); // the picker was closed on this row and is hidden
    QVERIFY(!picker()->isVisible());
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_5, Qt::NoModifier);
    QVERIFY(picker()->isVisible());
    QTRY_VERIFY(picker()->hasFocus() || picker()->isAncestorOf(QApplication::focusWidget()));

    focusCell(1, AccountModel::ColumnActive);
    QTRY_VERIFY(combo()->isVisible());
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_N);
    QTRY_VERIFY(combo()->hasFocus());
}

void TestGridEditing::insertAndCtrlDeleteAreNotTheGridsOwn()
{
    focusCell(1, AccountModel::ColumnSite);
    m_window->findChild<QAction *>(QStringLiteral("aAccountAdd"))->setEnabled(false);
    m_window->findChild<QAction *>(QStringLiteral("aAccountDelete"))->setEnabled(false);
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Insert);
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_window->cdsVantory()->recordCount(), 3);
    QCOMPARE(m_window->cdsVantory()->state(), DataSet::Browse);
    // With the command enabled, Ctrl+Delete asks first; Cancel keeps the row.
    m_window->findChild<QAction *>(QStringLiteral("aAccountDelete"))->setEnabled(true);
    m_services->queueAnswer(QMessageBox::Cancel);
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("Do you really want to delete the selected account Beta?"));
    QCOMPARE(m_window->cdsVantory()->recordCount(), 3);
}

void TestGridEditing::enterInAnEditorReturnsFocusToTheGrid()
{
    focusCell(0, AccountModel::ColumnActive);
    QTRY_VERIFY(combo()->isVisible());
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Return);
    QTRY_VERIFY(m_window->dbgAccounts()->hasFocus());
    QVERIFY(combo()->isVisible());
}

void TestGridEditing::paintingNeverCountsFiles()
{
    // A folder filled after loading keeps its loaded count however often the grid paints.
    const QString folder = m_dir->filePath(QStringLiteral("saves"));
    QDir().mkpath(folder);
    DataSet *t = m_window->cdsVantory();
    QVERIFY(t->setRecNo(1) && t->edit() && t->setValue(FieldSavePath, folder) && t->post());
    QTRY_COMPARE(m_window->accountModel()->index(0, AccountModel::ColumnTotalFiles).data().toString(),
                 QStringLiteral("(0)  "));
    TestSupport::writeFile(folder + QStringLiteral("/new.txt"), "x");
    m_window->dbgAccounts()->viewport()->repaint();
    QCOMPARE(m_window->accountModel()->index(0, AccountModel::ColumnTotalFiles).data().toString(), QStringLiteral("(0)  "));
}

void TestGridEditing::stateCaptionsShowWhole()
{
    focusCell(0, AccountModel::ColumnActive);
    QTRY_VERIFY(combo()->isVisible());
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down); // Active -> Not Applicable, the longest caption
    QCOMPARE(combo()->currentText(), QStringLiteral("Not Applicable"));
    // The box is as wide as its longest caption needs, and at least as wide as its cell.
    QTableView *grid = m_window->dbgAccounts();
    const QRect cell = m_window->EditorRectForCell(grid->visualRect(grid->currentIndex()));
    QVERIFY(combo()->width() >= combo()->sizeHint().width());
    QCOMPARE(combo()->geometry().topLeft(), cell.topLeft());
    QCOMPARE(combo()->height(), cell.height());
    QVERIFY(combo()->width() >= cell.width());
    // So is its list: opened from a box three times as wide, it shows the same in the width it has.
    QAbstractItemView *list = combo()->view();
    const auto listAt = [&](int width) {
        combo()->resize(width, combo()->height());
        QTest::keyClick(combo(), Qt::Key_Down, Qt::AltModifier);
        [&] { QTRY_VERIFY(list->isVisible()); }();
        const QImage rows = list->viewport()->grab().toImage();
        QTest::keyClick(list, Qt::Key_Escape);
        [&] { QTRY_VERIFY(!list->isVisible()); }();
        return rows;
    };
    const int width = combo()->width();
    const QImage inPlace = listAt(width);
    const QImage roomy = listAt(3 * width);
    QVERIFY(!inPlace.isNull() && roomy.width() > inPlace.width());
    // The right end of an item (its frame) is left out.
    const QRect compared(0, 0, inPlace.width() - 6 * int(inPlace.devicePixelRatio()), inPlace.height());
    QCOMPARE(inPlace.copy(compared), roomy.copy(compared));
}

enum GridChange
{
    Refresh,
    TitleClick,
    ScrollAway,
    ScrollBack,
    WiderWindow
};

void TestGridEditing::editorStaysOverTheCurrentRow_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("change");
    const QList<QPair<const char *, int>> columns = {{"date", AccountModel::ColumnDateAdded},
                                                     {"state", AccountModel::ColumnActive}};
    const QList<QPair<const char *, GridChange>> changes = {{"refresh, an account more before it", Refresh},
                                                            {"title click", TitleClick},
                                                            {"row scrolled out of view", ScrollAway},
                                                            {"row scrolled back", ScrollBack},
                                                            {"wider window", WiderWindow}};
    for (const auto &[columnName, column] : columns) {
        for (const auto &[changeName, change] : changes)
            QTest::addRow("%s, %s", columnName, changeName) << column << int(change);
    }
}

void TestGridEditing::editorStaysOverTheCurrentRow()
{
    QFETCH(int, column);
    QFETCH(int, change);
    openManyAccounts(20);
    QTableView *grid = m_window->dbgAccounts();
    QWidget *editor = column == AccountModel::ColumnActive ? static_cast<QWidget *>(combo()) : picker();
    focusCell(2, column);
    QTRY_VERIFY(editor->isVisible());
    const QString account = QStringLiteral("Acc02");
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), account);

    QScrollBar *bar = grid->verticalScrollBar();
    switch (GridChange(change)) {
    case Refresh:
        openManyAccounts(20, {100}); // the file changed under the program
        QTest::keyClick(grid, Qt::Key_F5);
        break;
    case TitleClick: {
        QHeaderView *titles = grid->horizontalHeader();
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          QPoint(titles->sectionViewportPosition(0) + 20, titles->height() / 2));
        break;
    }
    case ScrollAway:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    case ScrollBack:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case WiderWindow:
        m_window->resize(900, 300);
        QTRY_COMPARE(m_window->width(), 900);
        break;
    }
    QCoreApplication::processEvents();

    // The same account is current.
    const QModelIndex current = grid->currentIndex();
    QCOMPARE(current.siblingAtColumn(AccountModel::ColumnSite).data().toString(), account);
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), account);
    // A shown editor is over the current cell, never over another.
    if (editor->isVisible()) {
        const QPoint under = grid->viewport()->mapFrom(m_window.get(), editor->geometry().center());
        QCOMPARE(grid->indexAt(under), current);
        QCOMPARE(editor->geometry().topLeft(), m_window->EditorRectForCell(grid->visualRect(current)).topLeft());
    }
    // It stays in its column, shown while its cell is in view.
    QCOMPARE(current.column(), column);
    const bool inView = grid->viewport()->rect().intersects(grid->visualRect(current));
    QCOMPARE(inView, change != ScrollAway);
    QCOMPARE(editor->isVisible(), inView);
    if (!inView)
        return;

    // What the user changes there goes to that account and to no other.
    const auto before = datesAndStates();
    editor->setFocus();
    QTest::keyClick(editor, column == AccountModel::ColumnActive ? Qt::Key_Down : Qt::Key_Up);
    const auto after = datesAndStates();
    QCOMPARE(after.size(), before.size());
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key() == account)
            QVERIFY2(after.value(it.key()) != it.value(), "the account under the editor did not change");
        else
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + u" changed"_qs));
    }
}

void TestGridEditing::escapeAndUndoPutBackTheCellsValue_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("change"); // a key typed in the grid changes the cell first
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    const int date = AccountModel::ColumnDateAdded;
    const int state = AccountModel::ColumnActive;
    QTest::newRow("date, change, Escape") << date << true << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("date, change, Ctrl+Z") << date << true << int(Qt::Key_Z) << int(Qt::ControlModifier);
    QTest::newRow("date, no change, Escape") << date << false << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("date, no change, Ctrl+Z") << date << false << int(Qt::Key_Z) << int(Qt::ControlModifier);
    QTest::newRow("state, change, Escape") << state << true << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("state, change, Ctrl+Z") << state << true << int(Qt::Key_Z) << int(Qt::ControlModifier);
    QTest::newRow("state, no change, Escape") << state << false << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("state, no change, Ctrl+Z") << state << false << int(Qt::Key_Z) << int(Qt::ControlModifier);
}

void TestGridEditing::escapeAndUndoPutBackTheCellsValue()
{
    QFETCH(int, column);
    QFETCH(bool, change);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    const QByteArray original = dataFile();
    m_window.reset();
    auto provider = std::make_unique<CountingProvider>();
    CountingProvider *file = provider.get();
    m_window = std::make_unique<TfrmVantory>(std::move(provider));
    m_window->resize(700, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    const int writesAtStart = file->writes;

    // Alpha: added 2024-01-02, active.
    DataSet *t = m_window->cdsVantory();
    const bool isDate = column == AccountModel::ColumnDateAdded;
    const QString field = isDate ? FieldAddedDate : FieldActive;
    const QVariant old = isDate ? QVariant(QDate(2024, 1, 2)) : QVariant(1);
    QWidget *editor = isDate ? static_cast<QWidget *>(picker()) : combo();
    focusCell(0, column);
    QTRY_VERIFY(editor->isVisible());
    if (change) {
        // One key in the cell: the editor takes it and the change is saved at once.
        QTest::keyClick(m_window->dbgAccounts(), isDate ? Qt::Key_5 : Qt::Key_N);
        QVERIFY(t->value(field) != old);
        QVERIFY(file->writes > writesAtStart);
    } else {
        editor->setFocus();
    }
    QTRY_VERIFY(editor->hasFocus());
    const int writesBefore = file->writes;

    // The character a keyboard gives with the key: the control character.
    const QString typed(QChar(key == Qt::Key_Escape ? 0x1b : 0x1a));
    const auto press = [&] {
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(key), typed,
                            Qt::KeyboardModifiers(modifiers));
    };
    press();
    QCOMPARE(t->value(field), old);
    QCOMPARE(t->state(), DataSet::Browse);
    QVERIFY(editor->isVisible());
    if (isDate)
        QCOMPARE(picker()->date(), old.toDate());
    else
        QCOMPARE(combo()->currentIndex(), old.toInt());
    if (change) {
        // Written and saved again: the file holds the old value.
        QCOMPARE(file->writes, writesBefore + 1);
        QVERIFY(dataFile().contains("<siteName>Alpha</siteName>\n    <monthlyFee>10</monthlyFee>\n    "
                                    "<addedDate>2024-01-02</addedDate>\n    <active>1</active>"));
    } else {
        QCOMPARE(file->writes, writesAtStart); // nothing to put back, nothing saved
        QCOMPARE(dataFile(), original);
    }
    // Once more puts back nothing more.
    press();
    QCOMPARE(file->writes, change ? writesBefore + 1 : writesAtStart);
}

QTEST_MAIN(TestGridEditing)
#include "tst_gridediting.moc"
