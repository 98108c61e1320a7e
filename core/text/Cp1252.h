#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The editor holds bytes; the toolkit shows Unicode. windows-1252 as the WHATWG Encoding Standard
// defines it, except that the five bytes it leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the C1 controls of the same value, so every byte survives a round trip through the editor.
namespace qb {

char16_t cp1252ToUnicode(unsigned char byte);

// The byte for a character, or -1 when the code page has none.
int unicodeToCp1252(char16_t character);

std::u16string decodeCp1252(std::string_view bytes);
// The same into `out`, which has room for bytes.size() characters.
void decodeCp1252(std::string_view bytes, char16_t* out);

// Replaces `bytes` with the encoding of `text`; characters the code page lacks are left out. Returns the
// index of the first such character, or std::nullopt when every character was encoded.
std::optional<std::size_t> encodeCp1252(std::u16string_view text, std::string& bytes);

} // namespace qb
