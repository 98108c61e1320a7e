#include "TerminalText.h"

#include "ByteText.h"
#include "Cp1252.h"
#include "TextMode.h"

namespace qbcli {

namespace {

void appendEscaped(unsigned char byte, std::string& shown)
{
    shown += "\\x";
    qb::appendHexDigits(byte, shown);
}

} // namespace

std::string withVisibleControls(std::string_view text)
{
    // A name an earlier version stored in UTF-8 is shown as it is; the window's are windows-1252.
    const bool utf8 = isUtf8(text);
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (qb::isControlByte(byte)) {
            appendEscaped(byte, shown);
        } else if (utf8 || byte < 0x80) {
            shown += c;
        } else {
            // The five bytes windows-1252 leaves unassigned stand for C1 controls, which terminals act on too.
            const char16_t character = qb::cp1252ToUnicode(byte);
            if (character >= 0x80 && character < 0xA0)
                appendEscaped(byte, shown);
            else
                appendUtf8(character, shown);
        }
    }
    return shown;
}

} // namespace qbcli
