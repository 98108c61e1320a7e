#pragma once

#include "CipherKey.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qb {

// A piece of a message, combined in place; an empty piece ends the message.
struct MessagePiece
{
    unsigned char* bytes = nullptr;
    std::size_t count = 0;
};

// The one loop through which the window's commands and quillbox-cli combine a message with a key: each piece `next`
// gives is combined in place with the repeating key, then handed to `take`, and `progress`, when there is one (the
// window's bar; quillbox-cli leaves it empty), hears how many bytes the piece held. Returns the bytes combined.
std::uint64_t combineMessage(RepeatingKey& key, const std::function<MessagePiece()>& next,
                             const std::function<void(const MessagePiece&)>& take,
                             const std::function<void(std::size_t)>& progress = {});

} // namespace qb
