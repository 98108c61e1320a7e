#include "LineBreaks.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qb {

namespace {

// A line break that the adjustment widens: a CR not followed by LF, or an LF not preceded by CR.
bool isLoneBreak(const char* begin, const char* end, const char* p)
{
    if (*p == '\r')
        return p + 1 == end || p[1] != '\n';
    return *p == '\n' && (p == begin || p[-1] != '\r');
}

#if defined(__SSE2__)
// Line breaks are sparse, so the text is looked at 16 bytes at a time.
constexpr std::ptrdiff_t kBlock = 16;

unsigned byteMask(__m128i block, char value)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(value))));
}

// Bit i set when p[i] is a lone break; p[-1] and p[16] must be readable.
unsigned loneBreakMask(const char* p, __m128i block)
{
    const unsigned crs = byteMask(block, '\r');
    const unsigned lfs = byteMask(block, '\n');
    if ((crs | lfs) == 0)
        return 0;
    const unsigned lfNext = byteMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), '\n');
    const unsigned crPrevious = byteMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1)), '\r');
    return (crs & ~lfNext) | (lfs & ~crPrevious);
}
#endif

struct BreakCount
{
    std::size_t lone;    // lone breaks counted
    const char* stopped; // where counting stopped: the first byte 0 when asked to stop there, else `to`
};

// Counts the lone breaks of the bytes [from, to) of the text [begin, end), up to the first byte 0 when
// `stopAtZero`. Every byte in [from, to) needs the neighbours the text has for it.
BreakCount countLoneBreaks(const char* begin, const char* from, const char* to, const char* end, bool stopAtZero)
{
    std::size_t lone = 0;
    const char* p = from;
#if defined(__SSE2__)
    // Whole blocks, each with a byte before and after it so that pairs across block edges are seen.
    if (p == begin && p != to) {
        if (stopAtZero && *p == '\0')
            return {0, p};
        lone += isLoneBreak(begin, end, p) ? 1 : 0;
        ++p;
    }
    for (; to - p >= kBlock && end - p > kBlock; p += kBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (stopAtZero && byteMask(block, '\0') != 0)
            break; // the rest goes byte by byte
        if (const unsigned mask = loneBreakMask(p, block))
            lone += static_cast<std::size_t>(__builtin_popcount(mask));
    }
#endif
    for (; p != to; ++p) {
        if (stopAtZero && *p == '\0')
            return {lone, p};
        lone += isLoneBreak(begin, end, p) ? 1 : 0;
    }
    return {lone, to};
}

// The last lone break in [begin, to) of the text [begin, end), or nullptr; the byte at `to` must be readable.
const char* lastLoneBreak(const char* begin, const char* to, const char* end)
{
    const char* p = to;
#if defined(__SSE2__)
    // Blocks [p - 16, p), each with the byte before it inside the text.
    for (; p - begin > kBlock; p -= kBlock) {
        const char* block = p - kBlock;
        if (const unsigned mask = loneBreakMask(block, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block))))
            return block + (31 - __builtin_clz(mask));
    }
#endif
    while (p != begin) {
        --p;
        if (isLoneBreak(begin, end, p))
            return p;
    }
    return nullptr;
}

} // namespace

std::size_t countLoneBreaks(const std::string& text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    return countLoneBreaks(begin, begin, end, end, false).lone;
}

// Widens in place, so it works from the end: each run between lone breaks moves once, as a whole, by the number of
// lone breaks before it, and the text before the first lone break does not move at all. (Going forwards would
// overwrite text not yet moved, or need a second buffer of the text's size.)
void widenLoneBreaks(std::string& text, std::size_t lone)
{
    if (lone == 0)
        return;
    const std::size_t length = text.size();
    text.resize(length + lone); // zeros past the end: a CR there is seen as lone, as it is
    char* const begin = &text[0];
    const char* const end = begin + length;
    char* unmoved = begin + length; // [begin, unmoved) is still where it was read
    // Writes land at or past the last break found plus one while another break remains, so the bytes the next search
    // looks at, up to and including `unmoved`, are still the text as read.
    for (std::size_t shift = lone; shift > 0; --shift) {
        char* const found = const_cast<char*>(lastLoneBreak(begin, unmoved, end));
        if (found == nullptr)
            break; // `lone` overstated the count: the rest stays as it is
        std::memmove(found + 1 + shift, found + 1, static_cast<std::size_t>(unmoved - (found + 1)));
        found[shift - 1] = '\r';
        found[shift] = '\n';
        unmoved = found;
    }
}

void ShownTextScan::advance(const char* text, std::size_t available, bool complete)
{
    const std::size_t to = complete || available == 0 ? available : available - 1;
    if (m_zeroFound || to <= m_length)
        return;
    const BreakCount count = countLoneBreaks(text, text + m_length, text + to, text + available, true);
    m_lone += count.lone;
    m_zeroFound = count.stopped != text + to;
    m_length = static_cast<std::size_t>(count.stopped - text);
}

std::string normalizeLineBreaks(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8 + 64);
    out = bytes;
    widenLoneBreaks(out, countLoneBreaks(out));
    return out;
}

} // namespace qb
