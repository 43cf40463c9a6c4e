// SPDX-License-Identifier: GPL-3.0-or-later
// The vault's key, its stored form of a password and the parameters a data file carries.
#include "core/accounts/AccountSchema.h"
#include "core/security/Vault.h"

#include <QtTest>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace {

// The cheapest cost the vault accepts: the tests derive many keys.
const Vault::Cost kCost{Vault::MinOps, Vault::MinMemory};

// Flips the bits of one character of the stored form, keeping it in the base64 alphabet.
QString changedAt(QString stored, qsizetype at)
{
    const QChar c = stored[at];
    stored[at] = c == u'A' ? u'B' : u'A';
    return stored;
}

} // namespace

class TestVault : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sealedPasswordsOpen_data();
    void sealedPasswordsOpen();
    void changedOrCutValuesDoNotOpen_data();
    void changedOrCutValuesDoNotOpen();
    void wrongPasswordOpensNothing();
    void verifierHoldsNoPassword();
    void parametersRoundTrip();
    void damagedParametersAreRefused_data();
    void damagedParametersAreRefused();
    void noCoreDumpWhileAKeyIsHeld();

private:
    Vault::Params m_params;
    std::unique_ptr<VaultKey> m_key;
};

void TestVault::initTestCase()
{
    QVERIFY(Vault::initialize());
    m_params = Vault::create(QStringLiteral("master"), kCost);
    m_key = VaultKey::unlock(QStringLiteral("master"), m_params);
    QVERIFY(m_key);
}

void TestVault::sealedPasswordsOpen_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("one character") << QStringLiteral("é");
    QTest::newRow("ascii") << QStringLiteral("correct horse battery staple");
    QTest::newRow("dollar signs") << QStringLiteral("$vv1$AAAA");
    QTest::newRow("beyond Latin-1") << QStringLiteral("пароль-密码-🔑");
    QTest::newRow("40 characters of 3 bytes") << QString(40, QChar(0x20AC));
}

void TestVault::sealedPasswordsOpen()
{
    QFETCH(QString, password);
    const QString sealed = m_key->seal(password);
    QVERIFY(sealed.startsWith(AccountSchema::SealedPasswordPrefix));
    QVERIFY(Vault::isSealed(sealed));
    QVERIFY(!sealed.contains(password));
    QVERIFY(sealed.size() <= Vault::sealedLength(int(password.toUtf8().size())));
    QVERIFY(sealed.size() <= AccountSchema::SealedPasswordFieldSize);
    // A fresh nonce each time: the same password never gives the same stored form.
    QVERIFY(m_key->seal(password) != sealed);
    QString opened;
    QVERIFY(m_key->open(sealed, opened));
    QCOMPARE(opened, password);
}

void TestVault::changedOrCutValuesDoNotOpen_data()
{
    QTest::addColumn<QString>("stored");
    const QString sealed = m_key->seal(QStringLiteral("secret password"));
    const qsizetype body = AccountSchema::SealedPasswordPrefix.size();
    QTest::newRow("marker") << QString(sealed).replace(2, 1, u'w');
    QTest::newRow("nonce") << changedAt(sealed, body + 3);
    QTest::newRow("ciphertext") << changedAt(sealed, body + 34);
    QTest::newRow("tag") << changedAt(sealed, sealed.size() - 6);
    QTest::newRow("cut short by 4") << sealed.left(sealed.size() - 4);
    QTest::newRow("cut short by 1") << sealed.left(sealed.size() - 1);
    QTest::newRow("only the marker") << sealed.left(body);
    QTest::newRow("a character more") << sealed + u'A';
    QTest::newRow("white space inside") << QString(sealed).insert(body + 8, u' ');
    QTest::newRow("line break at the end") << sealed + u'\n';
    QTest::newRow("urlsafe alphabet") << QString(sealed).replace(u'+', u'-').replace(u'/', u'_') + u"-_";
    QTest::newRow("too short to hold a tag")
        << QStringLiteral("$vv1$") + QString::fromLatin1(QByteArray(39, 'x').toBase64());
}

void TestVault::changedOrCutValuesDoNotOpen()
{
    QFETCH(QString, stored);
    QString opened = QStringLiteral("untouched");
    QVERIFY(!m_key->open(stored, opened));
    QCOMPARE(opened, QStringLiteral("untouched"));
}

void TestVault::wrongPasswordOpensNothing()
{
    QVERIFY(!VaultKey::unlock(QStringLiteral("Master"), m_params));
    QVERIFY(!VaultKey::unlock(QStringLiteral("master "), m_params));
    QVERIFY(!VaultKey::unlock(QString(), m_params));
    // A key made from the wrong password without the verifier's check still opens nothing.
    const auto wrong = VaultKey::derive(QStringLiteral("Master"), m_params);
    QVERIFY(wrong);
    QString opened;
    QVERIFY(!wrong->open(m_key->seal(QStringLiteral("secret")), opened));
    // Another vault with the same password has another salt, hence another key.
    const auto other = VaultKey::unlock(QStringLiteral("master"), Vault::create(QStringLiteral("master"), kCost));
    QVERIFY(other);
    QVERIFY(!other->open(m_key->seal(QStringLiteral("secret")), opened));
}

void TestVault::verifierHoldsNoPassword()
{
    const QString verifier = Vault::makeVerifier(QStringLiteral("master"), kCost);
    QVERIFY(Vault::isVerifier(verifier));
    QVERIFY(!verifier.contains(QStringLiteral("master")));
    QVERIFY(Vault::verify(verifier, QStringLiteral("master")));
    QVERIFY(!Vault::verify(verifier, QStringLiteral("maste")));
    // Salted: the same password never gives the same verifier.
    QVERIFY(Vault::makeVerifier(QStringLiteral("master"), kCost) != verifier);
}

void TestVault::parametersRoundTrip()
{
    Vault::Params read;
    QVERIFY(Vault::fromAttributes(Vault::toAttributes(m_params), read));
    QCOMPARE(read, m_params);
}

void TestVault::damagedParametersAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value"); // empty: the attribute is missing
    QTest::newRow("no salt") << QStringLiteral("salt") << QString();
    QTest::newRow("short salt") << QStringLiteral("salt") << QString::fromLatin1(QByteArray(15, 's').toBase64());
    QTest::newRow("salt not base64") << QStringLiteral("salt") << QStringLiteral("!!!!!!!!!!!!!!!!!!!!!!!!");
    QTest::newRow("no passes") << QStringLiteral("ops") << QStringLiteral("0");
    QTest::newRow("passes beyond the bound") << QStringLiteral("ops") << QStringLiteral("65");
    QTest::newRow("passes with a sign") << QStringLiteral("ops") << QStringLiteral("+2");
    QTest::newRow("passes with a leading zero") << QStringLiteral("ops") << QStringLiteral("02");
    QTest::newRow("memory below 64 MiB") << QStringLiteral("mem") << QString::number(Vault::MinMemory - 1024);
    QTest::newRow("memory beyond 1 GiB") << QStringLiteral("mem") << QString::number(Vault::MaxMemory + 1024);
    QTest::newRow("memory overflowing") << QStringLiteral("mem") << QStringLiteral("99999999999999999999");
    QTest::newRow("other version") << QStringLiteral("version") << QStringLiteral("2");
    QTest::newRow("other derivation") << QStringLiteral("kdf") << QStringLiteral("scrypt");
    QTest::newRow("verifier of another kind") << QStringLiteral("verifier") << QStringLiteral("$argon2i$v=19$m=65536");
    QTest::newRow("an attribute more") << QStringLiteral("extra") << QStringLiteral("1");
}

void TestVault::damagedParametersAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QMap<QString, QString> attributes = Vault::toAttributes(m_params);
    if (value.isEmpty())
        attributes.remove(name);
    else
        attributes[name] = value;
    Vault::Params read;
    QVERIFY(!Vault::fromAttributes(attributes, read));
    // A verifier that asks for more memory than a vault may take is no match, whatever the password.
    if (name == u"mem") {
        QString verifier = m_params.verifier;
        verifier.replace(QStringLiteral("m=65536"), QStringLiteral("m=4194304"));
        QVERIFY(!Vault::verify(verifier, QStringLiteral("master")));
    }
}

void TestVault::noCoreDumpWhileAKeyIsHeld()
{
#ifndef Q_OS_LINUX
    QSKIP("Core dumps are switched off on Linux");
#else
    m_key.reset();
    QCOMPARE(Vault::secretsHeld(), 0);
    const int dumpableBefore = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
    rlimit before{};
    getrlimit(RLIMIT_CORE, &before);
    {
        const auto key = VaultKey::derive(QStringLiteral("master"), m_params);
        QVERIFY(key);
        QVERIFY(Vault::secretsHeld() > 0);
        rlimit held{};
        getrlimit(RLIMIT_CORE, &held);
        QCOMPARE(held.rlim_cur, rlim_t(0));
        QCOMPARE(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
    QCOMPARE(Vault::secretsHeld(), 0);
    rlimit after{};
    getrlimit(RLIMIT_CORE, &after);
    QCOMPARE(after.rlim_cur, before.rlim_cur);
    QCOMPARE(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), dumpableBefore);
#endif
}

QTEST_GUILESS_MAIN(TestVault)
#include "tst_vault.moc"
