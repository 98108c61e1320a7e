#include "Clock.h"

#include <chrono>
#include <ctime>

namespace qb {

std::uint32_t millisecondsSinceMidnight(int hours, int minutes, int seconds, int milliseconds)
{
    return ((static_cast<std::uint32_t>(hours) * 60u + static_cast<std::uint32_t>(minutes)) * 60u +
            static_cast<std::uint32_t>(seconds)) *
               1000u +
           static_cast<std::uint32_t>(milliseconds);
}

std::uint32_t SystemUtcClock::millisecondsSinceMidnightUtc() const
{
    using namespace std::chrono;
    const auto now = floor<milliseconds>(system_clock::now());
    const auto wholeSeconds = floor<seconds>(now);
    const std::time_t epochSeconds = static_cast<std::time_t>(wholeSeconds.time_since_epoch().count());
    const int millis = static_cast<int>((now - wholeSeconds).count());
    std::tm utc{};
    ::gmtime_r(&epochSeconds, &utc);
    // A leap second (tm_sec 60) would step past the day's end; hold it at the last second.
    const int second = utc.tm_sec > 59 ? 59 : utc.tm_sec;
    return millisecondsSinceMidnight(utc.tm_hour, utc.tm_min, second, millis);
}

} // namespace qb
