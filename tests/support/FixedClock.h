#pragma once

#include "Clock.h"

#include <cstdint>

namespace qbtest {

// A clock stopped at one time of day.
class FixedClock : public qb::Clock
{
public:
    explicit FixedClock(std::uint32_t millisecondsSinceMidnight) : m_value(millisecondsSinceMidnight) {}
    std::uint32_t millisecondsSinceMidnightUtc() const override { return m_value; }
    void set(std::uint32_t millisecondsSinceMidnight) { m_value = millisecondsSinceMidnight; }

private:
    std::uint32_t m_value;
};

} // namespace qbtest
