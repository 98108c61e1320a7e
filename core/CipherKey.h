#pragma once

#include "SecretBytes.h"

#include <cstddef>
#include <cstdint>

namespace qb {

class TextFile;

// The key as the cipher applies it: the key file's bytes up to its end of data, starting over from the first
// whenever they run out. A key file with no byte before its end of data acts as the single byte 26, which is what a
// read at the end gives.
class RepeatingKey
{
public:
    // `pass` is one pass over the key file, as read: cut at its end of data, possibly empty.
    explicit RepeatingKey(const SecretBytes& pass);

    // Combines `count` bytes by exclusive-or with the key, going on from where the previous call stopped.
    void combine(unsigned char* data, std::size_t count);
    // Goes back to the key's first byte, for a message that starts over.
    void restart() { m_offset = 0; }
    // The key's length in bytes: where a pass ends.
    std::size_t passLength() const { return m_passLength; }

private:
    // The pass written out repeatedly, so that any run of up to kSpan key bytes lies in one piece.
    SecretBytes m_repeated;
    std::size_t m_passLength;
    std::size_t m_offset = 0;
};

// Reads one pass of an open text-mode key file: its bytes up to the end of data, at most `limit` of them (more than a
// message's length would never be used). Failures are left pending on the file's context.
SecretBytes readKeyPass(TextFile& key, std::uint64_t limit);

// Combines `count` bytes of `out` with as many bytes of `key`, a word at a time.
void xorBytes(unsigned char* out, const unsigned char* key, std::size_t count);

} // namespace qb
