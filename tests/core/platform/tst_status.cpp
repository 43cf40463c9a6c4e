// SPDX-License-Identifier: GPL-3.0-or-later
// The status every operation of the core returns: a failure never reads as success.
#include "core/platform/Status.h"

#include <QtTest>

class TestStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void okOnlyWithoutError_data();
    void okOnlyWithoutError();
};

void TestStatus::okOnlyWithoutError_data()
{
    QTest::addColumn<Status>("status");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::newRow("went well") << Status() << true << QString();
    QTest::newRow("failure with its reason") << Status::failure(u"disk full"_qs) << false << u"disk full"_qs;
    QTest::newRow("failure without a reason") << Status::failure(QString()) << false << u"Unknown error"_qs;
}

void TestStatus::okOnlyWithoutError()
{
    QFETCH(Status, status);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QCOMPARE(status.ok(), ok);
    QCOMPARE(bool(status), ok);
    QCOMPARE(status.error, error);
}

QTEST_GUILESS_MAIN(TestStatus)
#include "tst_status.moc"
