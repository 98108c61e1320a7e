#pragma once

#include "ListLines.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// A list file's bytes as the lines that TextFile::readLine and eof give, read in turn until the end: a line ends at CR,
// which takes one LF right after it along; the text ends at its first byte 26 or where the bytes end; and a reading
// always gives a first line, however empty.

// The lines of `bytes`, a list's bytes from the start of a line on. `lastLineStart` gets where the last line starts
// in `bytes`: a list that grows by appended lines is read again from there.
ListLines splitListLines(std::string bytes, std::size_t& lastLineStart);

// Looks for one whole line among a list's bytes, given a piece at a time into room it keeps: a line may stand across
// two pieces. The bytes are only searched, never split into lines.
class LineSearch
{
public:
    // Bytes taken at a time.
    static constexpr std::size_t kPiece = 256 * 1024;

    explicit LineSearch(std::string_view line);

    // Room for the next piece of the list, kPiece bytes.
    char* room() { return m_window.data() + m_held; }
    // Searches the `count` bytes just put in room(); `last` when the list has no more. True once the answer is known:
    // the line was found, or the text ended (at its end or at a byte 26).
    bool take(std::size_t count, bool last);
    bool found() const { return m_found; }

private:
    bool standsAt(std::size_t at, bool textEnds) const;
    void search(std::size_t from, std::size_t to, bool textEnds);

    std::string m_line;
    // A line never holds a CR or a byte 26: no reader would see one such, and it is never found.
    bool m_readable;
    std::vector<char> m_window;
    std::size_t m_held = 0;     // bytes in the window
    std::size_t m_searched = 0; // window positions below this were looked at as starts of the line
    bool m_atListStart = true;  // the window begins where the list does
    bool m_found = false;
};

} // namespace qb
