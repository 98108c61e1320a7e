#include "EntryCollation.h"

#include "QtControls.h"

#include "Cp1252.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace qb {
namespace {

// The first bytes of a name, as ranks, make a key that most comparisons settle alone.
constexpr std::size_t kPrefixBytes = 16;

struct FoldedPrefix
{
    std::uint64_t high;
    std::uint64_t low;
    int entry;
};

} // namespace

EntryCollation::EntryCollation()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Qt's collation keys for the C locale ignore the case setting; its case-insensitive comparison there orders the
    // case-folded characters by code point, which the ranks reproduce.
    m_byFoldedCharacters = m_collator.locale().language() == QLocale::C;
    std::array<char16_t, 256> folded{};
    for (int byte = 0; byte < 256; ++byte)
        folded[byte] = QChar(cp1252ToUnicode(static_cast<unsigned char>(byte))).toCaseFolded().unicode();
    std::array<char16_t, 256> distinct = folded;
    std::sort(distinct.begin(), distinct.end());
    const auto end = std::unique(distinct.begin(), distinct.end());
    // At most 256 - 26 distinct characters: the capitals fold onto small letters, so ranks 1 to 255 hold them.
    for (int byte = 0; byte < 256; ++byte)
        m_rank[byte] =
            static_cast<unsigned char>(std::lower_bound(distinct.begin(), end, folded[byte]) - distinct.begin() + 1);
}

int EntryCollation::compareFolded(std::string_view a, std::string_view b, std::size_t from) const
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t index = from; index < common; ++index) {
        const int difference =
            m_rank[static_cast<unsigned char>(a[index])] - m_rank[static_cast<unsigned char>(b[index])];
        if (difference != 0)
            return difference;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool EntryCollation::less(std::string_view a, std::string_view b) const
{
    if (m_byFoldedCharacters)
        return compareFolded(a, b, 0) < 0;
    return m_collator.compare(textFromCp1252(a), textFromCp1252(b)) < 0;
}

std::vector<int> EntryCollation::sortedOrder(const ListLines& entries) const
{
    if (entries.size() < 2)
        return std::vector<int>(entries.size(), 0);
    return m_byFoldedCharacters ? sortedByFoldedRanks(entries) : sortedByCollationKeys(entries);
}

// A 16-byte prefix of ranks per entry, kept beside its position, sorted a byte at a time from the last (a radix sort,
// which keeps equal prefixes in the order they came and never compares two names); bytes every prefix shares are
// passed over. Only names that share a whole prefix and run past it are then compared on the rest.
std::vector<int> EntryCollation::sortedByFoldedRanks(const ListLines& entries) const
{
    std::vector<FoldedPrefix> keys(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const std::string_view entry = entries[index];
        unsigned char ranks[kPrefixBytes] = {};
        const std::size_t prefix = std::min(entry.size(), kPrefixBytes);
        for (std::size_t at = 0; at < prefix; ++at)
            ranks[at] = m_rank[static_cast<unsigned char>(entry[at])];
        std::uint64_t high = 0;
        std::uint64_t low = 0;
        for (std::size_t at = 0; at < 8; ++at) {
            high = high << 8 | ranks[at];
            low = low << 8 | ranks[at + 8];
        }
        keys[index] = {high, low, static_cast<int>(index)};
    }
    const auto digit = [](const FoldedPrefix& key, std::size_t fromEnd) {
        return static_cast<std::size_t>((fromEnd < 8 ? key.low >> (8 * fromEnd) : key.high >> (8 * (fromEnd - 8))) &
                                        0xFF);
    };
    // The bytes in which some prefix differs from the first: only those are sorted on.
    std::uint64_t differingHigh = 0;
    std::uint64_t differingLow = 0;
    for (const FoldedPrefix& key : keys) {
        differingHigh |= key.high ^ keys.front().high;
        differingLow |= key.low ^ keys.front().low;
    }
    std::vector<FoldedPrefix> sorted(keys.size());
    for (std::size_t fromEnd = 0; fromEnd < kPrefixBytes; ++fromEnd) {
        const std::uint64_t differing =
            fromEnd < 8 ? differingLow >> (8 * fromEnd) : differingHigh >> (8 * (fromEnd - 8));
        if ((differing & 0xFF) == 0)
            continue;
        std::array<std::size_t, 256> count{};
        for (const FoldedPrefix& key : keys)
            ++count[digit(key, fromEnd)];
        std::size_t start = 0;
        for (std::size_t& bucket : count)
            start += std::exchange(bucket, start);
        for (const FoldedPrefix& key : keys)
            sorted[count[digit(key, fromEnd)]++] = key;
        keys.swap(sorted);
    }
    for (auto run = keys.begin(); run != keys.end();) {
        const auto end = std::find_if(
            run, keys.end(), [&run](const FoldedPrefix& key) { return key.high != run->high || key.low != run->low; });
        if (end - run > 1) {
            std::stable_sort(run, end, [this, &entries](const FoldedPrefix& a, const FoldedPrefix& b) {
                return compareFolded(entries[static_cast<std::size_t>(a.entry)],
                                     entries[static_cast<std::size_t>(b.entry)], kPrefixBytes) < 0;
            });
        }
        run = end;
    }
    std::vector<int> order(keys.size());
    for (std::size_t index = 0; index < keys.size(); ++index)
        order[index] = keys[index].entry;
    return order;
}

// A collation key made once per entry, rather than a collation per comparison.
std::vector<int> EntryCollation::sortedByCollationKeys(const ListLines& entries) const
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index)
        keys.push_back(m_collator.sortKey(textFromCp1252(entries[index])));
    std::vector<int> order(entries.size());
    for (std::size_t index = 0; index < order.size(); ++index)
        order[index] = static_cast<int>(index);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[static_cast<std::size_t>(a)].compare(keys[static_cast<std::size_t>(b)]) < 0;
    });
    return order;
}

} // namespace qb
