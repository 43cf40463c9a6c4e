// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// One line of text around the first place a phrase occurs in a file, in an entry of a pack or in a
// document's text: what the result list shows of a content match. Line breaks and runs of white
// space (and control characters) are shown as one space, and bytes that are no UTF-8 are decoded
// safely. The phrase is matched as the search matches it: a phrase of ASCII characters byte for
// byte, with A-Z folded when case is ignored; any other phrase by the simple case fold of each
// character.
struct MatchPreviewText
{
    QString before;
    QString match;
    QString after;
    bool cutBefore = false; // more text lies before what before shows
    bool cutAfter = false;  // more text follows what after shows

    friend bool operator==(const MatchPreviewText &, const MatchPreviewText &) = default;
};

struct MatchPreviewRequest
{
    QString path;      // the file on disk; for an entry of a pack, the pack
    QStringList inner; // the entry's path in the pack, then inside each nested pack; empty for a file
    QString phrase;
    bool ignoreCase = true;
    // Documents on disk (PDF, DOCX, ODT, EPUB, HTML) are looked through by their text, as a search
    // inside packs and documents does; otherwise by their bytes. Documents inside packs always are.
    bool documentText = true;
    // The text cache the search kept what it read in (TextCache); the text of an entry or a
    // document is taken from there while the file is as it was. Empty: always read.
    QString textCacheFile;
};

namespace MatchPreview {

// Characters shown at most on either side of the match.
constexpr qsizetype kContextChars = 40;

// The text around the first match, or nothing when there is none, the source cannot be read or
// the stop flag was raised. A plain file is read in chunks up to its first match.
std::optional<MatchPreviewText> find(const MatchPreviewRequest &request, const std::atomic<bool> *stop = nullptr);

} // namespace MatchPreview
