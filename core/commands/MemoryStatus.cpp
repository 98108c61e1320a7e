#include "MemoryStatus.h"

#include <fstream>
#include <sstream>

namespace qb {

namespace {

// The value in kB of the line "<key>:   <number> kB", if there is one.
std::optional<std::uint64_t> kilobytesOf(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size() + 1, key + ":") != 0)
            continue;
        std::istringstream fields(line.substr(key.size() + 1));
        std::uint64_t value = 0;
        if (fields >> value)
            return value;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<MemoryStatus> parseMemInfo(const std::string& text)
{
    const std::optional<std::uint64_t> totalKb = kilobytesOf(text, "MemTotal");
    const std::optional<std::uint64_t> availableKb = kilobytesOf(text, "MemAvailable");
    if (!totalKb || !availableKb)
        return std::nullopt;

    MemoryStatus status;
    status.totalBytes = *totalKb * 1024;
    status.availableBytes = *availableKb * 1024;
    if (*totalKb > 0 && *availableKb <= *totalKb)
        status.memoryLoad = static_cast<unsigned>((*totalKb - *availableKb) * 100 / *totalKb);
    return status;
}

MemoryStatus queryMemoryStatus()
{
    std::ifstream file("/proc/meminfo");
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return parseMemInfo(text.str()).value_or(MemoryStatus{});
}

} // namespace qb
