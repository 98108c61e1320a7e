#pragma once

#include <functional>
#include <string_view>

class QTextDocument;

namespace qb {

// Calls `piece` with every character of `document` in order, a run at a time, straight from where the document keeps
// them: paragraphs are separated by U+2029, and the last one ends without it. Qt gives its characters out otherwise
// only as a copy of the whole text, or a run at a time with a search through the whole document for each.
void forEachTextPiece(const QTextDocument& document, const std::function<void(std::u16string_view)>& piece);

} // namespace qb
