// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringView>

#include <memory>

// Stored passwords encrypted with a key made from the master password.
//
// The key is derived with a memory-hard password hash from the master password and a random salt; its
// cost (passes and memory) is measured on the machine where the vault is set up and kept with the salt.
// Each password is encrypted with an authenticated cipher under a fresh random nonce, so a changed byte
// anywhere in a stored value is found instead of giving a wrong password. The master password itself is
// kept only as a one-way verifier.
//
// A stored encrypted password reads "$vv1$" and the base64 of nonce, ciphertext and tag. The scrambled
// form never holds a "$", so neither can be taken for the other.
namespace Vault {

// What deriving a key costs: passes over the memory, and the memory in bytes.
struct Cost
{
    quint64 ops = 0;
    quint64 memBytes = 0;

    bool operator==(const Cost &) const = default;
};

constexpr quint64 MinMemory = 64ULL * 1024 * 1024;
// A data file that asks for more is refused: it could make the program take the machine's memory.
constexpr quint64 MaxMemory = 1024ULL * 1024 * 1024;
constexpr quint64 MinOps = 1;
constexpr quint64 MaxOps = 64;
constexpr int SaltBytes = 16;

// The salt, the cost and the verifier of the master password: what a data file carries so that it
// can be opened with the master password alone, on any machine.
struct Params
{
    QByteArray salt;
    Cost cost;
    QString verifier;

    bool operator==(const Params &) const = default;
};

// Readies the cryptographic library; false when it cannot be used (then nothing here works).
bool initialize();

// The cost at which deriving a key takes about targetSeconds here, at the minimum memory.
Cost calibrate(double targetSeconds = 0.7);

// New parameters for a password: a random salt and the password's verifier.
Params create(const QString &password, const Cost &cost);

// The one-way verifier of a password, and whether a password matches one.
QString makeVerifier(const QString &password, const Cost &cost);
bool verify(const QString &verifier, const QString &password);
// Whether a stored master password is a verifier (rather than a scrambled text).
bool isVerifier(QStringView stored);

// Whether a stored password is in the encrypted form, well formed or not: it starts with "$", which
// no scrambled text does, so one whose marker was changed is still no scrambled password.
bool isSealed(QStringView stored);
// The parts of an encrypted password; false for anything but exactly the form sealing writes.
bool parseSealed(QStringView stored, QByteArray &nonce, QByteArray &box);
QString formatSealed(const QByteArray &nonce, const QByteArray &box);
// The longest stored form of a password of this many UTF-8 bytes.
int sealedLength(int plainBytes);

// The parameters as attributes of the data file's vault element, and back. Reading is strict: a
// value out of range, a salt of another length or a verifier of another kind gives false.
QMap<QString, QString> toAttributes(const Params &params);
bool fromAttributes(const QMap<QString, QString> &attributes, Params &params);

// Whether the process keeps secrets now; while it does it leaves no core dump.
int secretsHeld();

} // namespace Vault

// Bytes in memory of their own: locked out of swap, unreadable between uses, wiped when dropped.
class GuardedBytes
{
public:
    explicit GuardedBytes(qsizetype size);
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    ~GuardedBytes();

    qsizetype size() const { return m_size; }
    bool isValid() const { return m_data != nullptr; }

    // Runs use with the bytes readable (writable too with the second form), then locks them again.
    template <typename F> auto read(F use) const
    {
        Unlocked open(*this, false);
        return use(static_cast<const unsigned char *>(m_data));
    }
    template <typename F> auto write(F use)
    {
        Unlocked open(*this, true);
        return use(static_cast<unsigned char *>(m_data));
    }

private:
    struct Unlocked
    {
        Unlocked(const GuardedBytes &bytes, bool writable);
        ~Unlocked();
        const GuardedBytes &bytes;
    };

    void *m_data = nullptr;
    qsizetype m_size = 0;
};

// The key of a vault, derived from the master password and the vault's parameters.
class VaultKey
{
public:
    // Null when the password does not match the parameters' verifier, or the key cannot be made.
    static std::unique_ptr<VaultKey> unlock(const QString &password, const Vault::Params &params);
    // Without checking the verifier (for parameters just made from the password).
    static std::unique_ptr<VaultKey> derive(const QString &password, const Vault::Params &params);

    const Vault::Params &params() const { return m_params; }

    // The stored form of a password, under a fresh nonce.
    QString seal(const QString &plain) const;
    // The password of a stored form; false when it is no well-formed encrypted password or fails
    // authentication under this key.
    bool open(QStringView sealed, QString &plain) const;

private:
    explicit VaultKey(const Vault::Params &params);

    Vault::Params m_params;
    GuardedBytes m_key;
};
