#pragma once

#include <cstddef>
#include <string>

namespace qb {

// The editor's line rule: every lone CR and every lone LF is a line break shown as CR LF; CR LF stays one break (so
// LF CR becomes two).

std::size_t countLoneBreaks(const std::string& text);
// Turns the `lone` lone CRs and LFs of `text` into CR LF where the text lies, in one pass moving whole runs.
void widenLoneBreaks(std::string& text, std::size_t lone);
// The text with every lone break widened.
std::string normalizeLineBreaks(const std::string& bytes);

// Follows a file as it is read, finding the text the editor is to show: the part before the first
// byte 0, and its lone breaks. Scanning each piece as it arrives finds it still in the cache.
class ShownTextScan
{
public:
    // `text` holds the `available` bytes read so far; the last waits for its successor unless `complete`.
    void advance(const char* text, std::size_t available, bool complete);

    std::size_t length() const { return m_length; }
    std::size_t lone() const { return m_lone; }

private:
    std::size_t m_length = 0;
    std::size_t m_lone = 0;
    bool m_zeroFound = false;
};

} // namespace qb
