#include "EditorText.h"

#include "ByteText.h"
#include "Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

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
    char16_t* const start = out;
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r' && i + 1 < size && bytes[i + 1] == '\n') {
            *out++ = u'\r';
            *out++ = u'\n';
            ++i;
        } else {
            *out++ = kAllBytesView[byte];
        }
    }
    return static_cast<std::size_t>(out - start);
}

std::u16string allBytesView(std::string_view bytes)
{
    std::u16string view(bytes.size(), u'\0');
    view.resize(decodeAllBytesView(bytes, view.data()));
    return view;
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

std::size_t countLineBreaks(const char16_t* in, const char16_t* end)
{
    const __m128i evenMask = _mm_set1_epi16(static_cast<short>(0xFFFE));
    const __m128i lineBreak = _mm_set1_epi16(0x2028);
    const __m128i ones = _mm_set1_epi16(1);
    std::size_t count = 0;
    while (end - in >= 8) {
        // Eight counters, each added to at most once a step, summed before they could overflow.
        __m128i counters = _mm_setzero_si128();
        for (int step = 0; step < 0x7FFF && end - in >= 8; ++step, in += 8) {
            const __m128i characters = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            counters = _mm_sub_epi16(counters, _mm_cmpeq_epi16(_mm_and_si128(characters, evenMask), lineBreak));
        }
        alignas(16) std::int32_t sums[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(sums), _mm_madd_epi16(counters, ones));
        count += static_cast<std::size_t>(sums[0]) + static_cast<std::size_t>(sums[1]) +
                 static_cast<std::size_t>(sums[2]) + static_cast<std::size_t>(sums[3]);
    }
    return count + static_cast<std::size_t>(std::count_if(in, end, isLineBreak));
}
#else
const char16_t* copyAsciiRun(const char16_t* in, const char16_t*, char*&)
{
    return in;
}

std::size_t countLineBreaks(const char16_t* in, const char16_t* end)
{
    return static_cast<std::size_t>(std::count_if(in, end, isLineBreak));
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
    const char16_t* const start = text.data();
    const char16_t* const end = start + text.size();
    // Sized once for the line breaks that widen to two bytes, then written straight into place.
    const std::size_t before = bytes.size();
    bytes.resize(before + text.size() + countLineBreaks(start, end));
    char* out = bytes.data() + before;
    std::optional<std::size_t> firstFailure;
    for (const char16_t* in = start; in != end;) {
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
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return firstFailure;
}

} // namespace qb
