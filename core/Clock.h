#pragma once

#include <cstdint>

namespace qb {

constexpr std::uint32_t kMillisecondsPerDay = 24u * 60u * 60u * 1000u;

// ((hours x 60 + minutes) x 60 + seconds) x 1000 + milliseconds: the key generator's seed.
std::uint32_t millisecondsSinceMidnight(int hours, int minutes, int seconds, int milliseconds);

// The time of day the key generator is seeded from. Behind an interface so tests can fix it.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since midnight UTC, 0 to kMillisecondsPerDay - 1.
    virtual std::uint32_t millisecondsSinceMidnightUtc() const = 0;
};

// The system clock in UTC.
class SystemUtcClock : public Clock
{
public:
    std::uint32_t millisecondsSinceMidnightUtc() const override;
};

} // namespace qb
