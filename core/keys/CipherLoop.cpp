#include "CipherLoop.h"

namespace qb {

std::uint64_t combineMessage(RepeatingKey& key, const std::function<MessagePiece()>& next,
                             const std::function<void(const MessagePiece&)>& take,
                             const std::function<void(std::size_t)>& progress)
{
    std::uint64_t done = 0;
    for (MessagePiece piece = next(); piece.count != 0; piece = next()) {
        key.combine(piece.bytes, piece.count);
        take(piece);
        if (progress)
            progress(piece.count);
        done += piece.count;
    }
    return done;
}

} // namespace qb
