#include "KeyGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

TEST(KeyGenerator, DrawsAThousandBytesOverAllOf0To9AndNeverTheSameKeyTwice)
{
    const qb::SecretBytes first = qb::generateKey();
    const qb::SecretBytes second = qb::generateKey();
    ASSERT_EQ(first.size(), 1000u);
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](unsigned char b) { return b <= 9; }));
    // Each value is missing from 1000 fair draws with a chance of about 1 in 10^45: a narrower range shows here.
    EXPECT_EQ(std::set<unsigned char>(first.begin(), first.end()).size(), 10u);
    EXPECT_NE(first.view(), second.view()) << "two keys made at the same moment are alike";
}

} // namespace
