#include "EntryCollation.h"

#include "QtControls.h"

#include "Cp1252.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>

namespace qb {
namespace {

constexpr std::size_t kPrefixBytes = sizeof(FoldedPrefix::high) + sizeof(FoldedPrefix::low);
// Names alike this far are compared on the rest rather than taken apart further.
constexpr std::size_t kRadixBytes = 64;

// Groups this small are sorted by insertion, in place.
constexpr std::size_t kSmallGroup = 48;

std::size_t digit(const FoldedPrefix& key, std::size_t byte)
{
    const std::uint64_t half = byte < 8 ? key.high : key.low;
    return static_cast<std::size_t>(half >> (56 - 8 * (byte % 8)) & 0xFF);
}

bool lessPrefix(const FoldedPrefix& a, const FoldedPrefix& b)
{
    return a.high < b.high || (a.high == b.high && a.low < b.low);
}

// Sorts `count` keys, alike in their bytes before `byte`, by the rest of their prefixes; equal ones keep their order.
// `scratch` is room for as many.
void sortPrefixes(FoldedPrefix* keys, FoldedPrefix* scratch, std::size_t count, std::size_t byte)
{
    if (count <= kSmallGroup) {
        for (std::size_t next = 1; next < count; ++next) {
            const FoldedPrefix key = keys[next];
            std::size_t at = next;
            for (; at > 0 && lessPrefix(key, keys[at - 1]); --at)
                keys[at] = keys[at - 1];
            keys[at] = key;
        }
        return;
    }
    // Bytes every key here shares are passed over.
    std::array<std::size_t, 256> bucket{};
    for (; byte < kPrefixBytes; ++byte) {
        bucket.fill(0);
        for (std::size_t index = 0; index < count; ++index)
            ++bucket[digit(keys[index], byte)];
        if (bucket[digit(keys[0], byte)] != count)
            break;
    }
    if (byte == kPrefixBytes)
        return;
    std::array<std::size_t, 256> start{};
    for (std::size_t value = 1; value < 256; ++value)
        start[value] = start[value - 1] + bucket[value - 1];
    std::array<std::size_t, 256> next = start;
    for (std::size_t index = 0; index < count; ++index)
        scratch[next[digit(keys[index], byte)]++] = keys[index];
    std::copy(scratch, scratch + count, keys);
    for (std::size_t value = 0; value < 256; ++value) {
        if (bucket[value] > 1)
            sortPrefixes(keys + start[value], scratch + start[value], bucket[value], byte + 1);
    }
}

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

// A 16-byte prefix of ranks per entry, kept beside its position, sorted by a radix sort from the first byte on (which
// keeps equal prefixes in the order they came and never compares two names): most names part within their first
// bytes, so after a few passes over the whole list the groups left are small and sorted where the cache holds them.
// Names that share a whole prefix are sorted so again on their next 16 bytes, and past kRadixBytes compared on the
// rest.
std::vector<int> EntryCollation::sortedByFoldedRanks(const ListLines& entries) const
{
    std::vector<FoldedPrefix> keys(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index)
        keys[index] = foldedPrefix(entries[index], 0, static_cast<int>(index));
    // Bytes in which no prefix differs from the first are passed over without counting them in the whole list.
    std::uint64_t differingHigh = 0;
    std::uint64_t differingLow = 0;
    for (const FoldedPrefix& key : keys) {
        differingHigh |= key.high ^ keys.front().high;
        differingLow |= key.low ^ keys.front().low;
    }
    std::size_t firstDiffering = 0;
    while (firstDiffering < kPrefixBytes && digit({differingHigh, differingLow, 0}, firstDiffering) == 0)
        ++firstDiffering;
    std::vector<FoldedPrefix> scratch(keys.size());
    sortPrefixes(keys.data(), scratch.data(), keys.size(), firstDiffering);
    sortRuns(entries, keys.data(), scratch.data(), keys.size(), 0);
    std::vector<int> order(keys.size());
    for (std::size_t index = 0; index < keys.size(); ++index)
        order[index] = keys[index].entry;
    return order;
}

FoldedPrefix EntryCollation::foldedPrefix(std::string_view entry, std::size_t from, int index) const
{
    unsigned char ranks[kPrefixBytes] = {};
    for (std::size_t at = from; at < std::min(entry.size(), from + kPrefixBytes); ++at)
        ranks[at - from] = m_rank[static_cast<unsigned char>(entry[at])];
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    for (std::size_t at = 0; at < 8; ++at) {
        high = high << 8 | ranks[at];
        low = low << 8 | ranks[at + 8];
    }
    return {high, low, index};
}

void EntryCollation::sortRuns(const ListLines& entries, FoldedPrefix* keys, FoldedPrefix* scratch, std::size_t count,
                              std::size_t from) const
{
    const auto entryOf = [&entries](const FoldedPrefix& key) { return entries[static_cast<std::size_t>(key.entry)]; };
    const std::size_t next = from + kPrefixBytes;
    for (std::size_t run = 0; run < count;) {
        std::size_t end = run + 1;
        while (end < count && keys[end].high == keys[run].high && keys[end].low == keys[run].low)
            ++end;
        // Only names that run past these bytes can differ after them.
        const auto goesOn = [&](const FoldedPrefix& key) { return entryOf(key).size() > next; };
        if (end - run > 1 && std::any_of(keys + run, keys + end, goesOn)) {
            if (next < kRadixBytes) {
                for (std::size_t index = run; index < end; ++index)
                    keys[index] = foldedPrefix(entryOf(keys[index]), next, keys[index].entry);
                sortPrefixes(keys + run, scratch + run, end - run, 0);
                sortRuns(entries, keys + run, scratch + run, end - run, next);
            } else {
                std::stable_sort(keys + run, keys + end, [&](const FoldedPrefix& a, const FoldedPrefix& b) {
                    return compareFolded(entryOf(a), entryOf(b), next) < 0;
                });
            }
        }
        run = end;
    }
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
