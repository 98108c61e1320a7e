#include "PiecewiseFill.h"

#include <QString>
#include <QTextCursor>

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace qb {
namespace {

std::size_t pieceEnd(std::string_view bytes, std::size_t start)
{
    std::size_t end = std::min(bytes.size(), start + kFillPieceBytes);
    while (end < bytes.size() && bytes[end - 1] == '\r')
        ++end;
    return end;
}

// Gives the whole pages of a buffer back to the system as the front of the buffer is used up; they are never
// read again, and the buffer is freed after.
class UsedPages
{
public:
    explicit UsedPages(const char* buffer)
        : m_page(static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE))),
          m_buffer(reinterpret_cast<std::uintptr_t>(buffer)), m_released(roundUp(m_buffer))
    {
    }

    void usedUpTo(std::size_t offset)
    {
        const std::uintptr_t end = (m_buffer + offset) & ~(m_page - 1);
        if (end <= m_released)
            return;
        ::madvise(reinterpret_cast<void*>(m_released), end - m_released, MADV_DONTNEED);
        m_released = end;
    }

private:
    std::uintptr_t roundUp(std::uintptr_t address) const { return (address + m_page - 1) & ~(m_page - 1); }

    std::uintptr_t m_page;
    std::uintptr_t m_buffer;
    std::uintptr_t m_released;
};

void insertPieces(QTextCursor& cursor, std::string_view bytes, ByteDecoder decode, UsedPages* used)
{
    QString piece;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = pieceEnd(bytes, start);
        piece.resize(static_cast<qsizetype>(end - start));
        const std::size_t written = decode(bytes.substr(start, end - start), reinterpret_cast<char16_t*>(piece.data()));
        piece.truncate(static_cast<qsizetype>(written));
        cursor.insertText(piece);
        if (used)
            used->usedUpTo(end);
        start = end;
    }
}

} // namespace

void insertDecodedText(QTextCursor& cursor, std::string_view bytes, ByteDecoder decode)
{
    insertPieces(cursor, bytes, decode, nullptr);
}

void insertDecodedText(QTextCursor& cursor, std::string&& bytes, ByteDecoder decode)
{
    UsedPages used(bytes.data());
    insertPieces(cursor, bytes, decode, &used);
    std::string().swap(bytes);
}

} // namespace qb
