// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "core/settings/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using TestSupport::readFile;
using TestSupport::writeFile;

// A new per-user data folder gets what an installation ships in share/vantory/Data; what the user
// already has is never touched.
class TestDataFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void provideFromTemplate_data();
    void provideFromTemplate();
    void nothingToProvideFrom_data();
    void nothingToProvideFrom();
    void buildTreeHasNoTemplate();
};

namespace {

const QByteArray EmptyData = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n</Accounts>\n";
const QByteArray ReadMapping = "<VantoryMapping version=\"1\" direction=\"ToRows\"/>\n";
const QByteArray WriteMapping = "<VantoryMapping version=\"1\" direction=\"ToXml\"/>\n";
const QByteArray UsersData = "<Accounts><Account><siteName>Mine</siteName></Account></Accounts>\n";

void writeTemplate(const QString &dir)
{
    QVERIFY(writeFile(dir + u"/main.xml"_s, EmptyData));
    QVERIFY(writeFile(dir + u"/main_ToDp.xtr"_s, ReadMapping));
    QVERIFY(writeFile(dir + u"/main_ToXml.xtr"_s, WriteMapping));
}

} // namespace

void TestDataFolder::provideFromTemplate_data()
{
    QTest::addColumn<QString>("folder");     // relative to the temporary folder
    QTest::addColumn<QStringList>("before"); // files the folder has, holding UsersData
    QTest::newRow("no folder yet") << u"user/data/Orvane/Vantory"_s << QStringList();
    QTest::newRow("empty folder") << u"user"_s << QStringList();
    QTest::newRow("data file kept") << u"user"_s << QStringList{u"main.xml"_s};
    QTest::newRow("mapping kept") << u"user"_s << QStringList{u"main_ToXml.xtr"_s};
    QTest::newRow("all there") << u"user"_s << QStringList{u"main.xml"_s, u"main_ToDp.xtr"_s, u"main_ToXml.xtr"_s};
}

void TestDataFolder::provideFromTemplate()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, before);
    QTemporaryDir tmp;
    writeTemplate(tmp.filePath(u"template"_s));
    const QString target = tmp.filePath(folder);
    for (const QString &name : before)
        QVERIFY(writeFile(target + u'/' + name, UsersData));

    QVERIFY(DataFolder::provideFrom(tmp.filePath(u"template"_s), QDir::toNativeSeparators(target) + QDir::separator()));

    const QList<std::pair<QString, QByteArray>> expected{
        {u"main.xml"_s, EmptyData}, {u"main_ToDp.xtr"_s, ReadMapping}, {u"main_ToXml.xtr"_s, WriteMapping}};
    for (const auto &[name, fromTemplate] : expected) {
        const QString path = target + u'/' + name;
        QCOMPARE(readFile(path), before.contains(name) ? UsersData : fromTemplate);
#ifdef Q_OS_UNIX
        if (!before.contains(name))
            QCOMPARE(TestSupport::fileMode(path), u"600"_s);
#endif
    }
    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
#ifdef Q_OS_UNIX
    if (before.isEmpty() && folder.contains(u'/'))
        QCOMPARE(TestSupport::fileMode(target), u"700"_s);
#endif
}

void TestDataFolder::nothingToProvideFrom_data()
{
    QTest::addColumn<bool>("templateExists");
    QTest::newRow("no template folder") << false;
    QTest::newRow("empty template folder") << true;
}

void TestDataFolder::nothingToProvideFrom()
{
    QFETCH(bool, templateExists);
    QTemporaryDir tmp;
    if (templateExists)
        QVERIFY(QDir().mkpath(tmp.filePath(u"template"_s)));
    QVERIFY(!DataFolder::provideFrom(tmp.filePath(u"template"_s), tmp.filePath(u"user"_s)));
    QVERIFY(!QFileInfo::exists(tmp.filePath(u"user"_s)));
}

// The tests run from the build tree, which is no installation: no template is found, and a start
// leaves the data folder to the first save as before.
void TestDataFolder::buildTreeHasNoTemplate()
{
    QCOMPARE(DataFolder::templatePath(), QString());
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
