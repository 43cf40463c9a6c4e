// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackEntryData.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <memory>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackEntryData", text);
}

bool stopped(const std::atomic<bool> *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

Status cancelled()
{
    return Status::failure(tr("Cancelled"));
}

Status streamEntry(PackReader &reader, const PackEntryData::Sink &sink, const std::atomic<bool> *stop)
{
    const std::unique_ptr<char[]> buffer(new char[PackReader::chunkSize()]);
    for (;;) {
        if (stopped(stop))
            return cancelled();
        const qint64 n = reader.read(buffer.get(), PackReader::chunkSize());
        if (n < 0)
            return stopped(stop) ? cancelled() : Status::failure(reader.error());
        if (n == 0)
            return {};
        if (!sink(buffer.get(), n))
            return cancelled();
    }
}

// Looks through reader for inner[level]; goes into a nested pack for every level but the last.
Status readLevel(PackReader &reader, const QStringList &inner, qsizetype level, const PackEntryData::Sink &sink,
                 const std::atomic<bool> *stop, PackEntry *header)
{
    const QString &wanted = inner.at(level);
    while (reader.nextEntry()) {
        const PackEntry &entry = reader.entry();
        if (entry.isFolder || entry.path != wanted)
            continue;
        if (level + 1 < inner.size()) {
            PackReader nested(reader.limits());
            if (!nested.openNested(reader))
                return stopped(stop) ? cancelled() : Status::failure(nested.error());
            return readLevel(nested, inner, level + 1, sink, stop, header);
        }
        if (header)
            *header = entry;
        return streamEntry(reader, sink, stop);
    }
    if (stopped(stop) || reader.status() == PackStatus::Cancelled)
        return cancelled();
    if (reader.status() != PackStatus::Ok)
        return Status::failure(reader.error());
    return Status::failure(tr("%1 › %2 is no longer there").arg(reader.name(), wanted));
}

} // namespace

namespace PackEntryData {

Status read(const QString &packPath, const QStringList &inner, const Sink &sink, const std::atomic<bool> *stop,
            PackEntry *header, const PackLimits &limits)
{
    if (inner.isEmpty())
        return Status::failure(tr("No entry of %1 was named").arg(packPath));
    PackReader reader(limits);
    reader.setStopFlag(stop);
    if (!reader.open(packPath))
        return stopped(stop) ? cancelled() : Status::failure(reader.error());
    return readLevel(reader, inner, 0, sink, stop, header);
}

Status extract(const QString &packPath, const QStringList &inner, const QString &target, const std::atomic<bool> *stop)
{
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(file.errorString());
    bool written = true;
    const Status read = PackEntryData::read(
        packPath, inner,
        [&file, &written](const char *data, qint64 size) {
            written = file.write(data, size) == size;
            return written;
        },
        stop);
    if (!written) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Status::failure(why);
    }
    if (!read) {
        file.cancelWriting();
        return read;
    }
    if (!file.commit())
        return Status::failure(file.errorString());
    return {};
}

QString entryName(const QStringList &inner)
{
    if (inner.isEmpty())
        return {};
    const QString &path = inner.last();
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace PackEntryData
