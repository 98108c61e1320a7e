#pragma once

#include "IoContext.h"
#include "OpenFileTable.h"
#include "PosixFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qbcli {

// Where a command's bytes come from: a file of any kind (a regular file, held for reading so no running copy replaces
// it meanwhile, or a pipe, FIFO or device, read as it comes), or standard input.
class ByteSource
{
public:
    // An empty name or "-" is standard input. A file that cannot be opened raises its failure under its name.
    ByteSource(qb::IoContext& io, const std::string& name);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // Reads up to `count` bytes, as many as one read gives; 0 at the end. A regular file ends where it ended when it
    // was opened.
    std::size_t read(unsigned char* out, std::size_t count);
    // Reads until `count` bytes or the end.
    std::size_t readFull(unsigned char* out, std::size_t count);
    // The name failures give it: as given, or "standard input".
    const std::string& shownName() const { return m_shownName; }
    // True for a regular file, which can be searched and read again.
    bool isRegularFile() const { return m_regular; }
    // The most bytes this source can give: a regular file's size, or no bound.
    std::uint64_t mostBytes() const { return m_size; }
    // For a regular file: whether `text` stands in what is left to read. The position does not move.
    bool holds(std::string_view text);
    // For a regular file: back to where reading began.
    void rewind();
    // Closes a named file; checked.
    void finish();

private:
    [[noreturn]] void fail(int error) const;

    qb::IoContext& m_io;
    std::string m_shownName;
    std::string m_path;
    qb::PosixFile m_file;
    int m_fd;
    bool m_regular = false;
    off_t m_start = 0;
    std::uint64_t m_size;
    std::uint64_t m_read = 0;
    std::optional<qb::OpenFileTable::FileId> m_held;
};

} // namespace qbcli
