#include "SearchWalk.h"

namespace SearchDetail {

namespace {
// Decreases the depth on every way out of SearchFolder, an escaping error included.
class DepthGuard
{
public:
    explicit DepthGuard(quint16 &depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;

private:
    quint16 &m_depth;
};

#ifdef Q_OS_WIN
constexpr bool kCheckEveryFolder = false; // only reparse points can lead back; ids cost a handle
#else
constexpr bool kCheckEveryFolder = true;  // bind mounts lead back without a link; ids cost an fstat
#endif
} // namespace

SearchWalk::SearchWalk(const TTargetSearch &targets, WalkEvents &events, quint16 &depth,
                       TTargetFolder *&activeFolder)
    : m_targets(targets)
    , m_events(events)
    , m_depth(depth)
    , m_activeFolder(activeFolder)
    , m_delimiter(PathStyle::native().delimiter())
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

SearchWalk::Level &SearchWalk::level(size_t index)
{
    while (m_levels.size() <= index)
        m_levels.push_back(std::make_unique<Level>());
    return *m_levels[index];
}

void SearchWalk::run()
{
    const TTargetFolderList &folders = m_targets.Folders;
    for (int i = folders.Count() - 1; i >= 0 && !m_events.stopPending(); --i) {
        TTargetFolder *folder = folders.Folders(i);
        PreparedTarget prepared;
        prepared.masks.reserve(size_t(folder->Masks.size()));
        for (const QString &mask : folder->Masks)
            prepared.masks.emplace_back(mask);
        m_prepared = &prepared;
        m_depth = 0;
        m_activeFolder = folder;
        Level &top = level(0);
        top.path = folder->Path;
        top.idKnown = false;
        top.listing.close();
        if (!folder->Path.isEmpty())
            top.listing.open(folder->Path);
        searchFolder(0);
        top.listing.close();
        m_prepared = nullptr;
    }
}

void SearchWalk::readEntries(Level &lvl)
{
    lvl.entries.clear();
    lvl.names.clear();
    Platform::DirListing &listing = lvl.listing;
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
}

bool SearchWalk::accept(Level &lvl, const Entry &entry, const TSearchRec &record)
{
    // The order of AcceptFile: attributes, size, times, exclusions, contents.
    const quint32 attributes = m_needFullAttributes ? record.Attr() : record.ListingAttr();
    if (!m_targets.Attribute.Matches(attributes))
        return false;
    if (m_needSize && !m_targets.Size.Matches(record.Size()))
        return false;
    if (m_needTimes
        && !m_targets.TimeStamp.Matches(record.CreationTime(), record.LastWriteTime(), record.LastAccessTime()))
        return false;
    if (m_needExclusion && m_targets.Folders.IsExcluded(lvl.path, record.Name()))
        return false;
    if (m_needContent && !m_phrase.containsAt(lvl.listing, record.NameBytes(), entry.isRegular))
        return false;
    return true;
}

bool SearchWalk::isOnPath(size_t childIndex)
{
    Level &child = *m_levels[childIndex];
    child.id = child.listing.folderId();
    child.idKnown = true;
    if (!child.id.valid)
        return false;
    for (size_t k = 0; k < childIndex; ++k) {
        Level &ancestor = *m_levels[k];
        if (!ancestor.idKnown) {
            ancestor.id = ancestor.listing.folderId();
            ancestor.idKnown = true;
        }
        if (ancestor.id == child.id)
            return true;
    }
    return false;
}

void SearchWalk::searchFolder(size_t index)
{
    DepthGuard depthGuard(m_depth);
    const TFolderIgnore answer = m_events.folderChange(m_levels[index]->path);
    const TTargetFolder &target = *m_activeFolder;
    const bool doFiles = (answer == fiNone || answer == fiJustSubfolders) && m_depth >= target.MinLevel
        && !m_prepared->masks.empty();
    const bool doSubfolders = target.Subfolders && (answer == fiNone || answer == fiJustThis)
        && (target.MaxLevel == 0 || target.MaxLevel > m_depth);
    if (!doFiles && !doSubfolders)
        return;
    Level *lvl = m_levels[index].get();
    if (!lvl->listing.isOpen() || m_events.stopPending())
        return;
    readEntries(*lvl);

    if (doFiles) {
        const std::vector<NameMask> &masks = m_prepared->masks;
        for (size_t m = masks.size(); m-- > 0;) {
            if (m_events.stopPending())
                break;
            const NameMask &mask = masks[m];
            for (const Entry &e : lvl->entries) {
                if (m_events.stopPending())
                    break;
                const char *name = lvl->names.constData() + e.nameOffset;
                if (!mask.matches(QByteArrayView(name, e.nameLength)))
                    continue;
                TSearchRec record;
                record.m_nameBytes = QByteArray::fromRawData(name, e.nameLength);
                record.m_listingAttr = e.attributes;
                record.m_folder = &lvl->listing;
                if (e.infoKnown) {
                    record.m_info = e.info;
                    record.m_infoKnown = true;
                }
                if (accept(*lvl, e, record)) {
                    m_phrase.flush(); // the handler finds the files closed
                    m_events.fileMatch(lvl->path, record);
                }
            }
        }
        m_phrase.flush();
    }

    if (doSubfolders) {
        for (size_t k = 0; k < lvl->entries.size(); ++k) {
            if (m_events.stopPending())
                break;
            const Entry &e = lvl->entries[k];
            if (!e.isDirectory)
                continue;
            const QByteArrayView name(lvl->names.constData() + e.nameOffset, e.nameLength);
            Level &child = level(index + 1);
            lvl = m_levels[index].get(); // level() may have grown the vector (the levels stay put)
            child.idKnown = false;
            if (child.listing.openAt(lvl->listing, name)) {
                if ((kCheckEveryFolder || e.isLink) && isOnPath(index + 1)) {
                    child.listing.close();
                    continue; // already on the current path: entering it would never end
                }
            }
            child.path = lvl->path + Platform::decodeEntryName(name) + m_delimiter;
            searchFolder(index + 1);
            child.listing.close();
        }
    }
}

} // namespace SearchDetail
