#include "OpenFileTable.h"

namespace qb {

namespace {

bool holds(const std::map<OpenFileTable::FileId, int>& entries, const OpenFileTable::FileId& id)
{
    const auto it = entries.find(id);
    return it != entries.end() && it->second > 0;
}

void release(std::map<OpenFileTable::FileId, int>& entries, const OpenFileTable::FileId& id)
{
    const auto it = entries.find(id);
    if (it != entries.end() && --it->second <= 0)
        entries.erase(it);
}

} // namespace

bool OpenFileTable::mayOpen(const FileId& id, Access access) const
{
    // A reader denies others writing, and a writer holds write access: so a writer excludes everybody,
    // while readers only exclude writers.
    if (access == Access::Read)
        return !holds(m_writers, id);
    return !holds(m_writers, id) && !holds(m_readers, id);
}

bool OpenFileTable::contains(const FileId& id) const
{
    return holds(m_readers, id) || holds(m_writers, id);
}

void OpenFileTable::add(const FileId& id, Access access)
{
    ++(access == Access::Read ? m_readers : m_writers)[id];
}

void OpenFileTable::remove(const FileId& id, Access access)
{
    release(access == Access::Read ? m_readers : m_writers, id);
}

int OpenFileTable::count() const
{
    int total = 0;
    for (const auto& entry : m_readers)
        total += entry.second;
    for (const auto& entry : m_writers)
        total += entry.second;
    return total;
}

} // namespace qb
