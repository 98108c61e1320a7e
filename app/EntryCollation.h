#pragma once

#include "ListLines.h"

#include <QCollator>

#include <array>
#include <string_view>
#include <vector>

namespace qb {

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
    std::vector<int> sortedByCollationKeys(const ListLines& entries) const;

    QCollator m_collator;
    bool m_byFoldedCharacters;
    // Each byte's case-folded character, as its rank among those of all 256 bytes; 0 is left for "no character".
    std::array<unsigned char, 256> m_rank{};
};

} // namespace qb
