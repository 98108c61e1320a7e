#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Mail text: a message's bytes in a form that survives mail programs, which rewrap long lines, strip trailing blanks,
// change line ends and quote replies. Base64 in 64-character lines with a CRC-24 checksum line, framed by marker
// lines, as OpenPGP's armor does.
namespace qb {

extern const char* const kMailTextBegin;
extern const char* const kMailTextEnd;

// CRC-24 as OpenPGP's armor computes it (initial value 0xB704CE, polynomial 0x1864CFB).
std::uint32_t crc24(std::string_view bytes);

// The mail text of `bytes`: begin line, empty line, base64 lines, "=" checksum line, end line; each ends in LF.
std::string armorMailText(std::string_view bytes);

// The bytes of the one block of mail text in `text`, or std::nullopt when it holds none. Quote markers (">") and
// blanks at line starts, trailing blanks, blank lines, any line end and base64 lines of any length are tolerated.
// Raises EDamagedMailText for broken base64 or a checksum mismatch, EManyMailTexts for more than one block.
std::optional<std::string> readMailText(std::string_view text);

} // namespace qb
