#include "Cp1252.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// The bytes whose characters differ from their own value, as the code page's published table lists them.
const std::map<int, char16_t> kSpecialBytes = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021},
    {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018},
    {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC},
    {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

char16_t expectedCharacter(int byte)
{
    const auto special = kSpecialBytes.find(byte);
    return special != kSpecialBytes.end() ? special->second : static_cast<char16_t>(byte);
}

std::string allBytes(int from)
{
    std::string bytes;
    for (int byte = from; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    return bytes;
}

// From every first byte up to 0x77, so that ASCII and the bytes above it meet at every place in a run the decoder
// takes at once.
TEST(Cp1252, DecodesEveryByteToItsCharacter)
{
    ASSERT_EQ(kSpecialBytes.size(), 27u);
    for (int from = 0; from < 0x78; ++from) {
        const std::u16string text = qb::decodeCp1252(allBytes(from));
        ASSERT_EQ(text.size(), 256u - from);
        for (int byte = from; byte < 256; ++byte)
            ASSERT_EQ(text[byte - from], expectedCharacter(byte)) << "byte " << byte << " from " << from;
    }
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(qb::cp1252ToUnicode(static_cast<unsigned char>(byte)), expectedCharacter(byte)) << "byte " << byte;
}

TEST(Cp1252, EveryByteSurvivesDecodeThenEncode)
{
    const std::string bytes = allBytes(1);
    std::string encoded = "left over";
    EXPECT_EQ(qb::encodeCp1252(qb::decodeCp1252(bytes), encoded), std::nullopt);
    EXPECT_EQ(encoded, bytes);
    for (int byte = 1; byte < 256; ++byte)
        EXPECT_EQ(qb::unicodeToCp1252(expectedCharacter(byte)), byte) << "byte " << byte;
}

TEST(Cp1252, CharactersOutsideTheCodePageAreReportedAndLeftOut)
{
    struct Case
    {
        std::u16string text;
        std::size_t firstFailure;
        std::string bytes;
    };
    const Case cases[] = {
        {u"a\u0100b", 1, "ab"},
        {u"\u20AD", 0, ""},
        {u"x\u20ACy\u4E2Dz\u0100", 3, "x\x80yz"},
        // C1 controls whose bytes the code page gives to other characters have no byte of their own.
        {u"ok\u0080\u009F", 2, "ok"},
        {u"\u0152\u0151\u2122\u2123", 1, "\x8C\x99"},
    };
    for (const Case& c : cases) {
        std::string bytes;
        const std::optional<std::size_t> failure = qb::encodeCp1252(c.text, bytes);
        ASSERT_TRUE(failure.has_value()) << c.bytes;
        EXPECT_EQ(*failure, c.firstFailure) << c.bytes;
        EXPECT_EQ(bytes, c.bytes);
    }
    EXPECT_EQ(qb::unicodeToCp1252(u'\u0100'), -1);
    EXPECT_EQ(qb::unicodeToCp1252(u'\u4E2D'), -1);
    EXPECT_EQ(qb::unicodeToCp1252(u'\u0080'), -1);
    EXPECT_EQ(qb::unicodeToCp1252(u'\uFFFD'), -1);
}

} // namespace
