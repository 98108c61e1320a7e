#include "SecretBytes.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace qb {

void startSodium()
{
    static const bool started = sodium_init() >= 0;
    if (!started)
        throw std::runtime_error("libsodium cannot be initialised");
}

SecretBytes::SecretBytes(std::size_t size)
{
    resize(size);
}

SecretBytes::~SecretBytes()
{
    release();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept
{
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void SecretBytes::resize(std::size_t size)
{
    if (size <= m_capacity) {
        m_size = size;
        return;
    }
    startSodium();
    const std::size_t capacity = std::max(size, m_capacity * 2);
    auto* grown = static_cast<unsigned char*>(sodium_malloc(capacity));
    if (!grown)
        throw std::bad_alloc();
    if (m_size > 0)
        std::memcpy(grown, m_data, m_size);
    release();
    m_data = grown;
    m_size = size;
    m_capacity = capacity;
}

void SecretBytes::release() noexcept
{
    // sodium_free wipes the bytes before it gives the pages back.
    if (m_data)
        sodium_free(m_data);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

} // namespace qb
