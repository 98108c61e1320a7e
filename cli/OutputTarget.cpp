#include "OutputTarget.h"

#include "CliErrors.h"
#include "CorrespondentPaths.h"
#include "DataDirectory.h"
#include "Errors.h"
#include "IoCodes.h"
#include "PosixFile.h"
#include "ReplacedFile.h"
#include "TerminalText.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbcli {

namespace {

[[noreturn]] void fail(const std::string& shownName, int error)
{
    throw FileError(shownName, fileErrorText(error));
}

// The result's new content beside the named file, renamed over it once complete and on disk.
class ReplacedOutput : public OutputTarget
{
public:
    ReplacedOutput(qb::IoContext& io, const std::string& name, qb::FilePlace&& place, bool exists, OutputMode mode)
        : m_file(io, mode == OutputMode::Private ? std::optional<mode_t>(qb::kPrivateFileMode) : std::nullopt,
                 [name](int error) { fail(name, error); })
    {
        const int error = m_file.begin(std::move(place));
        // The file is there, so "No such file or directory" can only be the folder refusing a new file beside it (as
        // /proc's folders do): it is replaced by one, never written in place.
        if (error == ENOENT && exists)
            throw FileError(name, "cannot be replaced: its folder takes no new file");
        if (error != 0)
            fail(name, error);
    }

    void write(const void* data, std::size_t count) override { m_file.write(data, count); }
    void commit() override { m_file.commit(); }
    bool isTerminal() const override { return false; }

private:
    qb::ReplacedFile m_file;
};

// Standard output, a FIFO, a device or a pipe: written straight through as the bytes come, since it cannot be
// replaced.
class Stream : public OutputTarget
{
public:
    Stream(int descriptor, std::string shownName) : m_descriptor(descriptor), m_shownName(std::move(shownName)) {}
    Stream(qb::PosixFile&& file, std::string shownName)
        : m_file(std::move(file)), m_descriptor(m_file.descriptor()), m_shownName(std::move(shownName))
    {
    }

    void write(const void* data, std::size_t count) override
    {
        const auto* bytes = static_cast<const char*>(data);
        while (count > 0) {
            const ssize_t written = ::write(m_descriptor, bytes, count);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                fail(m_shownName, written < 0 ? errno : ENOSPC);
            bytes += written;
            count -= static_cast<std::size_t>(written);
        }
    }
    void commit() override
    {
        if (const int error = m_file.close())
            fail(m_shownName, error);
    }
    bool isTerminal() const override { return ::isatty(m_descriptor) == 1; }

private:
    qb::PosixFile m_file;
    int m_descriptor;
    std::string m_shownName;
};

[[noreturn]] void refuseOwnFile(const std::string& shownName)
{
    throw qb::Error(withVisibleControls(shownName) + " is one of Quillbox's own files");
}

bool namesStandardOutput(const std::string& name)
{
    return name.empty() || name == "-" || name == "/dev/stdout" || name == "/dev/fd/1";
}

} // namespace

std::unique_ptr<OutputTarget> openOutput(qb::IoContext& io, const std::string& name, OutputMode mode)
{
    if (namesStandardOutput(name)) {
        // A shell's ">>" onto a key would grow it: standard output that is one of the program's own files is refused.
        struct stat out
        {
        };
        if (::fstat(STDOUT_FILENO, &out) == 0 && S_ISREG(out.st_mode) && qb::isOwnFile(io.dataDirectory(), out)) {
            char target[PATH_MAX];
            const ssize_t length = ::readlink("/proc/self/fd/1", target, sizeof target - 1);
            refuseOwnFile(length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "standard output");
        }
        return std::make_unique<Stream>(STDOUT_FILENO, "standard output");
    }
    const std::string path = absolutePath(name);
    qb::FilePlace place;
    int error = qb::nameCode(path) != 0 ? ENOENT : place.locate(path, io.dataDirectory(), io.fileOperations());
    struct stat info
    {
    };
    // A regular file, or none yet, is replaced whole; anything else is written as it is.
    const bool exists = error == 0 && place.status(info) == 0;
    if (error == 0 && (place.namesOpenFile() || (exists && !S_ISREG(info.st_mode)))) {
        qb::PosixFile file;
        error = place.openStream(O_WRONLY, file, info);
        if (error == 0)
            return std::make_unique<Stream>(std::move(file), name);
    }
    if (error != 0)
        fail(name, error);
    // A key, a list or a message of the data directory is never an output, under any name.
    if (exists && qb::isOwnFile(io.dataDirectory(), info))
        refuseOwnFile(name);
    if (exists && io.openFiles().contains({info.st_dev, info.st_ino}))
        throw FileError(name, "input and output are the same file");
    return std::make_unique<ReplacedOutput>(io, name, std::move(place), exists, mode);
}

} // namespace qbcli
