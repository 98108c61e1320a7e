#include "HeldBytes.h"

#include "CliErrors.h"
#include "StoredFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qbcli {

namespace {

constexpr std::size_t kMostInMemory = 8 << 20;

} // namespace

void HeldBytes::fail(int error) const
{
    throw FileError("temporary file in " + m_session.currentdirectory, fileErrorText(error));
}

void HeldBytes::spill()
{
    qb::FilePlace folder;
    int error = folder.locate(qb::joinPath(m_session.currentdirectory, "held"), m_session.currentdirectory,
                              m_session.io.fileOperations());
    if (error == 0)
        error = folder.createUnnamed(m_file);
    if (error == EOPNOTSUPP) {
        // Where no file can be made without a name, one is made and its name removed at once.
        const std::string name = qb::temporaryFileName();
        qb::PosixFile created;
        error = folder.createSibling(name, created);
        if (error == 0) {
            m_file = qb::PosixFile(::openat(folder.folderDescriptor(), name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC),
                                   m_session.io.fileOperations());
            error = m_file.isOpen() ? 0 : errno;
            folder.removeSibling(name);
        }
    }
    if (error != 0)
        fail(error);
}

void HeldBytes::append(const std::string& bytes)
{
    if (!m_file.isOpen() && m_memory.size() + bytes.size() > kMostInMemory) {
        spill();
        if (const int error = m_file.writeAll(m_memory.data(), m_memory.size()))
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
    if (const int error = m_file.writeAll(bytes.data(), bytes.size()))
        fail(error);
}

void HeldBytes::clear()
{
    m_memory.clear();
    if (!m_file.isOpen())
        return;
    if (const int error = m_file.truncate(0))
        fail(error);
    if (::lseek(m_file.descriptor(), 0, SEEK_SET) != 0)
        fail(errno);
}

std::size_t HeldBytes::readBack(unsigned char* out, std::size_t count)
{
    if (m_readBack < m_memory.size()) {
        const auto at = static_cast<std::size_t>(m_readBack);
        const std::size_t take = std::min(count, m_memory.size() - at);
        std::memcpy(out, m_memory.data() + at, take);
        m_readBack += take;
        return take;
    }
    if (!m_file.isOpen())
        return 0;
    std::size_t got = 0;
    if (const int error = m_file.readAt(out, count, static_cast<off_t>(m_readBack), got))
        fail(error);
    m_readBack += got;
    return got;
}

} // namespace qbcli
