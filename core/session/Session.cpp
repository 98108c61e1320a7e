#include "Session.h"

#include "Errors.h"
#include "StoredFiles.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

void Session::getcurrentdirectory()
{
    // Every stored path is built on this folder; without it they would point at the root, so refuse to go on.
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        throw EDataDirectory(errno);
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(buffer), ::closedir);
    if (!folder)
        throw EDataDirectory(errno);
    // Said at once, rather than as a bare "File access denied" at the first New Recipiant.
    if (::access(buffer, W_OK | X_OK) != 0)
        throw EDataDirectory(buffer, errno);
    if (!claimDataDirectory(::dirfd(folder.get())))
        throw EDataDirectory(buffer, "it belongs to another user");
    currentdirectory = buffer;
}

bool claimDataDirectory(int folder)
{
    struct stat info
    {
    };
    if (::fstat(folder, &info) != 0)
        return true; // what cannot be read shows in the steps that follow
    // Another user's folder is theirs to fill with keys the program would then use without a word.
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        return false;
    // It holds the keys: a folder an older version left open to others becomes its owner's alone.
    if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0)
        ::fchmod(folder, info.st_mode & 07700);
    return true;
}

std::string Session::usersFilePath() const
{
    return joinPath(currentdirectory, "users.cfg");
}

std::string Session::mailFilePath() const
{
    return joinPath(currentdirectory, "mail.cfg");
}

CorrespondentPaths Session::correspondent(const std::string& name) const
{
    return CorrespondentPaths(currentdirectory, name);
}

} // namespace qb
