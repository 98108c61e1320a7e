#include "KeyGenerator.h"

namespace qb {

namespace {
constexpr std::uint32_t kMultiplier = 134775813u; // 0x08088405
}

std::uint32_t KeyRandom::draw(std::uint32_t range)
{
    m_state = m_state * kMultiplier + 1u; // unsigned arithmetic wraps mod 2^32
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(m_state) * range) >> 32);
}

std::vector<unsigned char> KeyGenerator::generate()
{
    return fromSeed(m_clock.millisecondsSinceMidnightUtc());
}

std::vector<unsigned char> KeyGenerator::fromSeed(std::uint32_t seed)
{
    KeyRandom random(seed);
    std::vector<unsigned char> key(kGeneratedKeyLength);
    for (unsigned char& byte : key)
        byte = static_cast<unsigned char>(random.draw(kKeyValueRange));
    return key;
}

} // namespace qb
