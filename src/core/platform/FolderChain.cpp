// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderChain.h"

#include <algorithm>

namespace Platform {

FolderChain::FolderChain()
{
    std::fill(m_owner, m_owner + kMaxOpen, -1);
}

FolderChain::~FolderChain() = default;

void FolderChain::clear()
{
    for (int i = 0; i < kMaxOpen; ++i) {
        m_slots[i].close();
        m_owner[i] = -1;
    }
    m_steps[0].close();
    m_steps[1].close();
    m_levels.clear();
    m_names.clear();
    m_deepIds.clear();
    m_start.clear();
}

bool FolderChain::start(const QString &folder)
{
    clear();
    m_error = 0;
    DirListing &top = m_slots[0];
    if (!top.open(folder)) {
        m_error = top.error();
        return false;
    }
    m_start = folder;
    Level level;
    level.id = top.folderId();
    m_levels.push_back(level);
    m_owner[0] = 0;
    return true;
}

bool FolderChain::isOnChain(const FolderId &id) const
{
    const size_t linear = std::min(m_levels.size(), kLinearLevels);
    for (size_t k = 0; k < linear; ++k) {
        if (m_levels[k].id == id)
            return true;
    }
    return m_levels.size() > kLinearLevels && m_deepIds.count(id) != 0;
}

bool FolderChain::isOpen(int level) const
{
    const int s = level % kMaxOpen;
    return m_owner[s] == level && m_slots[s].isOpen();
}

QByteArrayView FolderChain::nameOf(const Level &level) const
{
    return QByteArrayView(m_names.constData() + level.nameOffset, level.nameLength);
}

bool FolderChain::sameFolder(const DirListing &listing, const Level &level) const
{
    const FolderId id = listing.folderId();
    return !id.valid || !level.id.valid || id == level.id;
}

bool FolderChain::openInto(DirListing &target, DirListing &parent, QByteArrayView name)
{
    if (target.openAt(parent, name))
        return true;
    int code = target.error();
    if (isOutOfHandlesError(code)) {
        // Others in the process hold most of the open files: hold only the folder needed now and
        // open the others again when the walk comes back to them.
        for (int i = 0; i < kMaxOpen; ++i) {
            if (&m_slots[i] != &parent && &m_slots[i] != &target) {
                m_slots[i].close();
                m_owner[i] = -1;
            }
        }
        if (target.openAt(parent, name))
            return true;
        code = target.error();
    }
    m_error = code;
    return false;
}

FolderChain::EnterResult FolderChain::enter(QByteArrayView name)
{
    m_error = 0;
    DirListing *parent = deepest();
    if (!parent)
        return Failed;
    const int level = depth();
    DirListing &child = slot(level);
    // The slot may hold a folder higher up: it is opened again when the walk comes back to it.
    m_owner[level % kMaxOpen] = -1;
    if (!openInto(child, *parent, name))
        return Failed;
    Level entered;
    entered.id = child.folderId();
    if (entered.id.valid && isOnChain(entered.id)) {
        child.close();
        return Loop;
    }
    entered.nameOffset = m_names.size();
    entered.nameLength = name.size();
    m_names.append(name.data(), name.size());
    m_levels.push_back(entered);
    m_owner[level % kMaxOpen] = level;
    if (entered.id.valid && size_t(level) >= kLinearLevels)
        m_deepIds.insert(entered.id);
    return Entered;
}

void FolderChain::leave(bool parentNeeded)
{
    const int level = depth() - 1;
    if (level < 0)
        return;
    const int s = level % kMaxOpen;
    const bool open = isOpen(level);
    if (parentNeeded && open && level > 0 && !isOpen(level - 1)) {
        // ".." of a folder entered through a link is the link target's parent, not ours: the
        // identity tells, and deepest() then comes down by name from above instead.
        DirListing &parent = slot(level - 1);
        const int ps = (level - 1) % kMaxOpen;
        m_owner[ps] = -1;
        if (parent.openAt(m_slots[s], "..") && sameFolder(parent, m_levels[size_t(level - 1)]))
            m_owner[ps] = level - 1;
        else
            parent.close();
    }
    if (open) {
        m_slots[s].close();
        m_owner[s] = -1;
    }
    const Level &left = m_levels.back();
    if (left.id.valid && size_t(level) >= kLinearLevels)
        m_deepIds.erase(left.id);
    m_names.truncate(left.nameOffset);
    m_levels.pop_back();
}

DirListing *FolderChain::deepest()
{
    const int level = depth() - 1;
    if (level < 0)
        return nullptr;
    if (!isOpen(level) && !reopen(level))
        return nullptr;
    return &slot(level);
}

bool FolderChain::reopen(int level)
{
    struct StepsClosed
    {
        DirListing *steps;
        ~StepsClosed()
        {
            steps[0].close();
            steps[1].close();
        }
    } stepsClosed{m_steps};

    const int target = level % kMaxOpen;
    m_owner[target] = -1;
    // Down from the nearest folder above that is still open; the start folder by its path when
    // none is.
    int from = level - 1;
    while (from >= 0 && !isOpen(from))
        --from;
    DirListing *current = nullptr;
    if (from < 0) {
        DirListing &top = level == 0 ? m_slots[target] : m_steps[0];
        if (!top.open(m_start)) {
            m_error = top.error();
            return false;
        }
        if (!sameFolder(top, m_levels.front())) {
            top.close();
            m_error = folderChangedError();
            return false;
        }
        from = 0;
        current = &top;
    } else {
        current = &slot(from);
    }
    for (int k = from + 1; k <= level; ++k) {
        DirListing &next = k == level ? m_slots[target] : m_steps[k & 1];
        if (!openInto(next, *current, nameOf(m_levels[size_t(k)])))
            return false;
        if (!sameFolder(next, m_levels[size_t(k)])) {
            next.close();
            m_error = folderChangedError();
            return false;
        }
        current = &next;
    }
    m_owner[target] = level;
    return true;
}

QString FolderChain::path(QByteArrayView name) const
{
    QString result = m_start;
    const auto append = [&result](QByteArrayView part) {
        if (!result.isEmpty() && !endsWithSeparator(result))
            result += nativeSeparator();
        result += decodeEntryName(part);
    };
    for (size_t k = 1; k < m_levels.size(); ++k)
        append(nameOf(m_levels[k]));
    if (!name.isEmpty())
        append(name);
    return result;
}

} // namespace Platform
