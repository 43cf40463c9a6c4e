// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"
#include "core/security/Vault.h"

#include <QString>

#include <memory>

class XmlDataProvider;

// The stored passwords of one data file: scrambled as they always were, or encrypted with a key made
// from the master password when the user turned that on (the vault). It turns passwords into their
// stored form and back, and moves a data file between the two forms.
//
// Every change of mode is one atomic save of the data file, which is what decides the mode; then the
// copies in the Backups folder that still hold scrambled passwords are encrypted, and the settings'
// master password is made a verifier (on) or scrambled again (off). A run killed between those steps
// leaves a data file in one mode or the other; unlock() finishes what is left.
//
// A stored password that cannot be decrypted (changed by a byte, cut short, or of another key) is
// kept as it is, in every mode change; only that account's password is lost.
class VaultSession
{
public:
    enum class State
    {
        Off,     // the data file holds scrambled passwords
        Locked,  // the data file is encrypted and no key is held (or the key of another file)
        Unlocked // the key of the data file is held
    };

    explicit VaultSession(XmlDataProvider &provider);
    ~VaultSession();

    // The error of unlock() and adopt() when the password is not the file's.
    static QString wrongPasswordError();

    // What the data file last loaded says, with the key held.
    State state() const;
    // Whether the data file as loaded is encrypted.
    bool fileIsSealed() const;
    // Whether a key is held at all (of this file or of the one before it was replaced).
    bool holdsKey() const { return m_key != nullptr; }

    // Makes the key of the loaded data file from the master password. Fails, changing nothing, when
    // the password is not the one the file was encrypted with. Then finishes an interrupted mode change
    // (copies in Backups still scrambled, a settings password not yet a verifier).
    Status unlock(const QString &password);
    // Wipes the key.
    void lock();

    // The password of a stored value; false when it is encrypted and cannot be decrypted now.
    bool reveal(const QString &stored, QString &plain) const;
    // The stored form of a password in the data file's mode. Empty stays empty.
    QString conceal(const QString &plain) const;
    // Whether a stored value cannot be decrypted with the key held.
    bool isUndecryptable(const QString &stored) const;

    // Off to on: every password encrypted under a key made from the master password at this cost.
    Status turnOn(const QString &masterPassword, const Vault::Cost &cost);
    // On to off: every password scrambled again; masterPassword is kept scrambled in the settings,
    // or removed when empty. The key is wiped.
    Status turnOff(const QString &masterPassword);
    // Every password encrypted again under a key of the new master password.
    Status changePassword(const QString &newPassword, const Vault::Cost &cost);
    // A data file that was put in place of the one of the key held (a restored copy), brought to the
    // mode and key of the session: encrypted under the key held, or scrambled when none is. An
    // encrypted file needs the password it was encrypted with (filePassword); a scrambled one none.
    // Needed when needsAdoption().
    bool needsAdoption() const;
    Status adopt(const QString &filePassword);

private:
    struct Rewrite;
    Status rewriteDataFile(const Rewrite &rewrite);
    void sealBackups();
    // A new random key for password (params: its salt, cost and verifier); none when it cannot be made.
    static std::unique_ptr<VaultKey> newKey(const QString &password, const Vault::Cost &cost, Vault::Params &params);
    // Takes key as the data file's, after a save under it.
    void takeKey(std::unique_ptr<VaultKey> key, const Vault::Params &params);
    void storeSettingsPassword(const QString &value);

    XmlDataProvider &m_provider;
    std::unique_ptr<VaultKey> m_key;
};
