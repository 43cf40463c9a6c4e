// SPDX-License-Identifier: GPL-3.0-or-later
#include "VaultSession.h"

#include "core/accounts/AccountTable.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/datafile/XmlDataReader.h"
#include "core/security/Encode.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VaultSession", text);
}

// The data file's vault parameters; false when it has none or they are damaged.
bool fileParams(const XmlDataProvider &provider, Vault::Params &params)
{
    return !provider.vaultHeader().isEmpty() && Vault::fromAttributes(provider.vaultHeader(), params);
}

} // namespace

// A new stored form for every stored password, and the vault element the file gets with them.
struct VaultSession::Rewrite
{
    std::function<QString(const QString &stored)> password;
    QMap<QString, QString> header;
};

VaultSession::VaultSession(XmlDataProvider &provider) : m_provider(provider)
{
}

QString VaultSession::wrongPasswordError()
{
    return tr("The password is not the one the accounts were encrypted with.");
}

VaultSession::~VaultSession() = default;

bool VaultSession::fileIsSealed() const
{
    return !m_provider.vaultHeader().isEmpty();
}

VaultSession::State VaultSession::state() const
{
    if (!fileIsSealed())
        return m_key ? State::Unlocked : State::Off;
    return m_key && m_provider.vaultHeader() == Vault::toAttributes(m_key->params()) ? State::Unlocked : State::Locked;
}

bool VaultSession::needsAdoption() const
{
    if (m_key)
        return m_provider.vaultHeader() != Vault::toAttributes(m_key->params());
    return false;
}

Status VaultSession::unlock(const QString &password)
{
    Vault::Params params;
    if (!fileIsSealed())
        return Status::failure(tr("The accounts are not encrypted."));
    if (!fileParams(m_provider, params))
        return Status::failure(
            tr("The encryption settings in the data file %1 are damaged.").arg(m_provider.fileName()));
    std::unique_ptr<VaultKey> key = VaultKey::unlock(password, params);
    if (!key)
        return Status::failure(wrongPasswordError());
    m_key = std::move(key);
    // What a mode change cut short may have left undone.
    sealBackups();
    if (RegReadString(SettingsKeys::SectionMain, SettingsKeys::SettingPassword) != params.verifier)
        storeSettingsPassword(params.verifier);
    return {};
}

void VaultSession::lock()
{
    m_key.reset();
}

bool VaultSession::reveal(const QString &stored, QString &plain) const
{
    if (Vault::isSealed(stored))
        return m_key && m_key->open(stored, plain);
    plain = DecodeStr(stored);
    return true;
}

QString VaultSession::conceal(const QString &plain) const
{
    if (plain.isEmpty())
        return plain;
    return m_key ? m_key->seal(plain) : EncodeStr(plain);
}

bool VaultSession::isUndecryptable(const QString &stored) const
{
    QString plain;
    return Vault::isSealed(stored) && !(m_key && m_key->open(stored, plain));
}

std::unique_ptr<VaultKey> VaultSession::newKey(const QString &password, const Vault::Cost &cost, Vault::Params &params)
{
    params = Vault::create(password, cost);
    return params.verifier.isEmpty() ? nullptr : VaultKey::derive(password, params);
}

void VaultSession::takeKey(std::unique_ptr<VaultKey> key, const Vault::Params &params)
{
    // The data file holds the passwords under this key now: the copies and the settings follow.
    m_key = std::move(key);
    sealBackups();
    storeSettingsPassword(params.verifier);
}

Status VaultSession::turnOn(const QString &masterPassword, const Vault::Cost &cost)
{
    if (state() != State::Off)
        return Status::failure(tr("The accounts are encrypted already."));
    Vault::Params params;
    std::unique_ptr<VaultKey> key = newKey(masterPassword, cost, params);
    if (!key)
        return Status::failure(tr("No key could be made from the master password."));
    const VaultKey &k = *key;
    const Status written =
        rewriteDataFile({[&k](const QString &stored) {
                             return stored.isEmpty() || Vault::isSealed(stored) ? stored : k.seal(DecodeStr(stored));
                         },
                         Vault::toAttributes(params)});
    if (!written)
        return written;
    takeKey(std::move(key), params);
    return {};
}

Status VaultSession::turnOff(const QString &masterPassword)
{
    if (state() != State::Unlocked)
        return Status::failure(tr("The accounts are not unlocked."));
    const VaultKey &k = *m_key;
    const Status written = rewriteDataFile({[&k](const QString &stored) {
                                                QString plain;
                                                if (!Vault::isSealed(stored) || !k.open(stored, plain))
                                                    return stored;
                                                return EncodeStr(plain);
                                            },
                                            {}});
    if (!written)
        return written;
    m_key.reset();
    storeSettingsPassword(masterPassword.isEmpty() ? QString() : EncodeStr(masterPassword));
    return {};
}

Status VaultSession::changePassword(const QString &newPassword, const Vault::Cost &cost)
{
    if (state() != State::Unlocked)
        return Status::failure(tr("The accounts are not unlocked."));
    Vault::Params params;
    std::unique_ptr<VaultKey> key = newKey(newPassword, cost, params);
    if (!key)
        return Status::failure(tr("No key could be made from the master password."));
    const VaultKey &oldKey = *m_key;
    const VaultKey &newKey = *key;
    const Status written = rewriteDataFile({[&](const QString &stored) {
                                                QString plain;
                                                if (Vault::isSealed(stored))
                                                    return oldKey.open(stored, plain) ? newKey.seal(plain) : stored;
                                                return stored.isEmpty() ? stored : newKey.seal(DecodeStr(stored));
                                            },
                                            Vault::toAttributes(params)});
    if (!written)
        return written;
    takeKey(std::move(key), params);
    return {};
}

Status VaultSession::adopt(const QString &filePassword)
{
    std::unique_ptr<VaultKey> fileKey;
    if (fileIsSealed()) {
        Vault::Params params;
        if (!fileParams(m_provider, params))
            return Status::failure(
                tr("The encryption settings in the data file %1 are damaged.").arg(m_provider.fileName()));
        fileKey = VaultKey::unlock(filePassword, params);
        if (!fileKey)
            return Status::failure(wrongPasswordError());
    }
    const VaultKey *from = fileKey.get();
    const Status written = rewriteDataFile({[this, from](const QString &stored) {
                                                QString plain;
                                                if (Vault::isSealed(stored)) {
                                                    if (!from || !from->open(stored, plain))
                                                        return stored;
                                                } else {
                                                    plain = DecodeStr(stored);
                                                }
                                                return conceal(plain);
                                            },
                                            m_key ? Vault::toAttributes(m_key->params()) : QMap<QString, QString>()});
    if (!written)
        return written;
    if (m_key)
        sealBackups();
    return {};
}

Status VaultSession::rewriteDataFile(const Rewrite &rewrite)
{
    XmlDataRead read;
    if (QFileInfo::exists(m_provider.fileName())) {
        if (const Status readFile = m_provider.readFile(m_provider.fileName(), read); !readFile)
            return readFile;
    }
    for (RowValues &row : read.rows) {
        QVariant &value = row[AccountTable::Password];
        if (!value.isNull())
            value = rewrite.password(value.toString());
    }
    const QMap<QString, QString> before = m_provider.vaultHeader();
    m_provider.setVaultHeader(rewrite.header);
    if (const Status written = m_provider.applyChanges({}, read.rows); !written) {
        m_provider.setVaultHeader(before);
        return written;
    }
    return {};
}

// The copies in the Backups folder that still hold scrambled passwords are encrypted under the key
// held; copies encrypted under another key are left as they are (they open with the password of
// their time).
void VaultSession::sealBackups()
{
    if (!m_key)
        return;
    const QMap<QString, QString> header = Vault::toAttributes(m_key->params());
    DataFileBackups &backups = m_provider.backups();
    const QDir folder(backups.folder());
    if (!folder.exists())
        return;
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &file : files) {
        if (file.fileName() == DataFileBackups::recordName())
            continue;
        XmlDataRead read;
        if (!m_provider.readFile(file.filePath(), read) || (read.hasVault && read.vault != header))
            continue;
        bool scrambled = false;
        for (RowValues &row : read.rows) {
            QVariant &value = row[AccountTable::Password];
            const QString stored = value.toString();
            if (!value.isNull() && !stored.isEmpty() && !Vault::isSealed(stored)) {
                value = m_key->seal(DecodeStr(stored));
                scrambled = true;
            }
        }
        if (!scrambled)
            continue;
        const QString path = file.filePath();
        backups.rewrite(path, [&] { return m_provider.writeFile(path, read.rows, header, read.encoding).ok(); });
    }
}

void VaultSession::storeSettingsPassword(const QString &value)
{
    RegWriteStringChecked(SettingsKeys::SectionMain, SettingsKeys::SettingPassword, value);
}
