#include "IoCodes.h"

#include <cerrno>
#include <sys/stat.h>

namespace qb {

namespace {

bool parentFolderExists(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return true; // the working directory or the root
    struct stat info
    {
    };
    return ::stat(path.substr(0, slash).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

// Linux errno values mapped onto the codes the rest of the program reports:
//   ENOENT                      -> 2 (file not found), or 3 when the folder holding the file is missing
//   ENOTDIR, ENAMETOOLONG, ELOOP -> 3 (the path itself cannot name a file: "Invalid filename")
//   EMFILE, ENFILE              -> 4 (too many open files)
//   EACCES, EPERM, EROFS, EISDIR -> 5 (access denied); so are ENXIO and ENODEV (a device or FIFO with no
//                                  one behind it) and a symbolic link among the program's own files
//   EBADF                       -> 6 (invalid handle)
//   ENOMEM                      -> 8 (not enough memory)
//   EBUSY, ETXTBSY, EAGAIN      -> 32 (in use elsewhere: a sharing conflict; EAGAIN is a lock held by another copy)
//   EEXIST                      -> 80 (a new file's name was taken meanwhile)
//   ENOSPC, EDQUOT, EFBIG       -> 101 (disk full)
//   any other errno e           -> 1000 + e, so it never collides with the codes above
int ioCodeFromErrno(int error, const std::string& path)
{
    switch (error) {
    case ENOENT:
        return parentFolderExists(path) ? IoCode::FileNotFound : IoCode::PathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return IoCode::PathNotFound;
    case EMFILE:
    case ENFILE:
        return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENXIO:
    case ENODEV:
    case kRefusedLink:
        return IoCode::AccessDenied;
    case EBADF:
        return IoCode::InvalidHandle;
    case ENOMEM:
        return IoCode::NotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        return IoCode::SharingViolation;
    case EEXIST:
        return IoCode::FileExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return IoCode::DiskFull;
    default:
        return 1000 + error;
    }
}

bool isResourceShortage(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EMFILE || error == ENFILE;
}

int nameCode(const std::string& name)
{
    if (name.empty())
        return IoCode::FileNotFound;
    if (name.find('\0') != std::string::npos)
        return IoCode::PathNotFound;
    return 0;
}

bool fitsPathLimits(const std::string& path)
{
    if (path.size() > kMaxPathLength)
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end - start > kMaxNameComponent)
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

} // namespace qb
