#include "EditorText.h"

#include "ByteText.h"
#include "Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qb {
namespace {

constexpr char16_t kFirstPicture = 0x2400;
constexpr char16_t kDeletePicture = 0x2421;

bool isLineBreak(char16_t character)
{
    return character == 0x2028 || character == 0x2029;
}

// The control byte a Control Picture stands for, or -1.
int pictureByte(char16_t character)
{
    if (character >= kFirstPicture && character < kFirstPicture + 0x20)
        return character - kFirstPicture;
    return character == kDeletePicture ? 0x7F : -1;
}

} // namespace

char16_t controlPicture(unsigned char byte)
{
    if (!isControlByte(byte))
        return 0;
    return byte == 0x7F ? kDeletePicture : static_cast<char16_t>(kFirstPicture + byte);
}

int byteWithoutGlyph(char16_t character)
{
    switch (character) {
    case 0x81:
    case 0x8D:
    case 0x8F:
    case 0x90:
    case 0x9D:
        return character;
    default:
        return pictureByte(character);
    }
}

namespace {

// The view's character for every byte, a CR that begins a CR LF pair aside: one look-up a byte.
const std::array<char16_t, 256> kAllBytesView = [] {
    std::array<char16_t, 256> view{};
    for (int byte = 0; byte < 256; ++byte) {
        const auto value = static_cast<unsigned char>(byte);
        view[value] = controlPicture(value) ? controlPicture(value) : cp1252ToUnicode(value);
    }
    return view;
}();

} // namespace

std::size_t decodeAllBytesView(std::string_view bytes, char16_t* out)
{
    // Every byte through the table, then the rare CR LF pairs put back: no test a byte on the way.
    const auto* const in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; ++i)
        out[i] = kAllBytesView[in[i]];
    // A pair's second byte is an LF, never a CR, so pairs found one after another never overlap.
    for (const void* found = std::memchr(in, '\r', size); found != nullptr;) {
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - in);
        if (at + 1 < size && in[at + 1] == '\n') {
            out[at] = u'\r';
            out[at + 1] = u'\n';
        }
        found = at + 1 < size ? std::memchr(in + at + 1, '\r', size - at - 1) : nullptr;
    }
    return size;
}

namespace {

#ifdef __SSE2__
// Sixteen characters at a time, as long as they are ASCII and at least sixteen remain.
const char16_t* copyAsciiRun(const char16_t* in, const char16_t* end, char*& out)
{
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (end - in >= 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
        // Two bits a character, set where it is ASCII.
        const auto ascii =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(first, nonAscii), zero))) |
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(second, nonAscii), zero))) << 16;
        // The output has room for every character still to come, so all sixteen may be stored; what follows the
        // ASCII ones is written again.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(first, second));
        if (ascii != 0xFFFFFFFFu) {
            const auto run = static_cast<std::size_t>(__builtin_ctz(~ascii) / 2);
            out += run;
            return in + run;
        }
        in += 16;
        out += 16;
    }
    return in;
}
#else
const char16_t* copyAsciiRun(const char16_t* in, const char16_t*, char*&)
{
    return in;
}
#endif

} // namespace

std::optional<std::size_t> encodeEditorText(std::u16string_view text, std::string& bytes)
{
    bytes.clear();
    return appendEditorText(text, bytes);
}

std::optional<std::size_t> appendEditorText(std::u16string_view text, std::string& bytes)
{
    // Converted a block at a time into a buffer that stays in the cache, then appended: the string is not sized
    // ahead (which would write every byte twice) and its line breaks, two bytes each, need no count first. A block
    // of characters never needs more than twice its length in bytes.
    constexpr std::size_t kBlockCharacters = 8192;
    char converted[2 * kBlockCharacters];
    const char16_t* const start = text.data();
    std::optional<std::size_t> firstFailure;
    for (std::size_t from = 0; from < text.size(); from += kBlockCharacters) {
        const char16_t* in = start + from;
        const char16_t* const end = in + std::min(kBlockCharacters, text.size() - from);
        char* out = converted;
        while (in != end) {
            in = copyAsciiRun(in, end, out);
            if (in == end)
                break;
            const char16_t character = *in++;
            if (character < 0x80) {
                *out++ = static_cast<char>(character);
                continue;
            }
            if (isLineBreak(character)) {
                *out++ = '\r';
                *out++ = '\n';
                continue;
            }
            int byte = unicodeToCp1252(character);
            if (byte < 0)
                byte = pictureByte(character);
            if (byte < 0) {
                if (!firstFailure)
                    firstFailure = static_cast<std::size_t>(in - 1 - start);
                continue;
            }
            *out++ = static_cast<char>(byte);
        }
        bytes.append(converted, static_cast<std::size_t>(out - converted));
    }
    return firstFailure;
}

} // namespace qb
