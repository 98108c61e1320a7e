#include "StrongCipher.h"

#include <gtest/gtest.h>

#include <sodium.h>

#include <string>
#include <vector>

namespace {

// The known answers below were made once by an independent implementation (Python's hashlib BLAKE2b, ChaCha20 and
// Poly1305 from python-cryptography, checked against PyNaCl's secretstream), for this key: a generated key's digits.
std::string generatedKey()
{
    std::string key;
    for (int i = 0; i < 1000; ++i)
        key += static_cast<char>((i * 7 + 3) % 10);
    return key;
}

std::string pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + 7) & 0xff);
    return bytes;
}

std::string fromHex(const std::string& hex)
{
    std::string bytes(hex.size() / 2, '\0');
    sodium_hex2bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), hex.data(), hex.size(), nullptr,
                   nullptr, nullptr);
    return bytes;
}

std::string toHex(const unsigned char* bytes, std::size_t size)
{
    std::string hex(size * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes, size);
    hex.pop_back();
    return hex;
}

qb::StrongKey keyOf(const std::string& keyBytes)
{
    qb::StrongKey key;
    key.add(keyBytes);
    key.finish();
    return key;
}

std::string encrypt(const std::string& keyBytes, const std::string& plain, std::size_t writeSize = 1000)
{
    const qb::StrongKey key = keyOf(keyBytes);
    std::string out;
    qb::StrongWriter writer(key, [&](const unsigned char* data, std::size_t count) { out.append(data, data + count); });
    for (std::size_t at = 0; at < plain.size(); at += writeSize) {
        const std::string piece = plain.substr(at, writeSize);
        writer.write(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    }
    writer.finish();
    return out;
}

// The plaintext, or "refused".
std::string decrypt(const std::string& keyBytes, const std::string& message, std::size_t readSize = 7000)
{
    const qb::StrongKey key = keyOf(keyBytes);
    std::string out;
    qb::StrongReader reader(key, [&](const unsigned char* data, std::size_t count) { out.append(data, data + count); });
    try {
        for (std::size_t at = 0; at < message.size(); at += readSize) {
            const std::string piece = message.substr(at, readSize);
            reader.read(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
        }
        reader.finish();
    } catch (const qb::EStrongMessageRefused&) {
        return "refused";
    }
    return out;
}

// libsodium's random source giving 0, 1, 2, ... for as long as the test runs: the header becomes known.
class CountingRandom
{
public:
    CountingRandom()
    {
        s_next = 0;
        m_restore = std::string(randombytes_implementation_name()) == "sysrandom"
                        ? &randombytes_sysrandom_implementation
                        : &randombytes_internal_implementation;
        randombytes_set_implementation(&s_counting);
    }
    ~CountingRandom() { randombytes_set_implementation(m_restore); }

private:
    static void buf(void* out, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            static_cast<unsigned char*>(out)[i] = static_cast<unsigned char>(s_next++);
    }
    static uint32_t random() { return 0; }
    static const char* name() { return "counting"; }

    static inline unsigned s_next = 0;
    static inline randombytes_implementation s_counting = {name, random, nullptr, nullptr, buf, nullptr};
    randombytes_implementation* m_restore;
};

TEST(StrongCipher, KnownAnswersOfAnIndependentImplementation)
{
    const std::string key = generatedKey();
    EXPECT_EQ(toHex(keyOf(key).data(), 32), "c47fd64cb24648a9200b02885a6b01de0c0f075bef94a379a89f52e037050cfe");
    // Made with a random header by PyNaCl.
    EXPECT_EQ(decrypt(key, fromHex("895142530d0a1a0ab36c21840baf60c090c360b941a10d203bc4ecfad8dd80fa3b19b33f15ab952e9d8"
                                   "2abad1b922d2f723adc4763068b32d6b40b4faf5ab3d94dfb562f3a")),
              "Pay Ben 100 dollars.");
    EXPECT_EQ(decrypt(key, fromHex("895142530d0a1a0a2e7c81a62686d64796147aec379d76380316ab49a31a40f0d38b69b28573e124ff"
                                   "d2e2b1ed9662f4f2")),
              "");

    const CountingRandom header; // 00 01 02 ... 17
    EXPECT_EQ(toHex(reinterpret_cast<const unsigned char*>(encrypt(key, "Pay Ben 100 dollars.").data()), 69),
              "895142530d0a1a0a000102030405060708090a0b0c0d0e0f1011121314151617b71789b820074f7f26e0e949a94662cdafc5b"
              "6fe928bd7f5dc790f6ca1fed813daf724b7ec");
    const struct
    {
        std::size_t size;
        std::size_t messageSize;
        const char* sha256;
    } rows[] = {
        {0, 49, "3889d41119fc2dd226372de3ae73cfaa606fbe5b3e34da51b8c8c325bfaab71a"},
        {65535, 65584, "d5e969fe63fda6df3cb4ded63008cb4167b9e67267a3d3d38240c448988e082a"},
        {65536, 65585, "bb0b11d05f4e3691636c11e8b616c1bfa69704ff7fc9160bcf545bcede996174"},
        {65537, 65603, "1594781961cc5564beccf553f1a0aef032b427ac917f33a56d43ab79d2582b1b"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        const CountingRandom sameHeader;
        const std::string message = encrypt(key, pattern(row.size));
        ASSERT_EQ(message.size(), row.messageSize);
        EXPECT_EQ(qb::strongMessageSize(row.size), row.messageSize);
        unsigned char digest[crypto_hash_sha256_BYTES];
        crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(message.data()), message.size());
        EXPECT_EQ(toHex(digest, sizeof digest), row.sha256);
        EXPECT_EQ(decrypt(key, message), pattern(row.size)) << "round trip";
    }
}

TEST(StrongCipher, AnythingButTheWholeUnchangedMessageIsRefused)
{
    const std::string key = generatedKey();
    const std::string message = encrypt(key, pattern(2 * 65536 + 100));
    const std::size_t middleChunk = qb::kStrongHeader + qb::kStrongChunk + 500;
    const std::size_t finalChunk = qb::kStrongHeader + 2 * qb::kStrongChunk + 50;
    const auto flipped = [&](std::size_t at) {
        std::string changed = message;
        changed[at] = static_cast<char>(changed[at] ^ 0x01);
        return changed;
    };
    std::string anotherKey = key;
    anotherKey[999] = static_cast<char>(anotherKey[999] ^ 1);
    std::string finalTwice = encrypt(key, "short");
    finalTwice += finalTwice.substr(qb::kStrongHeader);
    const struct
    {
        const char* what;
        std::string key;
        std::string message;
    } rows[] = {
        {"another key", anotherKey, message},
        {"signature changed", key, flipped(3)},
        {"header changed", key, flipped(20)},
        {"middle chunk changed", key, flipped(middleChunk)},
        {"FINAL chunk changed", key, flipped(finalChunk)},
        {"cut at a chunk boundary", key, message.substr(0, qb::kStrongHeader + 2 * qb::kStrongChunk)},
        {"cut inside a chunk", key, message.substr(0, message.size() - 1)},
        {"bytes after FINAL", key, message + "x"},
        {"a chunk after FINAL", key, finalTwice},
        {"empty", key, ""},
        {"signature alone", key, message.substr(0, 8)},
        {"signature and header, no chunk", key, message.substr(0, qb::kStrongHeader)},
    };
    ASSERT_EQ(decrypt(key, message), pattern(2 * 65536 + 100));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(decrypt(row.key, row.message), "refused");
        EXPECT_EQ(decrypt(row.key, row.message, 1), "refused") << "read a byte at a time";
    }
}

} // namespace
