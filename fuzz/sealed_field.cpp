// SPDX-License-Identifier: GPL-3.0-or-later
// The vault's readers on any input, as a changed data file could hand them: a stored password (the
// first line, as UTF-8) and the attributes of the vault element (the other lines, name=value). What
// either accepts must be exactly what the writer gives for it, and no stored value made up here may
// open under a key, since none was sealed with it.
#include "core/security/Vault.h"

#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &input)
{
    fprintf(stderr, "sealed_field: %s\n%s\n", what, input.toHex(' ').constData());
    fflush(stderr);
    abort();
}

const VaultKey &fixedKey()
{
    static const Vault::Params params{QByteArray(Vault::SaltBytes, 's'), {Vault::MinOps, Vault::MinMemory}, QString()};
    static const std::unique_ptr<VaultKey> key = VaultKey::derive(QStringLiteral("fuzz"), params);
    if (!key)
        fail("no key", {});
    return *key;
}

void checkStored(const QString &stored, const QByteArray &input)
{
    QByteArray nonce, box;
    if (Vault::parseSealed(stored, nonce, box)) {
        if (Vault::formatSealed(nonce, box) != stored)
            fail("an encrypted password is read that the writer would not write so", input);
        if (!Vault::isSealed(stored))
            fail("an encrypted password that does not count as one", input);
    }
    QString plain;
    if (fixedKey().open(stored, plain))
        fail("a made-up value opens", input);
    // What the key seals, it opens.
    const QString sealed = fixedKey().seal(stored);
    if (!fixedKey().open(sealed, plain) || plain != QString::fromUtf8(stored.toUtf8()))
        fail("a sealed value does not open to what was sealed", input);
}

void checkAttributes(const QList<QByteArray> &lines, const QByteArray &input)
{
    QMap<QString, QString> attributes;
    for (const QByteArray &line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            attributes.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    Vault::Params params;
    if (Vault::fromAttributes(attributes, params) && Vault::toAttributes(params) != attributes)
        fail("vault attributes are read that the writer would not write so", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> lines = input.split('\n');
    checkStored(QString::fromUtf8(lines.takeFirst()), input);
    checkAttributes(lines, input);
    return 0;
}
