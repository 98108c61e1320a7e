#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class QTextCursor;

namespace qb {

// The bytes decoded at a time: large enough that the work of each insertion does not show, small beside any text
// worth filling in pieces.
constexpr std::size_t kFillPieceBytes = std::size_t(1) << 20;

// Writes the characters that `bytes` stand for to `out`, which has room for bytes.size() characters; returns how
// many it wrote.
using ByteDecoder = std::size_t (*)(std::string_view bytes, char16_t* out);

// Inserts the text that `bytes` stand for at `cursor` a piece at a time: besides the document's own copy, only one
// piece of a text of many megabytes is ever held as characters. No piece ends between a CR and the byte after it,
// so a CR LF pair, one line break to the decoders and to the document alike, is never split.
void insertDecodedText(QTextCursor& cursor, std::string_view bytes, ByteDecoder decode);

// As above, taking `bytes` over: the memory of the bytes already inserted goes back to the system as the insertion
// goes on, so the bytes and the document are not both held in full. `bytes` is left empty.
void insertDecodedText(QTextCursor& cursor, std::string&& bytes, ByteDecoder decode);

} // namespace qb
