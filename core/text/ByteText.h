#pragma once

#include <string>

namespace qb {

// The byte at which a text-mode reading of a file ends, as the original platform's text files did.
constexpr unsigned char kEndOfDataMark = 26;

// A C0 control or DEL: a byte that a terminal or a line of a list acts on rather than shows.
constexpr bool isControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

// Appends `byte` as two upper-case hexadecimal digits.
inline void appendHexDigits(unsigned char byte, std::string& out)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

} // namespace qb
