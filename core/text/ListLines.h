#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// Lines held back to back in one buffer, each found by where it ends: a list of a million names takes its bytes and an
// offset a name, where a string a name would take a block of memory each.
class ListLines
{
public:
    ListLines() = default;
    // `bytes` holds the lines back to back; `ends` where each ends, in order.
    ListLines(std::string bytes, std::vector<std::size_t> ends) : m_bytes(std::move(bytes)), m_ends(std::move(ends)) {}

    std::size_t size() const { return m_ends.size(); }
    bool empty() const { return m_ends.empty(); }
    std::string_view operator[](std::size_t index) const
    {
        const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
        return {m_bytes.data() + begin, m_ends[index] - begin};
    }
    void push_back(std::string_view line);
    // Whether these are the first lines of `other`, in order.
    bool beginsOf(const ListLines& other) const;

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

} // namespace qb
