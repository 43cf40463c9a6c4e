// SPDX-License-Identifier: GPL-3.0-or-later
// The password scrambling on any input. The input is read twice: as bytes (encodeBytes/decodeBytes)
// and as UTF-16 units, so that DecodeStr also meets characters beyond Latin-1, halves of surrogate
// pairs and NULs, as a damaged data file or settings file could hand it.
#include "core/security/Encode.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    fprintf(stderr, "decode_str: %s\n%s\n", what, detail.toHex(' ').constData());
    fflush(stderr);
    abort();
}

void checkBytes(QByteArrayView bytes)
{
    const QByteArray scrambled = encodeBytes(bytes);
    if (scrambled.size() != 2 * bytes.size())
        fail("the scrambled bytes are not twice as long", bytes.toByteArray());
    for (qsizetype i = 0; i < scrambled.size(); i += 2) {
        const unsigned char marker = static_cast<unsigned char>(scrambled[i]);
        const unsigned char payload = static_cast<unsigned char>(scrambled[i + 1]);
        if ((marker != '2' && marker != '3') || payload < 0x41 || payload > 0xC0)
            fail("a scrambled pair outside its characters", bytes.toByteArray());
    }
    if (decodeBytes(scrambled) != bytes)
        fail("scrambled bytes do not restore", bytes.toByteArray());
    // Any input restores to half its length; a trailing odd byte is ignored.
    const QByteArray restored = decodeBytes(bytes);
    if (restored.size() != bytes.size() / 2)
        fail("restored bytes of the wrong length", bytes.toByteArray());
    if (bytes.size() % 2 == 1 && decodeBytes(bytes.first(bytes.size() - 1)) != restored)
        fail("a trailing odd byte changes what is restored", bytes.toByteArray());
}

void checkText(const QString &text, const QByteArray &input)
{
    // Characters beyond Latin-1 count as '?'.
    QString latin1 = text;
    for (QChar &c : latin1)
        if (c.unicode() > 0xFF)
            c = u'?';
    const QString decoded = DecodeStr(text);
    if (decoded != DecodeStr(latin1))
        fail("a character beyond Latin-1 does not count as '?'", input);

    // A text whose local 8-bit form spells it exactly (no unpaired surrogates) comes back as it was.
    const QByteArray local = text.toLocal8Bit();
    if (QString::fromLocal8Bit(local) == text) {
        const QString scrambled = EncodeStr(text);
        for (QChar c : scrambled)
            if (c.unicode() <= 0x20)
                fail("a scrambled text holds a NUL, an ASCII control character or a space", input);
        if (DecodeStr(scrambled) != text)
            fail("a scrambled text does not restore", input);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkBytes(bytes);
    QString units(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2)
        units[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    checkText(units, bytes);
    checkText(QString::fromUtf8(bytes), bytes);
    return 0;
}
