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
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 0, 1, 2), 1002u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(0, 1, 0, 0), 60000u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(13, 45, 7, 250), 49507250u);
    EXPECT_EQ(qb::millisecondsSinceMidnight(23, 59, 59, 999), 86399999u);
    EXPECT_LT(qb::SystemUtcClock().millisecondsSinceMidnightUtc(), qb::kMillisecondsPerDay);
}

TEST(KeyGenerator, GivesTheKnownKeyForTheClocksTimeOfDay)
{
    struct KnownKey
    {
        std::uint32_t seed;
        Bytes first16; // computed once with an independent script from the generator's definition
    };
    const KnownKey known[] = {
        {49507250u, {4, 2, 6, 1, 0, 8, 4, 0, 5, 2, 0, 4, 3, 7, 1, 9}},
        {86399999u, {7, 9, 3, 2, 1, 0, 8, 9, 6, 8, 2, 8, 3, 3, 7, 6}},
        {1u, {0, 8, 2, 2, 6, 3, 1, 3, 4, 0, 4, 0, 8, 0, 2, 9}},
    };
    qbtest::FixedClock clock(0);
    qb::KeyGenerator generator(clock);
    for (const KnownKey& row : known) {
        SCOPED_TRACE(row.seed);
        clock.set(row.seed); // reseeded before every key, so the previous key does not matter
        const Bytes key = generator.generate();
        ASSERT_EQ(key.size(), 1000u);
        EXPECT_EQ(Bytes(key.begin(), key.begin() + 16), row.first16);
        EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](unsigned char b) { return b <= 9; }));
    }
    // Independent figures for the tail and the sum of the first key.
    const Bytes key = qb::KeyGenerator::fromSeed(49507250u);
    EXPECT_EQ(Bytes(key.end() - 4, key.end()), (Bytes{2, 7, 6, 3}));
    int sum = 0;
    for (const unsigned char b : key)
        sum += b;
    EXPECT_EQ(sum, 4630);
}

TEST(KeyRandom, WrapsTheStateModulo2To32)
{
    qb::KeyRandom random(0xFFFFFFFFu);
    EXPECT_EQ(random.draw(256), 247u); // new state 4160191484, times 256, upper half
    EXPECT_EQ(random.state(), 4160191484u);
}

} // namespace
