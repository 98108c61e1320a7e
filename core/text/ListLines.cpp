#include "ListLines.h"

#include <algorithm>

namespace qb {

void ListLines::push_back(std::string_view line)
{
    m_bytes.append(line);
    m_ends.push_back(m_bytes.size());
}

bool ListLines::beginsOf(const ListLines& other) const
{
    return size() <= other.size() && std::equal(m_ends.begin(), m_ends.end(), other.m_ends.begin()) &&
           std::string_view(other.m_bytes).substr(0, m_bytes.size()) == m_bytes;
}

} // namespace qb
