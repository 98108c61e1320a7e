#include "KeyFingerprint.h"

#include "ByteText.h"

#include <array>
#include <cctype>

namespace qb {

namespace {

constexpr std::size_t kFingerprintBytes = 8;

} // namespace

KeyFingerprint::KeyFingerprint()
{
    crypto_hash_sha256_init(&m_state);
}

void KeyFingerprint::add(std::string_view usableBytes)
{
    m_length += usableBytes.size();
    crypto_hash_sha256_update(&m_state, reinterpret_cast<const unsigned char*>(usableBytes.data()), usableBytes.size());
}

std::string KeyFingerprint::finish()
{
    if (m_length == 0) {
        // As the cipher uses it: a read at the end of data gives 26.
        const unsigned char mark = kEndOfDataMark;
        crypto_hash_sha256_update(&m_state, &mark, 1);
    }
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&m_state, digest.data());
    std::string text;
    for (std::size_t at = 0; at < kFingerprintBytes; ++at) {
        if (at > 0 && at % 2 == 0)
            text += ' ';
        appendHexDigits(digest[at], text);
    }
    return text;
}

std::string keyFingerprint(std::string_view usableBytes)
{
    KeyFingerprint fingerprint;
    fingerprint.add(usableBytes);
    return fingerprint.finish();
}

bool isKeyFingerprint(std::string_view text)
{
    if (text.size() != 19)
        return false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const bool ok =
            at % 5 == 4 ? c == ' ' : (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace qb
