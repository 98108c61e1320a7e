#include "OutputTarget.h"

#include "CliErrors.h"
#include "DataDirectory.h"
#include "IoCodes.h"
#include "PosixFile.h"
#include "Replacement.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace qbcli {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

[[noreturn]] void fail(const std::string& shownName, int error, const std::string& path)
{
    throw FileError(shownName, qb::ioErrorMessage(qb::ioCodeFromErrno(error, path)));
}

// The result's new content beside the named file, renamed over it once complete and on disk.
class ReplacedFile : public OutputTarget
{
public:
    ReplacedFile(qb::IoContext& io, const std::string& name)
        : m_io(io), m_shownName(name), m_path(absolutePath(name)), m_replacement(io)
    {
        qb::FilePlace place;
        if (const int code = io.locate(m_path, place))
            throw FileError(name, qb::ioErrorMessage(code));
        if (const int error = m_replacement.begin(std::move(place), qb::Replacement::Hold::Target))
            fail(name, error, m_path);
    }

    void write(const void* data, std::size_t count) override
    {
        if (const int error = m_replacement.file().writeAll(m_io.faults(), data, count))
            fail(m_shownName, error, m_path);
    }

    void restart() override
    {
        qb::PosixFile& file = m_replacement.file();
        int error = file.truncate(m_io.faults(), 0);
        if (error == 0 && ::lseek(file.descriptor(), 0, SEEK_SET) != 0)
            error = errno;
        if (error != 0)
            fail(m_shownName, error, m_path);
    }

    void commit() override
    {
        if (const int error = m_replacement.commit())
            fail(m_shownName, error, m_path);
    }

private:
    qb::IoContext& m_io;
    std::string m_shownName;
    std::string m_path;
    qb::Replacement m_replacement;
};

void writeToStandardOutput(const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail("standard output", written < 0 ? errno : ENOSPC, "");
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

class StandardOutput : public OutputTarget
{
public:
    void write(const void* data, std::size_t count) override { writeToStandardOutput(data, count); }
    void restart() override { throw std::logic_error("standard output cannot be taken back"); }
    void commit() override {}
};

// Standard output held back in a temporary file that has no name, so it goes with the process whatever happens.
class SpooledStandardOutput : public OutputTarget
{
public:
    SpooledStandardOutput()
    {
        const char* folder = std::getenv("TMPDIR");
        const std::string tmp = folder && *folder ? folder : "/tmp";
        m_spool = qb::PosixFile(::open(tmp.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (!m_spool.isOpen())
            fail("temporary file in " + tmp, errno, tmp + "/");
    }

    void write(const void* data, std::size_t count) override
    {
        if (const int error = m_spool.writeAll(m_seam, data, count))
            fail("temporary file", error, "");
    }

    void restart() override
    {
        int error = m_spool.truncate(m_seam, 0);
        if (error == 0 && ::lseek(m_spool.descriptor(), 0, SEEK_SET) != 0)
            error = errno;
        if (error != 0)
            fail("temporary file", error, "");
    }

    void commit() override
    {
        if (::lseek(m_spool.descriptor(), 0, SEEK_SET) != 0)
            fail("temporary file", errno, "");
        std::vector<char> chunk(kCopyChunk);
        for (;;) {
            std::size_t got = 0;
            if (const int error = m_spool.readSome(chunk.data(), chunk.size(), got))
                fail("temporary file", error, "");
            if (got == 0)
                return;
            writeToStandardOutput(chunk.data(), got);
        }
    }

private:
    qb::PosixFile m_spool;
    qb::FaultSeam m_seam; // no faults are forced here: the spool is no file of the user's
};

} // namespace

std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name, Retraction retraction)
{
    if (!name.empty() && name != "-")
        return std::make_unique<ReplacedFile>(io, name);
    if (retraction == Retraction::Possible)
        return std::make_unique<SpooledStandardOutput>();
    return std::make_unique<StandardOutput>();
}

} // namespace qbcli
