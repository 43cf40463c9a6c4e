// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vault.h"

#include <QElapsedTimer>

#include <sodium.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace Vault {

namespace {

constexpr QStringView kMarker = u"$vv1$";
constexpr QStringView kVerifierPrefix = u"$argon2id$";
constexpr int kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr int kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
// Nothing a password field holds comes near this; a longer value is no stored password of ours.
constexpr int kMaxPlainBytes = 4096;
// Bound to every ciphertext, so that a box made for something else of ours never opens as a password.
constexpr unsigned char kAssociated[] = "vantory password v1";
constexpr int kVersion = 1;

std::mutex g_secretsMutex;
int g_secrets = 0;
#ifdef Q_OS_LINUX
rlimit g_coreLimit{};
int g_dumpable = 1;
#endif

// While a secret is in memory a crash must not write it to a core file.
void secretTaken()
{
    const std::lock_guard lock(g_secretsMutex);
    if (g_secrets++ > 0)
        return;
#ifdef Q_OS_LINUX
    getrlimit(RLIMIT_CORE, &g_coreLimit);
    rlimit none{0, g_coreLimit.rlim_max};
    setrlimit(RLIMIT_CORE, &none);
    g_dumpable = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

void secretDropped()
{
    const std::lock_guard lock(g_secretsMutex);
    if (--g_secrets > 0)
        return;
#ifdef Q_OS_LINUX
    setrlimit(RLIMIT_CORE, &g_coreLimit);
    prctl(PR_SET_DUMPABLE, g_dumpable > 0 ? 1 : 0, 0, 0, 0);
#endif
}

QByteArray randomBytes(int n)
{
    QByteArray out(n, Qt::Uninitialized);
    randombytes_buf(out.data(), size_t(n));
    return out;
}

bool validCost(const Cost &cost)
{
    return cost.ops >= MinOps && cost.ops <= MaxOps && cost.memBytes >= MinMemory && cost.memBytes <= MaxMemory &&
           cost.memBytes % 1024 == 0;
}

// A decimal number without sign, leading zeros or anything else.
bool strictNumber(const QString &text, quint64 &value)
{
    if (text.isEmpty() || text.size() > 19 || (text.size() > 1 && text.startsWith(u'0')))
        return false;
    if (!std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    value = text.toULongLong();
    return true;
}

// Base64 as QByteArray writes it, and nothing else: a value with other padding, white space or
// characters is refused, so one stored value has exactly one reading.
bool strictBase64(QStringView text, QByteArray &out)
{
    if (text.isEmpty() || text.size() % 4 != 0)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' || u == '/' ||
              u == '='))
            return false;
    }
    const QByteArray latin = text.toLatin1();
    auto decoded = QByteArray::fromBase64Encoding(latin, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.toBase64() != latin)
        return false;
    out = decoded.decoded;
    return true;
}

bool deriveInto(const QString &password, const Params &params, GuardedBytes &key)
{
    if (!initialize() || params.salt.size() != SaltBytes || !validCost(params.cost) || !key.isValid())
        return false;
    // The UTF-8 form is copied into guarded memory and the ordinary copy wiped at once.
    QByteArray utf8 = password.toUtf8();
    const qsizetype length = utf8.size();
    GuardedBytes typed(std::max<qsizetype>(1, length));
    typed.write([&](unsigned char *p) {
        std::copy(utf8.cbegin(), utf8.cend(), p);
        return 0;
    });
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return typed.read([&](const unsigned char *pw) {
        return key.write([&](unsigned char *k) {
            return crypto_pwhash(k, kKeyBytes, reinterpret_cast<const char *>(pw), quint64(length),
                                 reinterpret_cast<const unsigned char *>(params.salt.constData()), params.cost.ops,
                                 size_t(params.cost.memBytes), crypto_pwhash_ALG_ARGON2ID13) == 0;
        });
    });
}

} // namespace

bool initialize()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

Cost calibrate(double targetSeconds)
{
    // One pass and three passes are timed (the faster of two runs each): the difference is the cost of
    // a pass, the rest what every derivation costs anyway (filling the memory, mostly).
    GuardedBytes key(kKeyBytes);
    const auto timed = [&key](quint64 ops) {
        const Params probe{randomBytes(SaltBytes), {ops, MinMemory}, QString()};
        qint64 best = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 2; ++i) {
            QElapsedTimer timer;
            timer.start();
            deriveInto(QStringLiteral("calibration"), probe, key);
            best = std::min(best, timer.nsecsElapsed());
        }
        return double(best) / 1e9;
    };
    const double one = timed(1);
    const double three = timed(3);
    const double perPass = std::max(1e-4, (three - one) / 2);
    const double fixed = std::max(0.0, one - perPass);
    const auto ops = std::clamp(std::llround((targetSeconds - fixed) / perPass), qint64(MinOps), qint64(MaxOps));
    return {quint64(ops), MinMemory};
}

QString makeVerifier(const QString &password, const Cost &cost)
{
    if (!initialize() || !validCost(cost))
        return QString();
    QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    const int made = crypto_pwhash_str_alg(out, utf8.constData(), quint64(utf8.size()), cost.ops, size_t(cost.memBytes),
                                           crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return made == 0 ? QString::fromLatin1(out) : QString();
}

bool verify(const QString &verifier, const QString &password)
{
    if (!initialize() || !isVerifier(verifier) || verifier.size() >= crypto_pwhash_STRBYTES)
        return false;
    const QByteArray stored = verifier.toLatin1();
    // The cost is the verifier's own: one from elsewhere must not make the program take the machine.
    unsigned long long ops = 0;
    unsigned long mem = 0;
    if (std::sscanf(stored.constData(), "$argon2id$v=19$m=%lu,t=%llu,", &mem, &ops) != 2 ||
        !validCost({ops, quint64(mem) * 1024}))
        return false;
    QByteArray utf8 = password.toUtf8();
    const bool ok = crypto_pwhash_str_verify(stored.constData(), utf8.constData(), quint64(utf8.size())) == 0;
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return ok;
}

bool isVerifier(QStringView stored)
{
    return stored.startsWith(kVerifierPrefix);
}

Params create(const QString &password, const Cost &cost)
{
    initialize();
    return {randomBytes(SaltBytes), cost, makeVerifier(password, cost)};
}

bool isSealed(QStringView stored)
{
    return stored.startsWith(u'$');
}

bool parseSealed(QStringView stored, QByteArray &nonce, QByteArray &box)
{
    if (!stored.startsWith(kMarker) || stored.size() > sealedLength(kMaxPlainBytes))
        return false;
    QByteArray bytes;
    if (!strictBase64(stored.sliced(kMarker.size()), bytes) || bytes.size() < kNonceBytes + kTagBytes)
        return false;
    nonce = bytes.first(kNonceBytes);
    box = bytes.sliced(kNonceBytes);
    return true;
}

QString formatSealed(const QByteArray &nonce, const QByteArray &box)
{
    const QByteArray bytes = nonce + box;
    return kMarker.toString() + QString::fromLatin1(bytes.toBase64());
}

int sealedLength(int plainBytes)
{
    return int(kMarker.size()) + 4 * ((kNonceBytes + kTagBytes + plainBytes + 2) / 3);
}

QMap<QString, QString> toAttributes(const Params &params)
{
    return {{QStringLiteral("version"), QString::number(kVersion)},
            {QStringLiteral("kdf"), QStringLiteral("argon2id")},
            {QStringLiteral("salt"), QString::fromLatin1(params.salt.toBase64())},
            {QStringLiteral("ops"), QString::number(params.cost.ops)},
            {QStringLiteral("mem"), QString::number(params.cost.memBytes)},
            {QStringLiteral("verifier"), params.verifier}};
}

bool fromAttributes(const QMap<QString, QString> &attributes, Params &params)
{
    const QStringList names{QStringLiteral("version"), QStringLiteral("kdf"), QStringLiteral("salt"),
                            QStringLiteral("ops"),     QStringLiteral("mem"), QStringLiteral("verifier")};
    if (attributes.size() != names.size() ||
        !std::all_of(names.cbegin(), names.cend(), [&](const QString &n) { return attributes.contains(n); }))
        return false;
    if (attributes.value(QStringLiteral("version")) != QString::number(kVersion) ||
        attributes.value(QStringLiteral("kdf")) != QStringLiteral("argon2id"))
        return false;
    Params read;
    if (!strictBase64(attributes.value(QStringLiteral("salt")), read.salt) || read.salt.size() != SaltBytes)
        return false;
    if (!strictNumber(attributes.value(QStringLiteral("ops")), read.cost.ops) ||
        !strictNumber(attributes.value(QStringLiteral("mem")), read.cost.memBytes) || !validCost(read.cost))
        return false;
    read.verifier = attributes.value(QStringLiteral("verifier"));
    if (!isVerifier(read.verifier) || read.verifier.size() >= crypto_pwhash_STRBYTES)
        return false;
    params = read;
    return true;
}

int secretsHeld()
{
    const std::lock_guard lock(g_secretsMutex);
    return g_secrets;
}

} // namespace Vault

GuardedBytes::GuardedBytes(qsizetype size) : m_size(size)
{
    if (!Vault::initialize() || size <= 0)
        return;
    m_data = sodium_malloc(size_t(size));
    if (!m_data)
        return;
    Vault::secretTaken();
    sodium_memzero(m_data, size_t(size));
    sodium_mprotect_noaccess(m_data);
}

GuardedBytes::~GuardedBytes()
{
    if (!m_data)
        return;
    // sodium_free wipes the bytes before it gives the memory back.
    sodium_mprotect_readwrite(m_data);
    sodium_free(m_data);
    Vault::secretDropped();
}

GuardedBytes::Unlocked::Unlocked(const GuardedBytes &b, bool writable) : bytes(b)
{
    if (bytes.m_data)
        writable ? sodium_mprotect_readwrite(bytes.m_data) : sodium_mprotect_readonly(bytes.m_data);
}

GuardedBytes::Unlocked::~Unlocked()
{
    if (bytes.m_data)
        sodium_mprotect_noaccess(bytes.m_data);
}

VaultKey::VaultKey(const Vault::Params &params) : m_params(params), m_key(Vault::kKeyBytes)
{
}

std::unique_ptr<VaultKey> VaultKey::derive(const QString &password, const Vault::Params &params)
{
    std::unique_ptr<VaultKey> key(new VaultKey(params));
    if (!Vault::deriveInto(password, params, key->m_key))
        return nullptr;
    return key;
}

std::unique_ptr<VaultKey> VaultKey::unlock(const QString &password, const Vault::Params &params)
{
    if (!Vault::verify(params.verifier, password))
        return nullptr;
    return derive(password, params);
}

QString VaultKey::seal(const QString &plain) const
{
    using namespace Vault;
    QByteArray utf8 = plain.toUtf8();
    const QByteArray nonce = randomBytes(kNonceBytes);
    QByteArray box(utf8.size() + kTagBytes, Qt::Uninitialized);
    m_key.read([&](const unsigned char *k) {
        unsigned long long written = 0;
        return crypto_aead_xchacha20poly1305_ietf_encrypt(
            reinterpret_cast<unsigned char *>(box.data()), &written,
            reinterpret_cast<const unsigned char *>(utf8.constData()), quint64(utf8.size()), kAssociated,
            sizeof kAssociated - 1, nullptr, reinterpret_cast<const unsigned char *>(nonce.constData()), k);
    });
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return formatSealed(nonce, box);
}

bool VaultKey::open(QStringView sealed, QString &plain) const
{
    using namespace Vault;
    QByteArray nonce, box;
    if (!parseSealed(sealed, nonce, box))
        return false;
    QByteArray utf8(box.size() - kTagBytes, Qt::Uninitialized);
    const bool opened = m_key.read([&](const unsigned char *k) {
        unsigned long long written = 0;
        return crypto_aead_xchacha20poly1305_ietf_decrypt(
                   reinterpret_cast<unsigned char *>(utf8.data()), &written, nullptr,
                   reinterpret_cast<const unsigned char *>(box.constData()), quint64(box.size()), kAssociated,
                   sizeof kAssociated - 1, reinterpret_cast<const unsigned char *>(nonce.constData()), k) == 0;
    });
    if (!opened)
        return false;
    plain = QString::fromUtf8(utf8);
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return true;
}
