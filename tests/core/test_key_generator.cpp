#include "FixedClock.h"
#include "KeyGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

TEST(SeedFormula, CountsMillisecondsSinceMidnight)
{
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 0, 0, 0), 0u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 0, 0, 1), 1u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 0, 1, 0), 1000u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 1, 0, 0), 60000u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(1, 0, 0, 0), 3600000u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(13, 45, 7, 250), 49507250u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(23, 59, 59, 999), 86399999u);
}

TEST(SystemUtcClock, StaysWithinOneDay)
{
    EXPECT_LT(qb::SystemUtcClock().millisecondsSinceMidnightUtc(), qb::kMillisecondsPerDay);
}

TEST(KeyRandom, AdvancesTheStateByTheFixedMultiplierAndWraps)
{
    qb::KeyRandom random(0);
    random.draw(10);
    EXPECT_EQ(random.state(), 1u);
    random.draw(10);
    EXPECT_EQ(random.state(), 134775814u);
    random.seed(0xFFFFFFFFu);
    random.draw(10);
    EXPECT_EQ(random.state(), 4160191484u); // (2^32 - 1) * 134775813 + 1 mod 2^32
}

TEST(KeyRandom, DrawsTheUpperHalfOfStateTimesRange)
{
    qb::KeyRandom random(0xFFFFFFFFu);
    // New state 4160191484: 4160191484 * 10 >> 32 = 9, * 256 >> 32 = 247.
    EXPECT_EQ(random.draw(10), 9u);
    random.seed(0xFFFFFFFFu);
    EXPECT_EQ(random.draw(256), 247u);
}

struct KnownKey
{
    std::uint32_t seed;
    Bytes first16;
};

// Computed once with an independent script from the generator's definition.
const KnownKey kKnownKeys[] = {
    {49507250u, {4, 2, 6, 1, 0, 8, 4, 0, 5, 2, 0, 4, 3, 7, 1, 9}},
    {86399999u, {7, 9, 3, 2, 1, 0, 8, 9, 6, 8, 2, 8, 3, 3, 7, 6}},
    {1u, {0, 8, 2, 2, 6, 3, 1, 3, 4, 0, 4, 0, 8, 0, 2, 9}},
};

TEST(KeyGenerator, GivesTheKnownKeyForTheClocksTimeOfDay)
{
    for (const KnownKey& known : kKnownKeys) {
        SCOPED_TRACE(known.seed);
        qbtest::FixedClock clock(known.seed);
        const Bytes key = qb::KeyGenerator(clock).generate();
        ASSERT_EQ(key.size(), 1000u);
        EXPECT_EQ(Bytes(key.begin(), key.begin() + 16), known.first16);
        EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](unsigned char b) { return b <= 9; }));
    }
}

TEST(KeyGenerator, KnownKeyEndsAndSumsAsComputed)
{
    const Bytes key = qb::KeyGenerator::fromSeed(49507250u);
    ASSERT_EQ(key.size(), 1000u);
    EXPECT_EQ(Bytes(key.end() - 4, key.end()), (Bytes{2, 7, 6, 3}));
    int sum = 0;
    for (const unsigned char b : key)
        sum += b;
    EXPECT_EQ(sum, 4630);
}

TEST(KeyGenerator, ReseedsFromTheClockBeforeEveryKey)
{
    qbtest::FixedClock clock(1u);
    qb::KeyGenerator generator(clock);
    const Bytes first = generator.generate();
    EXPECT_EQ(generator.generate(), first);
    clock.set(49507250u);
    const Bytes later = generator.generate();
    EXPECT_EQ(Bytes(later.begin(), later.begin() + 16), kKnownKeys[0].first16);
}

} // namespace
