// SPDX-License-Identifier: GPL-3.0-or-later
// The pack reader on any bytes: every entry is read to its end, and every entry is tried as a pack
// of its own (nested, as deep as the limits allow), under limits small enough for a fuzzer. Beyond
// not crashing, what it reports has to hold together: no bytes past an entry's end or after a
// failure, a stopped pack stays stopped, and the tally stays within the limits.
#include "core/packs/PackReader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "pack_reader: %s\n", what);
    fflush(stderr);
    abort();
}

PackLimits fuzzLimits()
{
    PackLimits limits;
    limits.ratioFloor = 1024 * 1024;
    limits.maxOutput = 32 * 1024 * 1024;
    limits.maxEntries = 2000;
    limits.maxHeldNested = 4 * 1024 * 1024;
    return limits;
}

void readEntry(PackReader &reader)
{
    QByteArray chunk;
    qint64 total = 0;
    while (reader.readChunk(chunk)) {
        if (chunk.size() > PackReader::chunkSize())
            fail("a chunk larger than asked for");
        total += chunk.size();
    }
    if (!chunk.isEmpty())
        fail("bytes after the end of an entry");
    char byte;
    const qint64 again = reader.read(&byte, 1);
    if (reader.entryStatus() == PackStatus::Ok ? again != 0 : again != -1)
        fail("an entry read again after its end");
    (void)total;
}

void walk(PackReader &reader)
{
    while (reader.nextEntry()) {
        if (reader.entry().path.isEmpty())
            fail("an entry without a path");
        // Every other entry is tried as a pack, the rest read as data; an entry that is no pack
        // is used up by the try, which must leave the outer reader going.
        if (reader.tally().entries % 2 == 0) {
            PackReader inner;
            if (inner.openNested(reader)) {
                if (inner.depth() != reader.depth() + 1)
                    fail("a nested pack at the wrong depth");
                walk(inner);
            }
        } else {
            readEntry(reader);
        }
    }
    if (reader.nextEntry())
        fail("an entry after the end");
    if (reader.status() != PackStatus::Ok && reader.error().isEmpty())
        fail("a failure without a text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    PackReader reader(fuzzLimits());
    if (reader.openBytes(bytes, QStringLiteral("fuzz")))
        walk(reader);
    const PackTally tally = reader.tally();
    const PackLimits limits = fuzzLimits();
    if (tally.entries > limits.maxEntries + 1)
        fail("more entries than the limit");
    // Past the limit by at most what one block of input expands to.
    if (tally.output > limits.maxOutput + 2048 * PackReader::chunkSize())
        fail("more output than the limit");
    return 0;
}
