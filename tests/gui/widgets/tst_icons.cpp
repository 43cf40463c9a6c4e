// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "gui/widgets/Icons.h"

#include <QtTest>

namespace {

// The share of pixels that are not fully transparent.
double coverage(const QPixmap &pm)
{
    const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 painted = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) > 0)
                ++painted;
        }
    }
    return double(painted) / double(img.width() * img.height());
}

const QStringList &expectedNames()
{
    static const QStringList names{
        QStringLiteral("account-add"),
        QStringLiteral("account-edit"),
        QStringLiteral("account-remove"),
        QStringLiteral("cancel"),
        QStringLiteral("key"),
        QStringLiteral("logo"),
        QStringLiteral("make-money"),
        QStringLiteral("ok"),
        QStringLiteral("refresh"),
        QStringLiteral("search"),
        QStringLiteral("settings"),
        QStringLiteral("share"),
        QStringLiteral("state-active"),
        QStringLiteral("state-inactive"),
        QStringLiteral("state-na"),
        QStringLiteral("vantory"),
    };
    return names;
}

} // namespace

class TestIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyNameIsThere();
    void rendersAtSmallAndLargeSizes_data();
    void rendersAtSmallAndLargeSizes();
    void logoIsAWordmark();
    void unknownNameGivesNullIcon();
    void stateIconsHaveTheirColours();
    void buttonPicturesAreOrangeSquares();
};

void TestIcons::everyNameIsThere()
{
    QCOMPARE(Icons::names(), expectedNames());
    for (const QString &name : expectedNames())
        QVERIFY2(QFile::exists(Icons::resourcePath(name)), qPrintable(name));
}

void TestIcons::rendersAtSmallAndLargeSizes_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : expectedNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestIcons::rendersAtSmallAndLargeSizes()
{
    QFETCH(QString, name);
    const QIcon icon = Icons::icon(name);
    QVERIFY(!icon.isNull());
    if (name != QLatin1String("logo"))
        QCOMPARE(Icons::defaultSize(name), QSize(16, 16));
    for (int size : {16, 32}) {
        const QPixmap viaIcon = icon.pixmap(QSize(size, size));
        QVERIFY(!viaIcon.isNull());
        QCOMPARE(viaIcon.size(), QSize(size, size));
        const double c = coverage(viaIcon);
        QVERIFY2(c > 0.04, qPrintable(QStringLiteral("%1 at %2 px covers %3").arg(name).arg(size).arg(c)));
        QVERIFY2(c < 1.0 || name == QLatin1String("ok") || name == QLatin1String("cancel"),
                 qPrintable(QStringLiteral("%1 has no transparent pixel").arg(name)));

        const QPixmap direct = Icons::pixmap(name, QSize(size, size));
        QCOMPARE(direct.size(), QSize(size, size));
        QVERIFY(coverage(direct) > 0.04);
    }
    // High-density screens get more pixels.
    const QPixmap hiDpi = Icons::pixmap(name, QSize(16, 16), 2.0);
    QCOMPARE(hiDpi.size(), QSize(32, 32));
    QCOMPARE(hiDpi.devicePixelRatio(), 2.0);
    // The disabled look is there and differs.
    const QImage normal = icon.pixmap(QSize(16, 16)).toImage();
    const QImage disabled = icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage();
    QVERIFY(!disabled.isNull());
    QVERIFY(normal != disabled);
}

void TestIcons::logoIsAWordmark()
{
    QCOMPARE(Icons::defaultSize(QStringLiteral("logo")), QSize(133, 25));
    const QPixmap logo = Icons::pixmap(QStringLiteral("logo"), QSize(133, 25));
    QCOMPARE(logo.size(), QSize(133, 25));
    const QImage img = logo.toImage().convertToFormat(QImage::Format_ARGB32);
    // Transparent background in the corners, something drawn in the middle.
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(132, 24)), 0);
    const double c = coverage(logo);
    QVERIFY2(c > 0.15 && c < 0.7, qPrintable(QString::number(c)));
}

void TestIcons::unknownNameGivesNullIcon()
{
    QVERIFY(Icons::icon(QStringLiteral("no-such-icon")).isNull());
    QVERIFY(Icons::pixmap(QStringLiteral("no-such-icon"), QSize(16, 16)).isNull());
    QVERIFY(Icons::defaultSize(QStringLiteral("no-such-icon")).isEmpty());
}

void TestIcons::stateIconsHaveTheirColours()
{
    // A red disc with a white cross: red at the rim, white at the centre.
    const QImage inactive = Icons::pixmap(QStringLiteral("state-inactive"), QSize(32, 32)).toImage();
    const QColor rim = inactive.pixelColor(16, 4);
    QVERIFY(rim.red() > 180 && rim.green() < 100 && rim.blue() < 100);
    const QColor centre = inactive.pixelColor(16, 16);
    QVERIFY(centre.red() > 240 && centre.green() > 240 && centre.blue() > 240);
    // A green check mark: the greenest pixel is clearly green.
    const QImage active = Icons::pixmap(QStringLiteral("state-active"), QSize(32, 32)).toImage();
    int greenest = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor c = active.pixelColor(x, y);
            if (c.alpha() == 255)
                greenest = qMax(greenest, c.green() - qMax(c.red(), c.blue()));
        }
    }
    QVERIFY(greenest > 60);
}

void TestIcons::buttonPicturesAreOrangeSquares()
{
    for (const QString &name : {QStringLiteral("ok"), QStringLiteral("cancel")}) {
        const QImage img = Icons::pixmap(name, QSize(32, 32)).toImage();
        const QColor orange = img.pixelColor(5, 16);
        QVERIFY2(orange.red() > 200 && orange.green() > 100 && orange.green() < 180 && orange.blue() < 80,
                 qPrintable(name + u' ' + orange.name()));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0); // rounded corner
    }
    // The check mark and the cross are white: the middle of the cross is white.
    const QColor crossing = Icons::pixmap(QStringLiteral("cancel"), QSize(32, 32)).toImage().pixelColor(16, 16);
    QVERIFY(crossing.red() > 240 && crossing.green() > 240 && crossing.blue() > 240);
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
