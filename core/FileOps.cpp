#include "FileOps.h"

#include "Errors.h"
#include "TextFile.h"
#include "Ui.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {

bool isFileEntry(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// Wildcards match "*" and "?" only; "[" is an ordinary character in names here.
std::string wildcardPattern(const std::string& name)
{
    std::string pattern;
    pattern.reserve(name.size());
    for (const char c : name) {
        if (c == '[')
            pattern += "[[]";
        else
            pattern += c;
    }
    return pattern;
}

bool anyFileMatches(const std::string& folder, const std::string& name)
{
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return false;
    const std::string pattern = wildcardPattern(name);
    bool found = false;
    while (const dirent* entry = ::readdir(entries)) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE) == 0 && isFileEntry(folder + "/" + entry->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(entries);
    return found;
}

// Closes a descriptor when it goes out of scope, whichever way the editor's file access ends.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// The editor holds its file exclusively: any open of it by this process counts against it.
bool heldOpen(IoContext& io, int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || io.openFiles().contains({info.st_dev, info.st_ino});
}

std::string readWholeFile(int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) == 0 && info.st_size > kMemoCapacity)
        throw EOutOfResources(); // the adjusted text can only be longer
    std::string bytes;
    bytes.resize(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0);
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size())
            bytes.resize(bytes.size() + 65536); // the file grew since fstat
        const ssize_t got = ::read(fd, &bytes[done], bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

} // namespace

std::string joinPath(const std::string& directory, const std::string& name)
{
    return directory + "/" + name;
}

std::string tempPathFor(const std::string& messagePath)
{
    const std::size_t slash = messagePath.rfind('/');
    const std::size_t dot = messagePath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return messagePath.substr(0, dot) + ".tmp";
    return messagePath + ".tmp";
}

bool fileExists(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.find_first_of("*?") == std::string::npos)
        return !name.empty() && isFileEntry(name);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    return anyFileMatches(folder, last);
}

std::int64_t fileSizeChecked(IoContext& io, const std::string& name)
{
    // A file of 1-byte records opened for reading and writing: outside the sharing table, so others
    // may hold it meanwhile, and a read-only file is refused.
    const int fd = name.empty() ? -1 : ::open(name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        io.fail(name.empty() ? IoCode::FileNotFound : ioCodeFromErrno(errno, name));
    io.check();
    FileDescriptor file(fd);
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
    if (::close(file.release()) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
    return static_cast<std::int64_t>(info.st_size);
}

int appendProbe(IoContext& io, const std::string& name)
{
    TextFile file(io);
    file.assign(name);
    file.append();
    file.close();
    return io.ioResult();
}

int resetProbe(IoContext& io, const std::string& name)
{
    TextFile file(io);
    file.assign(name);
    file.reset();
    file.close();
    return io.ioResult();
}

void createDirectory(const std::string& path)
{
    ::mkdir(path.c_str(), 0777);
}

void eraseFileChecked(IoContext& io, const std::string& name)
{
    // A file this process holds open cannot be erased, as the sharing rules would have it.
    struct stat info
    {
    };
    if (::stat(name.c_str(), &info) == 0 && io.openFiles().contains({info.st_dev, info.st_ino}))
        io.fail(IoCode::SharingViolation);
    else if (name.empty())
        io.fail(IoCode::FileNotFound);
    else if (::unlink(name.c_str()) != 0)
        io.fail(ioCodeFromErrno(errno, name));
    io.check();
}

void saveEditorToFile(IoContext& io, Editor& editor, const std::string& name)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        throw EFCreateError(name);
    // Opened without truncating, so a file this process holds stays untouched when refused.
    FileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!file.valid() || heldOpen(io, file.get()) || ::ftruncate(file.get(), 0) != 0)
        throw EFCreateError(name);
    const std::string text = editor.text();
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(file.get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw EWriteError();
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::close(file.release()) != 0)
        throw EWriteError();
}

std::string normalizeLineBreaks(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2); // worst case: every byte a lone break
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p != end) {
        const char* run = p;
        while (p != end && *p != '\r' && *p != '\n')
            ++p;
        out.append(run, static_cast<std::size_t>(p - run));
        if (p == end)
            break;
        out += "\r\n";
        if (*p == '\r' && p + 1 != end && p[1] == '\n')
            ++p;
        ++p;
    }
    return out;
}

void loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        throw EFOpenError(name);
    FileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid() || heldOpen(io, file.get()))
        throw EFOpenError(name);
    std::string text = normalizeLineBreaks(readWholeFile(file.get()));
    if (static_cast<std::int64_t>(text.size()) > kMemoCapacity)
        throw EOutOfResources();
    if (text == editor.text())
        return;
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    editor.setText(text);
}

} // namespace qb
