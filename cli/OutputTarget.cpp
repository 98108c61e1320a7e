#include "OutputTarget.h"

#include "CliErrors.h"
#include "DataDirectory.h"
#include "IoCodes.h"
#include "PosixFile.h"
#include "Replacement.h"

#include <cerrno>
#include <unistd.h>

namespace qbcli {

namespace {

[[noreturn]] void fail(const std::string& shownName, int error, const std::string& path)
{
    throw FileError(shownName, fileErrorText(error, path));
}

// The result's new content beside the named file, renamed over it once complete and on disk.
class ReplacedFile : public OutputTarget
{
public:
    ReplacedFile(qb::IoContext& io, const std::string& name)
        : m_io(io), m_shownName(name), m_path(absolutePath(name)), m_replacement(io)
    {
        qb::FilePlace place;
        int error = qb::nameCode(m_path) != 0 ? ENOENT : place.locate(m_path, io.dataDirectory());
        if (error == 0)
            error = m_replacement.begin(std::move(place), qb::Replacement::Hold::Target);
        if (error != 0)
            fail(name, error, m_path);
    }

    void write(const void* data, std::size_t count) override
    {
        if (const int error = m_replacement.file().writeAll(m_io.faults(), data, count))
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
    void commit() override {}
};

} // namespace

std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name)
{
    if (!name.empty() && name != "-")
        return std::make_unique<ReplacedFile>(io, name);
    return std::make_unique<StandardOutput>();
}

} // namespace qbcli
