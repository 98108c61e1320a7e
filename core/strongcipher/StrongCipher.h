#pragma once

#include "SecretBytes.h"

#include <sodium.h>

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

// Strong messages: libsodium's secretstream (XChaCha20-Poly1305), which encrypts and authenticates, under a key
// derived from a correspondent's key file. The format, byte for byte, so that another implementation reads and writes
// it:
//   message key  BLAKE2b-256, unkeyed, of the 21 ASCII bytes "Quillbox 97 strong v1" and the key's usable bytes
//                (those before its first byte 26);
//   message      the 8-byte signature 89 51 42 53 0D 0A 1A 0A, the 24-byte secretstream header, then one chunk a
//                piece of the plaintext: pieces of 65,536 bytes, the last holding ((n - 1) mod 65,536) + 1 bytes (0
//                only for an empty message), each pushed without additional data, tagged MESSAGE but the last,
//                tagged FINAL. A chunk is its piece's length plus 17 bytes; nothing follows the last.

namespace qb {

constexpr std::array<unsigned char, 8> kStrongSignature = {0x89, 'Q', 'B', 'S', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kStrongPiece = 65536;
constexpr std::size_t kStrongChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr std::size_t kStrongChunk = kStrongPiece + kStrongChunkOverhead;
constexpr std::size_t kStrongHeader = kStrongSignature.size() + crypto_secretstream_xchacha20poly1305_HEADERBYTES;
// The shortest strong message: an empty one.
constexpr std::size_t kStrongLeastSize = kStrongHeader + kStrongChunkOverhead;
// Usable key bytes a strong message key is made from at the least: 40 generated digits carry 132 bits.
constexpr std::size_t kStrongLeastKeyBytes = 40;
// Pieces handed on at a time.
constexpr std::size_t kStrongBatch = 16;

// The size of the strong message of `plaintextSize` bytes.
std::uint64_t strongMessageSize(std::uint64_t plaintextSize);

// True for bytes that begin with the signature: a strong message, or one that claims to be.
bool isStrongMessage(std::string_view bytes);

// A strong message that cannot be decrypted with the key given: changed, cut short, or made with another key. Nothing
// it held may be trusted; the caller words it.
class EStrongMessageRefused : public std::runtime_error
{
public:
    EStrongMessageRefused() : std::runtime_error("strong message refused") {}
};

// The message key, made from the usable key bytes given a piece at a time; held in secure memory and wiped.
class StrongKey
{
public:
    StrongKey();
    void add(std::string_view usableKeyBytes);
    // The usable bytes added so far.
    std::uint64_t length() const { return m_length; }
    // Ends the adding; the key is ready for the writer and reader.
    void finish();
    const unsigned char* data() const { return m_key.data(); }

private:
    SecretBytes m_state;
    SecretBytes m_key;
    std::uint64_t m_length = 0;
};

using ByteOutput = std::function<void(const unsigned char* data, std::size_t count)>;

// Writes a strong message a piece at a time to `out`: the signature and header at construction, each chunk once the
// piece after it has begun (only then is it known not to be the last), the last at finish. Chunks are handed on a
// batch at a time, so that a large message takes few writes.
class StrongWriter
{
public:
    StrongWriter(const StrongKey& key, ByteOutput out);
    void write(const unsigned char* data, std::size_t count);
    void finish();

private:
    void push(const unsigned char* piece, std::size_t count, unsigned char tag);
    void flush();

    ByteOutput m_out;
    SecretBytes m_state;
    SecretBytes m_piece; // plaintext waiting to be pushed
    std::size_t m_held = 0;
    std::vector<unsigned char> m_batch;
};

// Reads a strong message a piece at a time, handing each piece of plaintext to `out` only once its chunk has
// authenticated (a batch of pieces at a time, and those verified before a refusal too). Raises EStrongMessageRefused
// for anything but a whole, unchanged message made with this key: a signature or header that is wrong, a chunk that
// does not authenticate, a FINAL chunk that is not the last or a last chunk that is not FINAL, a message cut short,
// bytes after the FINAL chunk.
class StrongReader
{
public:
    StrongReader(const StrongKey& key, ByteOutput out);
    void read(const unsigned char* data, std::size_t count);
    void finish();

private:
    void pull(const unsigned char* chunk, std::size_t chunkSize, bool last);
    void flush();

    const StrongKey& m_key;
    ByteOutput m_out;
    SecretBytes m_state;
    std::array<unsigned char, kStrongHeader> m_header;
    std::size_t m_headerHeld = 0;
    std::vector<unsigned char> m_chunk; // a chunk that came in parts
    std::size_t m_chunkHeld = 0;
    std::vector<unsigned char> m_batch;
};

} // namespace qb
