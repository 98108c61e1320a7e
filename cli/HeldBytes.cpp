#include "HeldBytes.h"

#include "CliErrors.h"
#include "StoredFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace qbcli {

namespace {

constexpr std::size_t kMostInMemory = 8 << 20;
constexpr std::size_t kReplayPiece = 1 << 20;

} // namespace

void HeldBytes::fail(int error) const
{
    throw FileError("temporary file in " + m_session.currentdirectory, fileErrorText(error, ""));
}

void HeldBytes::spill()
{
    qb::FilePlace folder;
    int error = folder.locate(qb::joinPath(m_session.currentdirectory, "held"), m_session.currentdirectory);
    if (error == 0)
        error = folder.createUnnamed(m_session.io.faults(), m_file, true);
    if (error == EOPNOTSUPP) {
        // Where no file can be made without a name, one is made and its name removed at once.
        const std::string name = qb::temporaryFileName();
        qb::PosixFile created;
        error = folder.createSibling(m_session.io.faults(), name, created);
        if (error == 0) {
            m_file = qb::PosixFile(::openat(folder.folderDescriptor(), name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
            error = m_file.isOpen() ? 0 : errno;
            folder.removeSibling(m_session.io.faults(), name);
        }
    }
    if (error != 0)
        fail(error);
}

void HeldBytes::append(const std::string& bytes)
{
    if (!m_file.isOpen() && m_memory.size() + bytes.size() > kMostInMemory) {
        spill();
        if (const int error = m_file.writeAll(m_session.io.faults(), m_memory.data(), m_memory.size()))
            fail(error);
        std::string().swap(m_memory);
    }
    if (!m_file.isOpen()) {
        // Room for all that is held in memory at once, so growing never holds two copies.
        if (m_memory.capacity() < kMostInMemory)
            m_memory.reserve(kMostInMemory);
        m_memory += bytes;
        return;
    }
    if (const int error = m_file.writeAll(m_session.io.faults(), bytes.data(), bytes.size()))
        fail(error);
}

void HeldBytes::clear()
{
    m_memory.clear();
    if (!m_file.isOpen())
        return;
    if (const int error = m_file.truncate(m_session.io.faults(), 0))
        fail(error);
    if (::lseek(m_file.descriptor(), 0, SEEK_SET) != 0)
        fail(errno);
}

void HeldBytes::replay(const std::function<void(unsigned char*, std::size_t)>& onPiece)
{
    auto* memory = reinterpret_cast<unsigned char*>(m_memory.data());
    for (std::size_t at = 0; at < m_memory.size(); at += kReplayPiece)
        onPiece(memory + at, std::min(kReplayPiece, m_memory.size() - at));
    if (!m_file.isOpen())
        return;
    std::vector<unsigned char> piece(kReplayPiece);
    for (off_t at = 0;;) {
        std::size_t got = 0;
        if (const int error = m_file.readAt(piece.data(), piece.size(), at, got))
            fail(error);
        if (got == 0)
            return;
        onPiece(piece.data(), got);
        at += static_cast<off_t>(got);
    }
}

} // namespace qbcli
