#pragma once

#include <cstddef>
#include <string_view>

namespace qb {

// Initialises libsodium once for the process, before its allocator or random source is used; raises when it cannot.
void startSodium();

// Bytes of a key, held where a core dump does not reach them and wiped when freed: libsodium's guarded allocation,
// whose pages are marked MADV_DONTDUMP (and locked in memory as far as the process's limit allows).
class SecretBytes
{
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    unsigned char* data() { return m_data; }
    const unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    unsigned char* begin() { return m_data; }
    unsigned char* end() { return m_data + m_size; }
    const unsigned char* begin() const { return m_data; }
    const unsigned char* end() const { return m_data + m_size; }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_data), m_size}; }

    // Keeps the first min(size, new size) bytes; new bytes are unspecified. Growing moves the bytes to a larger
    // allocation at least twice the size, so a key read in steps is copied only a few times.
    void resize(std::size_t size);

private:
    void release() noexcept;

    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace qb
