// SPDX-License-Identifier: GPL-3.0-or-later
#include "Encode.h"

namespace {

// Every password ever stored was scrambled with these two values and can only be restored or matched
// with them: they must never change.
constexpr unsigned kInitialKey = 0x9E;
constexpr unsigned kKeyMultiplier = 0x35;

constexpr char kMarkerLow = 0x32;  // "2": scrambled byte below 128
constexpr char kMarkerHigh = 0x33; // "3": scrambled byte of 128 or more
constexpr unsigned kPayloadBase = 0x41;

} // namespace

QByteArray encodeBytes(QByteArrayView source)
{
    // The running key is advanced with the scrambled byte, not the source byte, so a reader can follow
    // it from the scrambled text alone. The counter is as wide as the text: long texts are never cut.
    QByteArray result(source.size() * 2, Qt::Uninitialized);
    char *out = result.data();
    unsigned key = kInitialKey;
    for (const char c : source) {
        const unsigned y = (static_cast<unsigned char>(c) + key) & 0xFF;
        key = (key + kKeyMultiplier * y) & 0xFF;
        *out++ = y < 128 ? kMarkerLow : kMarkerHigh;
        *out++ = static_cast<char>(kPayloadBase + (y & 0x7F));
    }
    return result;
}

QByteArray decodeBytes(QByteArrayView scrambled)
{
    const qsizetype pairs = scrambled.size() / 2;
    QByteArray result(pairs, Qt::Uninitialized);
    char *out = result.data();
    unsigned key = kInitialKey;
    for (qsizetype i = 0; i < pairs; ++i) {
        const unsigned marker = static_cast<unsigned char>(scrambled[2 * i]);
        const unsigned payload = static_cast<unsigned char>(scrambled[2 * i + 1]);
        // Only the marker's lowest bit counts ("2" is even, "3" odd); a payload outside its range
        // simply wraps around.
        const unsigned y = ((marker & 1) * 128 + payload - kPayloadBase) & 0xFF;
        *out++ = static_cast<char>((y - key) & 0xFF);
        key = (key + kKeyMultiplier * y) & 0xFF;
    }
    return result;
}

QString EncodeStr(const QString &text)
{
    return QString::fromLatin1(encodeBytes(text.toLocal8Bit()));
}

QString DecodeStr(const QString &scrambled)
{
    return QString::fromLocal8Bit(decodeBytes(scrambled.toLatin1()));
}
