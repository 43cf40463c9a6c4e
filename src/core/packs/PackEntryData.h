// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackReader.h"
#include "core/platform/Status.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// The bytes of one entry of a pack, found by its place: the entry's path in the pack, then, when
// it lies in packs nested in that one, its path inside each of them ({"inner.zip", "a.txt"}). The
// bytes are streamed in chunks with PackReader, under its limits: never held whole.
namespace PackEntryData {

// Takes each chunk; false stops the reading (it counts as cancelled).
using Sink = std::function<bool(const char *data, qint64 size)>;

// Finds the entry and hands its bytes to sink. The first entry of that path is taken. On failure
// (the pack is damaged or gone, the entry locked or refused by the limits, no longer there, the
// stop flag raised) the reason names the pack and the entry; sink may have had part of the bytes.
// header, when given, receives the entry's header once it is found.
Status read(const QString &packPath, const QStringList &inner, const Sink &sink,
            const std::atomic<bool> *stop = nullptr, PackEntry *header = nullptr,
            const PackLimits &limits = PackLimits());

// Writes the entry's bytes to a new file at target, which appears only once it is whole: after a
// failure or a stop nothing is left there.
Status extract(const QString &packPath, const QStringList &inner, const QString &target,
               const std::atomic<bool> *stop = nullptr);

// The entry's own name: the last part of its innermost path ("a.txt" for {"in.zip", "docs/a.txt"}).
QString entryName(const QStringList &inner);

} // namespace PackEntryData
