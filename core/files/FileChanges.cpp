#include "FileChanges.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

ssize_t FileChanges::write(int file, const void* data, std::size_t count)
{
    return ::write(file, data, count);
}

ssize_t FileChanges::copyRange(int from, int to, std::size_t count)
{
    return ::copy_file_range(from, nullptr, to, nullptr, count, 0);
}

int FileChanges::truncate(int file, off_t length)
{
    return ::ftruncate(file, length);
}

int FileChanges::create(int folder, const char* name, int flags, mode_t mode)
{
    return ::openat(folder, name, flags, mode);
}

int FileChanges::makeFolder(int folder, const char* name, mode_t mode)
{
    return ::mkdirat(folder, name, mode);
}

int FileChanges::link(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int FileChanges::rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}

int FileChanges::remove(int folder, const char* name)
{
    return ::unlinkat(folder, name, 0);
}

FileChanges& systemFileChanges()
{
    // Stateless: the one instance only gives the virtual calls something to dispatch on.
    static FileChanges system;
    return system;
}

} // namespace qb
