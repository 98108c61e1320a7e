#include "TerminalText.h"

namespace qbcli {

std::string withVisibleControls(std::string_view text)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
            continue;
        }
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 0x0F];
    }
    return shown;
}

} // namespace qbcli
