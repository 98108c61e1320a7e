#pragma once

#include "PosixFile.h"
#include "Session.h"

#include <cstddef>
#include <functional>
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
    // Hands the bytes held to `onPiece` in order, a piece at a time, to be changed in place.
    void replay(const std::function<void(unsigned char*, std::size_t)>& onPiece);

private:
    void spill();
    [[noreturn]] void fail(int error) const;

    qb::Session& m_session;
    std::string m_memory;
    qb::PosixFile m_file;
};

} // namespace qbcli
