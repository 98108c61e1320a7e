#include "ByteSource.h"

#include "CliErrors.h"
#include "DataDirectory.h"
#include "IoCodes.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace qbcli {

namespace {

constexpr std::size_t kFileBufferSize = 64 * 1024;

} // namespace

ByteSource::ByteSource(qb::IoContext& io, const std::string& name)
    : m_io(io), m_shownName(name), m_file(io, qb::TextFile::Reading::PlainBytes, kFileBufferSize),
      m_standardInput(name.empty() || name == "-"), m_mostBytes(std::numeric_limits<std::uint64_t>::max())
{
    if (m_standardInput)
        return;
    const std::string path = absolutePath(name);
    m_file.assign(path);
    m_file.reset();
    if (const int code = io.ioResult())
        throw FileError(name, qb::ioErrorMessage(code));
    // Opened and checked as a regular file just now: its size bounds what is read and how much key is needed.
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) == 0)
        m_mostBytes = static_cast<std::uint64_t>(info.st_size);
}

std::size_t ByteSource::read(unsigned char* out, std::size_t count)
{
    if (m_standardInput) {
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, out, count);
            if (got >= 0)
                return static_cast<std::size_t>(got);
            if (errno != EINTR)
                throw FileError("standard input", qb::ioErrorMessage(qb::ioCodeFromErrno(errno, "")));
        }
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_mostBytes - m_read));
    const std::size_t got = want == 0 ? 0 : m_file.readBytes(out, want);
    if (const int code = m_io.ioResult())
        throw FileError(m_shownName, qb::ioErrorMessage(code));
    m_read += got;
    return got;
}

void ByteSource::finish()
{
    if (m_standardInput)
        return;
    m_file.close();
    if (const int code = m_io.ioResult())
        throw FileError(m_shownName, qb::ioErrorMessage(code));
}

} // namespace qbcli
