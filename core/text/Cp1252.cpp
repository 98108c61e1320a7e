#include "Cp1252.h"

#include <algorithm>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qb {
namespace {

// 0x80..0x9F: the only bytes whose code point differs from their value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::array<char16_t, 256> makeDecodeTable()
{
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
    return table;
}

constexpr std::array<char16_t, 256> kDecodeTable = makeDecodeTable();

struct Special
{
    char16_t character;
    unsigned char byte;
};

// The 27 characters above U+00FF that have a byte, sorted by character for a binary search; derived from
// the decode table so the two directions cannot disagree.
constexpr std::array<Special, 27> makeSpecials()
{
    std::array<Special, 27> specials{};
    std::size_t count = 0;
    for (int byte = 0x80; byte < 0xA0; ++byte) {
        if (kHighControls[byte - 0x80] > 0xFF)
            specials[count++] = {kHighControls[byte - 0x80], static_cast<unsigned char>(byte)};
    }
    for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && specials[j].character < specials[j - 1].character; --j) {
            const Special held = specials[j];
            specials[j] = specials[j - 1];
            specials[j - 1] = held;
        }
    }
    return specials;
}

constexpr std::array<Special, 27> kSpecials = makeSpecials();
static_assert(kSpecials.front().character == 0x0152 && kSpecials.back().character == 0x2122);

int encodeSpecial(char16_t character)
{
    if (character < kSpecials.front().character || character > kSpecials.back().character)
        return -1;
    const auto found =
        std::lower_bound(kSpecials.begin(), kSpecials.end(), character,
                         [](const Special& special, char16_t wanted) { return special.character < wanted; });
    return (found != kSpecials.end() && found->character == character) ? found->byte : -1;
}

} // namespace

char16_t cp1252ToUnicode(unsigned char byte)
{
    return kDecodeTable[byte];
}

int unicodeToCp1252(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    if (character < 0xA0) {
        // Of the C1 controls only the five bytes the code page leaves unassigned stand for themselves.
        return kDecodeTable[character] == character ? character : -1;
    }
    return encodeSpecial(character);
}

std::u16string decodeCp1252(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0');
    decodeCp1252(bytes, text.data());
    return text;
}

void decodeCp1252(std::string_view bytes, char16_t* out)
{
    std::size_t i = 0;
#ifdef __SSE2__
    // ASCII stands for itself: sixteen bytes at a time, where none has its high bit set.
    const __m128i zero = _mm_setzero_si128();
    for (; bytes.size() - i >= 16; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (_mm_movemask_epi8(chunk) != 0) {
            for (std::size_t at = i; at < i + 16; ++at)
                out[at] = kDecodeTable[static_cast<unsigned char>(bytes[at])];
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(chunk, zero));
    }
#endif
    for (; i < bytes.size(); ++i)
        out[i] = kDecodeTable[static_cast<unsigned char>(bytes[i])];
}

std::optional<std::size_t> encodeCp1252(std::u16string_view text, std::string& bytes)
{
    std::optional<std::size_t> firstFailure;
    bytes.resize(text.size());
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t character = text[i];
        int byte = character;
        if (character >= 0x80 && (character < 0xA0 || character > 0xFF))
            byte = unicodeToCp1252(character);
        if (byte < 0) {
            if (!firstFailure)
                firstFailure = i;
            continue;
        }
        bytes[written++] = static_cast<char>(byte);
    }
    bytes.resize(written);
    return firstFailure;
}

} // namespace qb
