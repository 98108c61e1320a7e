#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qb {

// The physical memory figures the About window shows.
struct MemoryStatus
{
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
    // Used memory as a whole percentage of the total (0 when the total is unknown).
    unsigned memoryLoad = 0;
};

// Reads the MemTotal and MemAvailable lines (in kB) of /proc/meminfo text; std::nullopt when either is missing.
std::optional<MemoryStatus> parseMemInfo(const std::string& text);

// The figures of this machine now; all zero when the system does not tell.
MemoryStatus queryMemoryStatus();

} // namespace qb
