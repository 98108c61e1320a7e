#include "CliErrors.h"

#include "IoCodes.h"
#include "StoredFiles.h"
#include "TerminalText.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace qbcli {

namespace {

// The errno a code of the file layer stands for, where one does.
int errnoOfCode(int code)
{
    switch (code) {
    case qb::IoCode::FileNotFound:
    case qb::IoCode::PathNotFound:
        return ENOENT;
    case qb::IoCode::TooManyOpenFiles:
        return EMFILE;
    case qb::IoCode::AccessDenied:
        return EACCES;
    case qb::IoCode::NotEnoughMemory:
        return ENOMEM;
    case qb::IoCode::SharingViolation:
        return EBUSY;
    case qb::IoCode::DiskFull:
        return ENOSPC;
    default:
        return code > 1000 ? code - 1000 : 0;
    }
}

} // namespace

FileError::FileError(const std::string& file, const std::string& text)
    : qb::Error(withVisibleControls(file) + ": " + text)
{
}

std::string fileErrorText(int error)
{
    if (error == qb::kRefusedLink)
        return "a symbolic link that is not followed here";
    // The program's own sharing rule and another copy's lock: the system's "Device or resource busy" would mislead.
    if (error == EBUSY || error == EAGAIN)
        return "in use by this or another running Quillbox";
    return std::strerror(error);
}

std::string codeErrorText(int code)
{
    const int error = errnoOfCode(code);
    return error != 0 ? fileErrorText(error) : qb::ioErrorMessage(code);
}

std::string ownFileErrorText(const qb::IoContext& io, const std::string& path, int code)
{
    struct stat info
    {
    };
    if (code == qb::IoCode::AccessDenied) {
        const int error = qb::entryStatus(io, path, info);
        if (error == qb::kRefusedLink)
            return fileErrorText(error);
        if (error == 0 && S_ISDIR(info.st_mode))
            return fileErrorText(EISDIR);
        // Said as what it is, not as a permission it does not lack.
        if (error == 0 && S_ISFIFO(info.st_mode))
            return "a FIFO, not a file";
        if (error == 0 && !S_ISREG(info.st_mode))
            return "not a regular file";
    }
    return codeErrorText(code);
}

} // namespace qbcli
