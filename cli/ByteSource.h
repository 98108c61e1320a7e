#pragma once

#include "IoContext.h"
#include "TextFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qbcli {

// Where a command's bytes come from: a file, read through the program's file layer as the window reads a message
// (plain bytes, shared with other readers), or standard input.
class ByteSource
{
public:
    // An empty name or "-" is standard input. A file that cannot be opened raises its I/O error under its name.
    ByteSource(qb::IoContext& io, const std::string& name);

    // Reads up to `count` bytes; 0 at the end. A file ends where it ended when it was opened.
    std::size_t read(unsigned char* out, std::size_t count);
    // The most bytes this source can give: a file's size, or no bound for standard input.
    std::uint64_t mostBytes() const { return m_mostBytes; }
    // Closes a file; checked.
    void finish();

private:
    qb::IoContext& m_io;
    std::string m_shownName;
    qb::TextFile m_file;
    bool m_standardInput;
    std::uint64_t m_mostBytes;
    std::uint64_t m_read = 0;
};

} // namespace qbcli
