#include "ScriptedServices.h"
#include "TestSupport.h"
#include "app/AccountModel.h"
#include "app/MainForm.h"
#include "app/TotalsBar.h"
#include "app/VantoryConsts.h"
#include "data/DataSet.h"
#include "settings/RegSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace VantoryConsts;

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

private:
    void focusCell(int row, int column);
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

void TestGridEditing::stateEditorCoversTheFocusedCell()
{
    focusCell(1, AccountModel::ColumnActive);
    QTableView *grid = m_window->dbgAccounts();
    QTRY_VERIFY(combo()->isVisible());
    const QRect cell = grid->visualRect(grid->currentIndex());
    QCOMPARE(combo()->geometry(), m_window->EditorRectForCell(cell));
    QCOMPARE(combo()->currentIndex(), 0); // Beta is inactive
    QCOMPARE(combo()->count(), 3);
    QCOMPARE(combo()->itemText(2), QStringLiteral("Not Applicable"));
    // The editor is outside the cell by 2 px at the left and top, 1 px at the right and bottom.
    const QPoint cellTopLeft = grid->viewport()->mapTo(m_window.get(), cell.topLeft());
    QCOMPARE(combo()->geometry().topLeft(), cellTopLeft - QPoint(2, 2));
    QCOMPARE(combo()->width(), cell.width() + 3);
}

void TestGridEditing::dateEditorSkipsTheRememberedRow()
{
    m_window->FDateEditRow = 2;
    focusCell(1, AccountModel::ColumnDateAdded);
    QVERIFY(!picker()->isVisible());
    focusCell(0, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    QCOMPARE(picker()->date(), QDate(2024, 1, 2));
    QCOMPARE(picker()->geometry(),
             m_window->EditorRectForCell(m_window->dbgAccounts()->visualRect(m_window->dbgAccounts()->currentIndex())));
}

void TestGridEditing::leavingTheColumnHidesTheEditors()
{
    focusCell(0, AccountModel::ColumnDateAdded);
    QTRY_VERIFY(picker()->isVisible());
    m_window->FDateEditRow = 3;
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Right);
    QVERIFY(!picker()->isVisible());
    QCOMPARE(m_window->FDateEditRow, -1);
    m_window->dbgAccounts()->viewport()->repaint();
    QTRY_VERIFY(combo()->isVisible());
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
    m_window->FDateEditRow = 2; // the picker was closed on this row and is hidden
    picker()->hide();
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
    TestSupport::writeFile(folder + QStringLiteral("/new.txt"), "x");
    m_window->dbgAccounts()->viewport()->repaint();
    QCOMPARE(m_window->accountModel()->index(0, AccountModel::ColumnTotalFiles).data().toString(), QStringLiteral("(0)  "));
}

QTEST_MAIN(TestGridEditing)
#include "tst_gridediting.moc"
