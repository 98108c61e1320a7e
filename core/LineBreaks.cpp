#include "LineBreaks.h"

#include <cstddef>

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

} // namespace

std::size_t countLoneBreaks(const std::string& text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    return countLoneBreaks(begin, begin, end, end, false).lone;
}

// Turns the `lone` lone CRs and LFs of `text` into CR LF where the text lies, working from the end:
// each byte moves once, by the number of lone breaks before it, and bytes before the first lone break
// do not move at all.
void widenLoneBreaks(std::string& text, std::size_t lone)
{
    if (lone == 0)
        return;
    const std::size_t length = text.size();
    text.resize(length + lone);
    char* const begin = &text[0];
    const char* const end = begin + length; // the text as read; what lies past it is being written
    char* p = begin + length;               // [begin, p) is still to move
    std::size_t shift = lone;
    // Writes land at or beyond p + shift - 1 >= p while a lone break remains, so the bytes at and
    // before p, which the neighbour tests read, are still the text as read.
    while (shift > 0) {
#if defined(__SSE2__)
        if (p < end && p - begin > kBlock) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - kBlock));
            if (loneBreakMask(p - kBlock, block) == 0) {
                p -= kBlock;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + shift), block);
                continue;
            }
        }
#endif
        --p;
        if (isLoneBreak(begin, end, p)) {
            p[shift] = '\n';
            p[shift - 1] = '\r';
            --shift;
        } else {
            p[shift] = *p;
        }
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
