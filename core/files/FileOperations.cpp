#include "FileOperations.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

ssize_t FileOperations::write(int file, const void* data, std::size_t count)
{
    return ::write(file, data, count);
}

ssize_t FileOperations::copyRange(int from, int to, std::size_t count)
{
    return ::copy_file_range(from, nullptr, to, nullptr, count, 0);
}

int FileOperations::truncate(int file, off_t length)
{
    return ::ftruncate(file, length);
}

int FileOperations::create(int folder, const char* name, int flags, mode_t mode)
{
    return ::openat(folder, name, flags, mode);
}

int FileOperations::makeFolder(int folder, const char* name, mode_t mode)
{
    return ::mkdirat(folder, name, mode);
}

int FileOperations::link(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int FileOperations::rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}

int FileOperations::remove(int folder, const char* name)
{
    return ::unlinkat(folder, name, 0);
}

int FileOperations::lock(int file, struct flock& range)
{
    return ::fcntl(file, F_OFD_SETLK, &range);
}

FileOperations& systemFileOperations()
{
    // Stateless: the one instance only gives the virtual calls something to dispatch on.
    static FileOperations system;
    return system;
}

} // namespace qb
