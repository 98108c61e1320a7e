#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <sodium.h>

namespace qb {

// What two correspondents compare to learn that they hold the same key, and what mail text names its key by: the
// first 8 bytes of the SHA-256 of the bytes the cipher repeats (the key up to its end of data; a key with none acts
// as the single byte 26), as "4F2A 9C1B 77E0 D5A3".
class KeyFingerprint
{
public:
    KeyFingerprint();
    KeyFingerprint(const KeyFingerprint&) = delete;
    KeyFingerprint& operator=(const KeyFingerprint&) = delete;

    // The next usable key bytes, in order.
    void add(std::string_view usableBytes);
    // The usable bytes added so far: 0 for a key with none.
    std::uint64_t length() const { return m_length; }
    std::string finish();

private:
    crypto_hash_sha256_state m_state;
    std::uint64_t m_length = 0;
};

// What two correspondents compare of a key: its fingerprint, and how many bytes the cipher repeats.
struct KeySummary
{
    std::string fingerprint;
    std::uint64_t length;
};

// The fingerprint of a key whose usable part is `usableBytes`.
std::string keyFingerprint(std::string_view usableBytes);
// True for four groups of four upper-case hexadecimal digits separated by single spaces.
bool isKeyFingerprint(std::string_view text);

} // namespace qb
