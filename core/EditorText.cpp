#include "EditorText.h"

#include "ByteText.h"
#include "Cp1252.h"

#include <algorithm>
#include <array>

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

std::optional<std::size_t> encodeEditorText(std::u16string_view text, std::string& bytes)
{
    // Sized once for the line breaks that widen to two bytes, then written straight into place.
    const auto lineBreaks = static_cast<std::size_t>(std::count_if(text.begin(), text.end(), isLineBreak));
    bytes.resize(text.size() + lineBreaks);
    char* out = bytes.data();
    std::optional<std::size_t> firstFailure;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t character = text[i];
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
                firstFailure = i;
            continue;
        }
        *out++ = static_cast<char>(byte);
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return firstFailure;
}

} // namespace qb
