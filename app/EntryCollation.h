#pragma once

#include "ListLines.h"

#include <QCollator>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qb {

// The first bytes of a name, as ranks, beside its position: a key that most comparisons settle alone.
struct FoldedPrefix
{
    std::uint64_t high;
    std::uint64_t low;
    int entry;
};

// The order people expect of a list of names held as windows-1252 bytes: case-insensitive, by the default locale's
// collation. Under the C locale that is the order of the case-folded characters, which a byte-to-rank table gives
// without decoding a name; elsewhere the locale's collation keys decide.
class EntryCollation
{
public:
    EntryCollation();

    bool less(std::string_view a, std::string_view b) const;
    // The positions of `entries` in sorted order; equal entries keep the order they come in.
    std::vector<int> sortedOrder(const ListLines& entries) const;

private:
    int compareFolded(std::string_view a, std::string_view b, std::size_t from) const;
    std::vector<int> sortedByFoldedRanks(const ListLines& entries) const;
    // The ranks of `entry`'s 16 bytes from `from` on; 0 past its end.
    FoldedPrefix foldedPrefix(std::string_view entry, std::size_t from, int index) const;
    // Sorts the runs of `keys`, sorted by the prefixes from `from` on, that share one by what follows it.
    void sortRuns(const ListLines& entries, FoldedPrefix* keys, FoldedPrefix* scratch, std::size_t count,
                  std::size_t from) const;
    std::vector<int> sortedByCollationKeys(const ListLines& entries) const;

    QCollator m_collator;
    bool m_byFoldedCharacters;
    // Each byte's case-folded character, as its rank among those of all 256 bytes; 0 is left for "no character".
    std::array<unsigned char, 256> m_rank{};
};

} // namespace qb
