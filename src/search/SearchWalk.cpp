#include "SearchWalk.h"

#include <algorithm>

namespace SearchDetail {

SearchWalk::SearchWalk(const TTargetSearch &targets, WalkEvents &events, std::atomic<quint16> &depth,
                       Platform::WalkReport &report)
    : m_targets(targets), m_events(events), m_depth(depth), m_report(report),
      m_delimiter(PathStyle::native().delimiter())
{
    // The read-only bit needs a stat on POSIX; it can change the answer only when the stored set
    // lacks it or the match is exact. The other bits come with the listing.
    const TAttributeCriteria &attribute = m_targets.Attribute;
    m_needFullAttributes = attribute.ExactMatch() || !(attribute.AttributeBits() & Platform::AttrReadOnly);
    m_needSize = m_targets.Size.HasBounds();
    m_needTimes = m_targets.TimeStamp.HasBounds();
    m_needExclusion = !m_targets.Folders.ExcludedMasks.isEmpty();
    m_needContent = m_targets.Content.PhraseLength() > 0;
    if (m_needContent)
        m_phrase.setPhrase(m_targets.Content.FoldedPhrase(), m_targets.Content.IgnoreCase(), codePageLowerTable());
}

SearchWalk::~SearchWalk() = default;

void SearchWalk::publishDepth(size_t level)
{
    // Depth is 16 bits wide; deeper levels read as the deepest it can tell.
    m_depth.store(quint16(std::min<size_t>(level, 0xFFFF)), std::memory_order_relaxed);
}

void SearchWalk::run()
{
    struct Reset
    {
        SearchWalk *walk;
        ~Reset()
        {
            walk->m_chain.clear();
            walk->publishDepth(0);
        }
    } reset{this};
    const TTargetFolderList &folders = m_targets.Folders;
    for (int i = folders.Count() - 1; i >= 0 && !m_events.stopPending(); --i)
        walkTarget(*folders.Folders(i));
}

void SearchWalk::walkTarget(const TTargetFolder &folder)
{
    m_masks.clear();
    m_masks.reserve(size_t(folder.Masks.size()));
    for (const QString &mask : folder.Masks)
        m_masks.emplace_back(mask);
    m_active = &folder;
    m_path = folder.Path;
    publishDepth(0);
    if (folder.Path.isEmpty() || !m_chain.start(folder.Path)) {
        if (!folder.Path.isEmpty() && !Platform::isMissingError(m_chain.error()))
            m_report.addUnreadable(folder.Path, m_chain.error());
        // Entered all the same: its folder event fires, and nothing in it can be listed.
        publishDepth(1);
        m_events.folderChange(m_path);
        publishDepth(0);
        return;
    }
    if (m_levels.empty())
        m_levels.emplace_back();
    m_levels.front().pathLength = m_path.size();
    enterFolder(0);

    // Depth first without recursion: the deepest level's next subfolder, or back up a level.
    while (m_chain.depth() > 0) {
        const size_t index = size_t(m_chain.depth() - 1);
        Level &here = m_levels[index];
        if (!here.doSubfolders || m_events.stopPending()) {
            leaveFolder();
            continue;
        }
        while (here.next < here.entries.size() && !here.entries[here.next].isDirectory)
            ++here.next;
        if (here.next == here.entries.size()) {
            leaveFolder();
            continue;
        }
        Entry &entry = here.entries[here.next++];
        if (!hasExactName(here, entry)) {
            countSkipped(entry);
            continue;
        }
        if (!m_chain.deepest()) {
            // This folder cannot be opened again (moved or closed meanwhile): none of its other
            // subfolders can be reached either.
            m_report.addUnreadable(m_path, m_chain.error());
            here.doSubfolders = false;
            continue;
        }
        const QByteArrayView name(here.names.constData() + entry.nameOffset, entry.nameLength);
        const Platform::FolderChain::EnterResult entered = m_chain.enter(name);
        if (entered == Platform::FolderChain::Loop)
            continue; // already on the current path: entering it would never end
        m_path.truncate(here.pathLength);
        m_path += Platform::decodeEntryName(name);
        m_path += m_delimiter;
        if (entered == Platform::FolderChain::Failed) {
            if (!Platform::isMissingError(m_chain.error()))
                m_report.addUnreadable(m_path, m_chain.error());
            publishDepth(index + 2);
            m_events.folderChange(m_path);
            publishDepth(index + 1);
            m_path.truncate(here.pathLength);
            continue;
        }
        if (m_levels.size() <= index + 1)
            m_levels.emplace_back();
        m_levels[index + 1].pathLength = m_path.size();
        enterFolder(index + 1);
    }
}

void SearchWalk::leaveFolder()
{
    const size_t index = size_t(m_chain.depth() - 1);
    bool parentNeeded = false;
    if (index > 0) {
        const Level &parent = m_levels[index - 1];
        parentNeeded = parent.doSubfolders && parent.next < parent.entries.size();
        m_path.truncate(parent.pathLength);
    }
    m_chain.leave(parentNeeded);
    publishDepth(index);
}

bool SearchWalk::hasExactName(const Level &lvl, Entry &entry)
{
    if (entry.exactName < 0) {
        const QByteArrayView name(lvl.names.constData() + entry.nameOffset, entry.nameLength);
        entry.exactName = Platform::isExactName(name) ? 1 : 0;
    }
    return entry.exactName != 0;
}

void SearchWalk::countSkipped(Entry &entry)
{
    if (!entry.skipCounted) {
        entry.skipCounted = true;
        ++m_report.skippedNames;
    }
}

void SearchWalk::readEntries(Level &lvl, Platform::DirListing &listing)
{
    while (listing.next()) {
        const QByteArrayView name = listing.nameBytes();
        Entry e;
        e.nameOffset = quint32(lvl.names.size());
        e.nameLength = quint32(name.size());
        lvl.names.append(name.data(), name.size());
        lvl.names.append('\0');
        e.isDirectory = listing.isDirectory();
        e.isLink = listing.isLink();
        e.isRegular = listing.isRegularFile();
        if (listing.infoReady() && listing.info(e.info)) {
            e.infoKnown = true;
            e.attributes = e.info.attributes;
        } else {
            quint32 attributes = 0;
            if (e.isDirectory)
                attributes |= Platform::AttrDirectory;
            if (listing.isHidden())
                attributes |= Platform::AttrHidden;
            if (e.isLink)
                attributes |= Platform::AttrReparsePoint;
            e.attributes = attributes ? attributes : quint32(Platform::AttrNormal);
        }
        lvl.entries.push_back(e);
    }
    if (listing.error() != 0)
        m_report.addUnreadable(m_path, listing.error());
}

bool SearchWalk::accept(Platform::DirListing &listing, const Entry &entry, const TSearchRec &record)
{
    // The order of AcceptFile: attributes, size, times, exclusions, contents.
    const quint32 attributes = m_needFullAttributes ? record.Attr() : record.ListingAttr();
    if (!m_targets.Attribute.Matches(attributes))
        return false;
    if (m_needSize && !m_targets.Size.Matches(record.Size()))
        return false;
    if (m_needTimes &&
        !m_targets.TimeStamp.Matches(record.CreationTime(), record.LastWriteTime(), record.LastAccessTime()))
        return false;
    if (m_needExclusion && m_targets.Folders.IsExcluded(m_path, record.Name()))
        return false;
    if (m_needContent && !m_phrase.containsAt(listing, record.NameBytes(), entry.isRegular))
        return false;
    return true;
}

void SearchWalk::enterFolder(size_t index)
{
    const size_t depth = index + 1; // the target folder is level 1
    publishDepth(depth);
    Level &lvl = m_levels[index];
    lvl.entries.clear();
    lvl.names.clear();
    lvl.next = 0;
    lvl.doSubfolders = false;
    const TFolderIgnore answer = m_events.folderChange(m_path);
    const TTargetFolder &target = *m_active;
    const bool doFiles =
        (answer == fiNone || answer == fiJustSubfolders) && depth >= target.MinLevel && !m_masks.empty();
    const bool doSubfolders = target.Subfolders && (answer == fiNone || answer == fiJustThis) &&
                              (target.MaxLevel == 0 || target.MaxLevel > depth);
    if ((!doFiles && !doSubfolders) || m_events.stopPending())
        return;
    Platform::DirListing *listing = m_chain.deepest(); // just entered: open
    if (!listing)
        return;
    readEntries(lvl, *listing);
    lvl.doSubfolders = doSubfolders;
    if (!doFiles)
        return;

    for (size_t m = m_masks.size(); m-- > 0;) {
        if (m_events.stopPending())
            break;
        const NameMask &mask = m_masks[m];
        for (Entry &e : lvl.entries) {
            if (m_events.stopPending())
                break;
            const char *name = lvl.names.constData() + e.nameOffset;
            if (!mask.matches(QByteArrayView(name, e.nameLength)))
                continue;
            TSearchRec record;
            record.m_nameBytes = QByteArray::fromRawData(name, e.nameLength);
            record.m_listingAttr = e.attributes;
            record.m_folder = listing;
            if (e.infoKnown) {
                record.m_info = e.info;
                record.m_infoKnown = true;
            }
            if (!accept(*listing, e, record))
                continue;
            if (!hasExactName(lvl, e)) {
                countSkipped(e); // a path with its decoded name would lead nowhere
                continue;
            }
            m_phrase.flush(); // the handler finds the files closed
            m_events.fileMatch(m_path, record);
        }
    }
    m_phrase.flush();
}

} // namespace SearchDetail
