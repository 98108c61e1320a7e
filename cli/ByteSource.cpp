#include "ByteSource.h"

#include "CliErrors.h"
#include "DataDirectory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qbcli {

namespace {

// Bytes searched at a time.
constexpr std::size_t kSearchChunk = 1 << 20;

} // namespace

ByteSource::ByteSource(qb::IoContext& io, const std::string& name)
    : m_io(io), m_shownName(name.empty() || name == "-" ? "standard input" : name), m_fd(STDIN_FILENO),
      m_size(std::numeric_limits<std::uint64_t>::max())
{
    struct stat info
    {
    };
    if (name.empty() || name == "-") {
        if (::fstat(m_fd, &info) != 0)
            fail(errno);
    } else {
        m_path = absolutePath(name);
        qb::FilePlace place;
        int error = place.locate(m_path, io.dataDirectory(), io.fileOperations());
        if (error == 0)
            error = place.openStream(O_RDONLY, m_file, info);
        if (error != 0)
            fail(error);
        m_fd = m_file.descriptor();
    }
    m_regular = S_ISREG(info.st_mode);
    if (!m_regular)
        return;
    // A file being read is not replaced by this process or another running copy until it is closed.
    const qb::OpenFileTable::FileId id{info.st_dev, info.st_ino};
    if (!io.openFiles().mayOpen(id, qb::OpenFileTable::Access::Read))
        fail(EBUSY);
    if (m_file.isOpen()) {
        if (const int error = m_file.lock(false, io.lockWait()))
            fail(error);
    }
    io.openFiles().add(id, qb::OpenFileTable::Access::Read);
    m_held = id;
    const off_t at = ::lseek(m_fd, 0, SEEK_CUR);
    m_start = at > 0 ? at : 0;
    m_size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size - m_start, 0));
}

ByteSource::~ByteSource()
{
    if (m_held)
        m_io.openFiles().remove(*m_held, qb::OpenFileTable::Access::Read);
}

void ByteSource::fail(int error) const
{
    throw FileError(m_shownName, fileErrorText(error));
}

std::size_t ByteSource::read(unsigned char* out, std::size_t count)
{
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - m_read));
    if (want == 0)
        return 0;
    for (;;) {
        const ssize_t got = ::read(m_fd, out, want);
        if (got >= 0) {
            m_read += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR)
            fail(errno);
    }
}

std::size_t ByteSource::readFull(unsigned char* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const std::size_t got = read(out + done, count - done);
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool ByteSource::holds(std::string_view text)
{
    std::vector<char> chunk(kSearchChunk + text.size());
    std::size_t kept = 0; // the end of the previous chunk, where `text` may begin
    for (std::uint64_t at = m_read; at < m_size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchChunk, m_size - at));
        const ssize_t got = ::pread(m_fd, chunk.data() + kept, want, m_start + static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno);
        if (got == 0)
            break;
        const std::size_t filled = kept + static_cast<std::size_t>(got);
        if (::memmem(chunk.data(), filled, text.data(), text.size()))
            return true;
        kept = std::min(filled, text.size() - 1);
        std::memmove(chunk.data(), chunk.data() + filled - kept, kept);
        at += static_cast<std::uint64_t>(got);
    }
    return false;
}

void ByteSource::rewind()
{
    if (::lseek(m_fd, m_start, SEEK_SET) != m_start)
        fail(errno);
    m_read = 0;
}

void ByteSource::finish()
{
    if (const int error = m_file.close())
        fail(error);
}

} // namespace qbcli
