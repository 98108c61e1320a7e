#include "MemoryStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(MemoryStatus, ReadsTotalAndAvailableAndTakesTheWholePercentUsed)
{
    const std::tuple<std::string, std::uint64_t, unsigned> rows[] = {
        {"MemTotal:        8048576 kB\nMemFree:   123456 kB\nMemAvailable:    4829146 kB\n", 8048576, 39},
        {"MemAvailable: 580 kB\nMemTotal: 1000 kB\n", 1000, 42},
        {"MemTotal: 1000 kB\nMemAvailable: 0 kB\n", 1000, 100},
        {"MemTotal: 0 kB\nMemAvailable: 0 kB\n", 0, 0},
    };
    for (const auto& [text, totalKb, load] : rows) {
        const std::optional<qb::MemoryStatus> status = qb::parseMemInfo(text);
        ASSERT_TRUE(status) << text;
        EXPECT_EQ(status->totalBytes, totalKb * 1024);
        EXPECT_EQ(status->memoryLoad, load) << text;
    }
    for (const std::string text : {"", "MemTotal: 1000 kB\n", "MemTotal: lots\nMemAvailable: 10 kB\n",
                                   "MemTotalx: 1000 kB\nMemAvailable: 10 kB\n"})
        EXPECT_FALSE(qb::parseMemInfo(text).has_value()) << text;

    const qb::MemoryStatus here = qb::queryMemoryStatus();
    EXPECT_GT(here.totalBytes, 0u);
    EXPECT_LE(here.availableBytes, here.totalBytes);
}

} // namespace
