#include "StoredFiles.h"

#include "Errors.h"
#include "IoCodes.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace qb {

namespace {

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

bool isRegularFile(const IoContext& io, const std::string& path)
{
    struct stat info
    {
    };
    return entryStatus(io, path, info) == 0 && S_ISREG(info.st_mode);
}

bool anyFileMatches(const IoContext& io, const std::string& folder, const std::string& name)
{
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        return false;
    const std::string pattern = wildcardPattern(name);
    bool found = false;
    while (const dirent* entry = ::readdir(entries)) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE) == 0 &&
            isRegularFile(io, folder + "/" + entry->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(entries);
    return found;
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

bool fileExists(const IoContext& io, const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.find_first_of("*?") == std::string::npos)
        return isRegularFile(io, name);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    return anyFileMatches(io, folder, last);
}

int entryStatus(const IoContext& io, const std::string& name, struct stat& info)
{
    if (nameCode(name) != 0)
        return ENOENT;
    FilePlace place;
    const int error = place.locate(name, io.dataDirectory(), io.fileOperations());
    return error != 0 ? error : place.status(info);
}

bool reachedThroughLink(const IoContext& io, const std::string& name)
{
    struct stat info
    {
    };
    return entryStatus(io, name, info) == kRefusedLink;
}

std::int64_t fileSizeChecked(IoContext& io, const std::string& name)
{
    // A file of 1-byte records opened for reading and writing: outside the sharing table, so others
    // may hold it meanwhile, and a read-only file is refused.
    FilePlace place;
    PosixFile file;
    struct stat info
    {
    };
    int code = io.locate(name, place);
    if (code == 0) {
        if (const int error = place.openRegular(O_RDWR, file, info))
            code = ioCodeFromErrno(error, name);
    }
    io.fail(code);
    io.check();
    if (const int error = file.close())
        io.fail(ioCodeFromErrno(error, name));
    io.check();
    return static_cast<std::int64_t>(info.st_size);
}

void removeOthersAccess(const IoContext& io, const std::string& path)
{
    FilePlace place;
    if (io.locate(path, place) == 0 && place.isConfined())
        place.removeOthersAccess();
}

void createDirectory(IoContext& io, const std::string& path)
{
    FilePlace place;
    if (io.locate(path, place) != 0)
        return;
    // The outcome shows in the steps that follow, except a disk with no room or no free inodes, which would show
    // there as a missing folder ("Invalid filename").
    if (const int error = place.makeFolder(); isResourceShortage(error))
        throw EInOutError(ioCodeFromErrno(error, path));
}

} // namespace qb
