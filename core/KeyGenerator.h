#pragma once

#include "Clock.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qb {

constexpr std::size_t kGeneratedKeyLength = 1000;
// Each generated key byte is a value 0 to 9 (the byte itself, not a digit character).
constexpr std::uint32_t kKeyValueRange = 10;

// The pseudo-random generator keys are drawn from. Its arithmetic is fixed, so a key generated from a
// given seed is the same byte for byte on every build.
class KeyRandom
{
public:
    explicit KeyRandom(std::uint32_t seed = 0) : m_state(seed) {}
    void seed(std::uint32_t seed) { m_state = seed; }
    // Advances the state (s := s x 134775813 + 1, mod 2^32) and returns a value 0 to range - 1: the upper
    // 32 bits of the 64-bit product of the new state and the range.
    std::uint32_t draw(std::uint32_t range);
    std::uint32_t state() const { return m_state; }

private:
    std::uint32_t m_state;
};

// Draws fresh 1000-byte keys, seeding the generator from the clock immediately before each one.
class KeyGenerator
{
public:
    explicit KeyGenerator(const Clock& clock) : m_clock(clock) {}
    std::vector<unsigned char> generate();
    // The key a given seed gives.
    static std::vector<unsigned char> fromSeed(std::uint32_t seed);

private:
    const Clock& m_clock;
};

} // namespace qb
