#include "MemoryStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(MemoryStatus, ReadsTotalAndAvailableAndComputesTheLoad)
{
    const std::string meminfo = "MemTotal:        8048576 kB\n"
                                "MemFree:          123456 kB\n"
                                "MemAvailable:    4829146 kB\n"
                                "Buffers:           10000 kB\n";
    const std::optional<qb::MemoryStatus> status = qb::parseMemInfo(meminfo);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->totalBytes, 8048576ull * 1024);
    EXPECT_EQ(status->availableBytes, 4829146ull * 1024);
    // (8048576 - 4829146) / 8048576 = 39.99...%: whole percent, not rounded up.
    EXPECT_EQ(status->memoryLoad, 39u);
}

TEST(MemoryStatus, LoadAtTheEdges)
{
    const std::pair<std::string, unsigned> rows[] = {
        {"MemTotal: 1000 kB\nMemAvailable: 1000 kB\n", 0u},
        {"MemTotal: 1000 kB\nMemAvailable: 0 kB\n", 100u},
        {"MemAvailable: 580 kB\nMemTotal: 1000 kB\n", 42u},
        {"MemTotal: 0 kB\nMemAvailable: 0 kB\n", 0u},
    };
    for (const auto& [text, load] : rows) {
        const std::optional<qb::MemoryStatus> status = qb::parseMemInfo(text);
        ASSERT_TRUE(status) << text;
        EXPECT_EQ(status->memoryLoad, load) << text;
    }
}

TEST(MemoryStatus, MissingOrMangledFiguresGiveNothing)
{
    const std::string rows[] = {
        "",
        "MemTotal: 1000 kB\n",
        "MemAvailable: 10 kB\n",
        "MemTotal: lots\nMemAvailable: 10 kB\n",
        "MemTotalx: 1000 kB\nMemAvailable: 10 kB\n",
    };
    for (const std::string& text : rows)
        EXPECT_EQ(qb::parseMemInfo(text).has_value(), false) << text;
}

TEST(MemoryStatus, ThisMachineReportsSomeMemory)
{
    const qb::MemoryStatus status = qb::queryMemoryStatus();
    EXPECT_GT(status.totalBytes, 0u);
    EXPECT_LE(status.availableBytes, status.totalBytes);
    EXPECT_LE(status.memoryLoad, 100u);
}

} // namespace
