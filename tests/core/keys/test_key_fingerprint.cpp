#include "KeyFingerprint.h"

#include <gtest/gtest.h>

namespace {

// Expected values come from Python's hashlib over the same bytes, not from the code under test.
TEST(KeyFingerprint, IsTheFirstEightBytesOfTheSha256OfTheUsablePart)
{
    std::string digits;
    for (int i = 0; i < 100; ++i)
        digits += std::string("\0\1\2\3\4\5\6\7\x08\x09", 10);
    EXPECT_EQ(qb::keyFingerprint(digits), "793E 4834 7F02 EC9F");
    EXPECT_EQ(qb::keyFingerprint("abc"), "BA78 16BF 8F01 CFEA");
    // A key with no usable byte acts as the single byte 26.
    EXPECT_EQ(qb::keyFingerprint(""), "58F7 B078 0592 032E");
}

TEST(KeyFingerprint, RecognisesOnlyFourGroupsOfUpperCaseHexadecimal)
{
    EXPECT_TRUE(qb::isKeyFingerprint("4F2A 9C1B 77E0 D5A3"));
    EXPECT_FALSE(qb::isKeyFingerprint("4f2a 9c1b 77e0 d5a3"));
    EXPECT_FALSE(qb::isKeyFingerprint("4F2A9C1B77E0D5A3"));
    EXPECT_FALSE(qb::isKeyFingerprint("4F2A 9C1B 77E0 D5A"));
    EXPECT_FALSE(qb::isKeyFingerprint("4F2A 9C1B 77E0 D5AG"));
}

} // namespace
