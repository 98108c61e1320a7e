#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The editor's characters and the bytes they stand for. A ciphertext is shown with every byte visible: control
// bytes, which a text editor would turn into line breaks or drop, appear as their Unicode Control Pictures. Those
// pictures lie outside windows-1252, so giving them back as bytes changes no text that saves otherwise.
namespace qb {

// Control Picture of a control byte (0x00-0x1F, 0x7F); 0 for any other byte.
char16_t controlPicture(unsigned char byte);

// The all-bytes view of `bytes`, written to `out`, which has room for bytes.size() characters; returns the number
// written. A CR LF pair stays CR LF (a line break); every other control byte becomes its Control Picture; every
// other byte its windows-1252 character.
std::size_t decodeAllBytesView(std::string_view bytes, char16_t* out);

// The byte an editor character stands for when it is no readable letter of its own: a Control Picture's control
// byte, or one of the five bytes windows-1252 leaves unassigned (held as the C1 control of that value). -1 for any
// other character.
int byteWithoutGlyph(char16_t character);

// Replaces `bytes` with what an editor save writes for `text`: U+2028 and U+2029 (an editor's line breaks) become
// CR LF, Control Pictures their control bytes, every other character its windows-1252 byte. Characters without a
// byte are left out; returns the index of the first, or std::nullopt when every character has one.
std::optional<std::size_t> encodeEditorText(std::u16string_view text, std::string& bytes);
// The same, appended to `bytes`; the index returned is within `text`.
std::optional<std::size_t> appendEditorText(std::u16string_view text, std::string& bytes);

} // namespace qb
