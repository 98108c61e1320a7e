#include "DataDirectory.h"

#include "CliErrors.h"
#include "Errors.h"
#include "PosixFile.h"
#include "TerminalText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbcli {

namespace {

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "";
}

// "quillbox-cli: PATH: reason", for the folder that could not be made.
[[noreturn]] void cannotCreate(const std::string& path, int error)
{
    throw FileError(path, std::strerror(error));
}

} // namespace

std::string chooseDataDirectory(const std::string& fromOption)
{
    if (!fromOption.empty())
        return fromOption;
    if (const char* fromEnvironment = std::getenv("QUILLBOX_DATA"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    return homeDirectory() + "/Quillbox";
}

void makeDataDirectory(const std::string& path)
{
    // Folders above it as the user's umask makes them; only the data directory itself holds keys.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (::mkdir(path.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST)
            cannotCreate(path.substr(0, slash), errno);
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        cannotCreate(path, errno);
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        cannotCreate(path, errno);
    if (!S_ISDIR(info.st_mode))
        cannotCreate(path, ENOTDIR);
}

void enterDataDirectory(qb::Session& session, const std::string& path)
{
    // Walked as any path named for writing: a link another user planted on it is not followed.
    qb::FilePlace place;
    if (const int error = place.locateFolder(path, session.io.fileOperations()))
        throw FileError(path, fileErrorText(error));
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(
        ::fdopendir(::openat(place.folderDescriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), ::closedir);
    if (!folder)
        throw FileError(path, fileErrorText(errno));
    if (!qb::claimDataDirectory(::dirfd(folder.get())))
        throw FileError(path, "the data directory belongs to another user");
    // The folder reached, by its own path: nothing on that path is a link.
    char resolved[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(place.folderDescriptor());
    const ssize_t length = ::readlink(self.c_str(), resolved, sizeof resolved - 1);
    if (length > 0) {
        session.currentdirectory.assign(resolved, static_cast<std::size_t>(length));
    } else if (::realpath(path.c_str(), resolved)) {
        session.currentdirectory = resolved;
    } else {
        throw FileError(path, fileErrorText(errno));
    }
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char here[PATH_MAX];
    if (!::getcwd(here, sizeof here))
        throw qb::EDataDirectory(errno);
    return std::string(here) + "/" + path;
}

} // namespace qbcli
