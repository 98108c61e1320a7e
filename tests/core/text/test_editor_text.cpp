#include "Cp1252.h"
#include "EditorText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string allBytesView(std::string_view bytes)
{
    std::u16string view(bytes.size(), u'\0');
    view.resize(qb::decodeAllBytesView(bytes, view.data()));
    return view;
}

std::string roundTrip(const std::string& bytes)
{
    std::string back;
    EXPECT_EQ(qb::encodeEditorText(allBytesView(bytes), back), std::nullopt);
    return back;
}

TEST(AllBytesView, EveryByteBesideEveryLineBreakNeighbourComesBackAsItWas)
{
    const std::string neighbours[] = {"", "a", "\r", "\n", "\r\n", "\n\r", std::string(1, '\0')};
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        for (const std::string& before : neighbours) {
            for (const std::string& after : neighbours) {
                const std::string bytes = before + byte + after;
                ASSERT_EQ(roundTrip(bytes), bytes) << "byte " << value << " between neighbours";
                // Nothing but a CR LF pair may reach the editor as a control character.
                const std::u16string view = allBytesView(bytes);
                for (std::size_t i = 0; i < view.size(); ++i) {
                    const char16_t c = view[i];
                    const bool pairedBreak = (c == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n') ||
                                             (c == u'\n' && i > 0 && view[i - 1] == u'\r');
                    ASSERT_TRUE(c >= 0x20 || pairedBreak) << "byte " << value << ": control character in the view";
                }
            }
        }
    }
}

// The view is decoded through one table; a byte at a time through the two mappings is the reference.
TEST(AllBytesView, MatchesTheBytewiseMappings)
{
    std::string bytes;
    for (unsigned value = 0, state = 7; value < 4096; ++value, state = state * 1103515245u + 12345u)
        bytes += static_cast<char>(value < 256 ? value : (state >> 16) % 16 ? state >> 8 : (value % 2 ? '\r' : '\n'));
    std::u16string expected;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            expected += u"\r\n";
            ++i;
        } else {
            expected += qb::controlPicture(byte) ? qb::controlPicture(byte) : qb::cp1252ToUnicode(byte);
        }
    }
    EXPECT_EQ(allBytesView(bytes), expected);
}

TEST(AllBytesView, ShowsControlBytesAsTheirPicturesAndKeepsCrLfAsALineBreak)
{
    EXPECT_EQ(allBytesView(std::string("a\r\nb", 4)), u"a\r\nb");
    EXPECT_EQ(allBytesView(std::string("\n\r\0\t\x1a\x7f\x80", 7)), u"\u240A\u240D\u2400\u2409\u241A\u2421\u20AC");
    EXPECT_EQ(allBytesView("\r\r\n\n"), u"\u240D\r\n\u240A");
    EXPECT_EQ(allBytesView("\r\n\r"), u"\r\n\u240D");
}

TEST(EditorText, LineSeparatorsAndPicturesSaveAsBytesAndOtherCharactersAreRefused)
{
    const struct
    {
        const char* name;
        std::u16string text;
        std::string bytes;
        std::optional<std::size_t> firstFailure;
    } rows[] = {
        {"paragraph and line separators", u"a\u2029b\u2028c", "a\r\nb\r\nc", std::nullopt},
        {"pictures typed or pasted", u"\u2400\u2409\u241F\u2421", std::string("\0\t\x1f\x7f", 4), std::nullopt},
        {"real control characters", u"\t\n", "\t\n", std::nullopt},
        {"windows-1252", u"\u20AC\u00FF", "\x80\xff", std::nullopt},
        {"pictures of no control byte", u"x\u2420\u2422y", "xy", 1},
        {"a smiley", u"ok \u263A", "ok ", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes;
        EXPECT_EQ(qb::encodeEditorText(row.text, bytes), row.firstFailure);
        EXPECT_EQ(bytes, row.bytes);
    }
}

// Runs of ASCII of every length around the sixteen characters the encoder takes at a time, between every kind of
// character it treats apart, against a character-by-character reference.
TEST(EditorText, EncodesAsTheCharacterByCharacterReference)
{
    const char16_t apart[] = {0x2029, 0x2028, 0x2400, 0x241F, 0x2421, 0x20AC, 0x00E9, 0x0081,
                              0x0080, 0x00FF, 0x007F, 0x263A, 0xD83D, 0x2420, 0x0000, 0x0160};
    std::u16string text;
    for (unsigned run = 0, state = 1; run < 2000; ++run, state = state * 1103515245u + 12345u) {
        for (unsigned ascii = 0; ascii < (state >> 16) % 40; ++ascii)
            text += static_cast<char16_t>(0x20 + (state >> 8) % 0x5F);
        text += apart[run % 16];
    }
    for (const std::size_t from : {std::size_t(0), std::size_t(100), text.size() - 37}) {
        const std::u16string_view part = std::u16string_view(text).substr(from);
        std::string expected;
        std::optional<std::size_t> expectedFailure;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const char16_t c = part[i];
            const int byte = c >= 0x2400 && c < 0x2420 ? c - 0x2400 : c == 0x2421 ? 0x7F : qb::unicodeToCp1252(c);
            if (c == 0x2028 || c == 0x2029)
                expected += "\r\n";
            else if (byte >= 0)
                expected += static_cast<char>(byte);
            else if (!expectedFailure)
                expectedFailure = i;
        }
        std::string bytes = "left over";
        EXPECT_EQ(qb::encodeEditorText(part, bytes), expectedFailure) << "from " << from;
        EXPECT_EQ(bytes, expected) << "from " << from;
    }
}

} // namespace
