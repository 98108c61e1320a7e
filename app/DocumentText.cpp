#include "DocumentText.h"

#include <QTextDocument>
#include <private/qtextdocument_p.h>

#include <algorithm>

namespace qb {

void forEachTextPiece(const QTextDocument& document, const std::function<void(std::u16string_view)>& piece)
{
    const QTextDocumentPrivate* const text = QTextDocumentPrivate::get(&document);
    const QString characters = text->buffer();
    const auto* const start = reinterpret_cast<const char16_t*>(characters.utf16());
    // The document's length counts the separator that ends its last paragraph, which is not part of its text.
    std::size_t remaining = static_cast<std::size_t>(text->length() - 1);
    // Fragments that lie one after another in the buffer, as a text inserted in one go does, are given as one run.
    const char16_t* run = start;
    std::size_t runSize = 0;
    for (auto fragment = text->begin(); fragment != text->end() && remaining > 0; ++fragment) {
        const auto size = std::min<std::size_t>(fragment->size_array[0], remaining);
        const char16_t* const characters = start + fragment->stringPosition;
        if (characters != run + runSize) {
            if (runSize > 0)
                piece(std::u16string_view(run, runSize));
            run = characters;
            runSize = 0;
        }
        runSize += size;
        remaining -= size;
    }
    if (runSize > 0)
        piece(std::u16string_view(run, runSize));
}

} // namespace qb
