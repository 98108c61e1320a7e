#pragma once

#include "PosixFile.h"
#include "Session.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qbcli {

// The bytes of a block of mail text, held until its checksum is verified: in memory up to 8 MiB, beyond that in an
// unnamed file in the data directory that only its owner can read, never in $TMPDIR; gone with the process.
class HeldBytes
{
public:
    explicit HeldBytes(qb::Session& session) : m_session(session) {}

    void append(const std::string& bytes);
    // Drops what is held: another block is the message now.
    void clear();
    // Reads the bytes held back in order, from the first, up to `count` at a time; 0 after the last.
    std::size_t readBack(unsigned char* out, std::size_t count);

private:
    void spill();
    [[noreturn]] void fail(int error) const;

    qb::Session& m_session;
    std::string m_memory;
    qb::PosixFile m_file;
    std::uint64_t m_readBack = 0;
};

} // namespace qbcli
