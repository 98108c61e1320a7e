#pragma once

#include "SecretBytes.h"

#include <cstddef>
#include <cstdint>

namespace qb {

class TextFile;

// The key as the cipher applies it: the key file's bytes up to its end of data, starting over from the first
// whenever they run out. A key file with no byte before its end of data acts as the single byte 26, which is what a
// read at the end gives. The key is read from its open text-mode file a piece at a time as the message needs it, so
// memory stays within a piece whatever the key's size, and never more of it than the message can use.
class RepeatingKey
{
public:
    // `key` is open at its start and stays open while this lives; `mostBytes` bounds the message (when it is known).
    // Reads are checked.
    RepeatingKey(TextFile& key, std::uint64_t mostBytes);

    // Combines `count` bytes by exclusive-or with the key, going on from where the previous call stopped.
    void combine(unsigned char* data, std::size_t count);
    // Goes back to the key's first byte, for a message that starts over.
    void restart();

private:
    // Reads the next piece of a key too long to hold whole, starting the key over at its end.
    void readPiece();
    // Reads up to `count` key bytes into the piece at `offset` from where the file stands; the number read.
    std::size_t readInto(std::size_t offset, std::size_t count);

    TextFile& m_file;
    std::uint64_t m_mostBytes;
    std::uint64_t m_used = 0;
    // A key that fits in a piece is held whole, written out repeatedly so that any run of up to a span of key bytes
    // lies in one piece; a longer one is held a piece at a time.
    SecretBytes m_piece;
    bool m_whole = false;
    std::size_t m_passLength = 0;
    std::size_t m_offset = 0;
    std::size_t m_pieceLength = 0;
    std::uint64_t m_pieceStart = 0; // where the piece begins in the key
};

// Reads one pass of an open text-mode key file: its bytes up to the end of data, at most `limit` of them (more than a
// message's length would never be used). Failures are left pending on the file's context.
SecretBytes readKeyPass(TextFile& key, std::uint64_t limit);

// Combines `count` bytes of `out` with as many bytes of `key`, a word at a time.
void xorBytes(unsigned char* out, const unsigned char* key, std::size_t count);

} // namespace qb
