// SPDX-License-Identifier: GPL-3.0-or-later
// What the directory walker does the same way on every system; the system's own calls are in
// DirListingPosix.cpp and DirListingWindows.cpp.
#include "DirListing.h"
#include "DirListingInternal.h"

#include <QDir>
#include <QFile>

#include <atomic>

namespace Platform {

namespace {
std::atomic<qint64> g_readCalls{0};
} // namespace

void countRead()
{
    g_readCalls.fetch_add(1, std::memory_order_relaxed);
}

qint64 DirListing::readCalls()
{
    return g_readCalls.load(std::memory_order_relaxed);
}

void WalkReport::addUnreadable(const QString &path, int code)
{
    if (unreadableFolders++ == 0) {
        firstErrorPath = path;
        firstErrorReason = qt_error_string(code);
    }
}

QChar nativeSeparator()
{
    return QDir::separator();
}

bool endsWithSeparator(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QChar last = path.back();
#ifdef Q_OS_WIN
    return last == u'\\' || last == u'/';
#else
    return last == u'/';
#endif
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || endsWithSeparator(folder))
        return folder + name;
    return folder + nativeSeparator() + name;
}

QString DirListing::name() const
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(m_name);
#else
    return QFile::decodeName(m_name.toByteArray());
#endif
}

bool DirListing::isHidden() const
{
#ifdef Q_OS_WIN
    return reinterpret_cast<const WIN32_FIND_DATAW *>(m_findData)->dwFileAttributes & FILE_ATTRIBUTE_HIDDEN;
#else
    return !m_name.isEmpty() && m_name.front() == '.';
#endif
}

bool DirListing::isLink() const
{
    return m_type == 3;
}

bool DirListing::nameIsExact() const
{
    return isExactName(m_name);
}

bool isExactName(QByteArrayView name)
{
    // ASCII is spelt the same in every encoding a system may use for names, and most names are
    // ASCII: that is tested eight bytes at a time.
    const char *p = name.data();
    const qsizetype n = name.size();
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        memcpy(&word, p + i, 8);
        seen |= word;
    }
    for (; i < n; ++i)
        seen |= static_cast<unsigned char>(p[i]);
    if (!(seen & 0x8080808080808080ULL))
        return true;
    // Decoding replaces what the encoding cannot represent; only a name that comes back byte for
    // byte can be given to the system again as part of a path.
    const QString decoded = decodeEntryName(name);
#ifdef Q_OS_WIN
    return decoded.toUtf8() == name;
#else
    return QFile::encodeName(decoded) == name;
#endif
}

} // namespace Platform
