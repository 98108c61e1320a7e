#include "ListText.h"

#include "ByteText.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qb {

ListLines splitListLines(std::string bytes, std::size_t& lastLineStart)
{
    char* const data = bytes.data();
    const void* mark = std::memchr(data, kEndOfDataMark, bytes.size());
    const std::size_t end = mark ? static_cast<std::size_t>(static_cast<const char*>(mark) - data) : bytes.size();
    // Each line moves down over the line ends before it, so the lines lie back to back where the bytes were.
    std::vector<std::size_t> ends;
    std::size_t kept = 0;
    std::size_t at = 0;
    for (;;) {
        lastLineStart = at;
        const void* cr = std::memchr(data + at, '\r', end - at);
        const std::size_t lineEnd = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : end;
        std::memmove(data + kept, data + at, lineEnd - at);
        kept += lineEnd - at;
        ends.push_back(kept);
        if (!cr)
            break;
        at = lineEnd + 1;
        if (at < end && data[at] == '\n')
            ++at;
        if (at == end)
            break;
    }
    bytes.resize(kept);
    return {std::move(bytes), std::move(ends)};
}

LineSearch::LineSearch(std::string_view line)
    : m_line(line), m_readable(line.find_first_of(std::string_view("\r\x1a", 2)) == std::string_view::npos)
{
    // What follows a line and the two bytes before it decide whether it stands there whole: they stay held with it.
    m_window.resize(kPiece + m_line.size() + 2);
}

bool LineSearch::take(std::size_t count, bool last)
{
    if (!m_readable)
        return true;
    bool textEnds = last;
    if (const void* mark = std::memchr(room(), kEndOfDataMark, count)) {
        count = static_cast<std::size_t>(static_cast<const char*>(mark) - room());
        textEnds = true;
    }
    m_held += count;
    // A start is judged once the line and the byte after it are held; at the text's end, every start.
    const std::size_t needed = m_line.size() + (textEnds ? 0 : 1);
    const std::size_t starts = m_held + 1 >= needed ? m_held + 1 - needed : 0;
    if (starts > m_searched) {
        search(m_searched, starts, textEnds);
        m_searched = starts;
    }
    if (m_found || textEnds)
        return true;
    const std::size_t keepFrom = m_searched >= 2 ? m_searched - 2 : 0;
    if (keepFrom > 0) {
        std::memmove(m_window.data(), m_window.data() + keepFrom, m_held - keepFrom);
        m_held -= keepFrom;
        m_searched -= keepFrom;
        m_atListStart = false;
    }
    return false;
}

bool LineSearch::standsAt(std::size_t at, bool textEnds) const
{
    const std::size_t after = at + m_line.size();
    if (after == m_held ? !textEnds : m_window[after] != '\r')
        return false;
    // The first line starts the list whatever its first byte; at the text's end no other line starts.
    if (at == 0 && m_atListStart)
        return true;
    if (at == m_held)
        return false;
    // A line starts after a CR, but for an LF right after one, which belongs to that line end.
    const char before = m_window[at - 1];
    if (before == '\r')
        return m_window[at] != '\n';
    return before == '\n' && at >= 2 && m_window[at - 2] == '\r';
}

void LineSearch::search(std::size_t from, std::size_t to, bool textEnds)
{
    const char* const window = m_window.data();
    const std::size_t length = m_line.size();
    std::size_t at = from;
#ifdef __SSE2__
    // Sixteen starts at a time: only where the first and the last byte both match are the rest compared.
    if (length > 0) {
        const __m128i first = _mm_set1_epi8(m_line.front());
        const __m128i last = _mm_set1_epi8(m_line.back());
        for (; at + 16 <= to; at += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + at));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + at + length - 1));
            auto candidates = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
            for (; candidates != 0; candidates &= candidates - 1) {
                const std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(candidates));
                if (std::memcmp(window + start, m_line.data(), length) == 0 && standsAt(start, textEnds)) {
                    m_found = true;
                    return;
                }
            }
        }
    }
#endif
    for (; at < to; ++at) {
        if (std::memcmp(window + at, m_line.data(), length) == 0 && standsAt(at, textEnds)) {
            m_found = true;
            return;
        }
    }
}

} // namespace qb
