#pragma once

#include <cstddef>
#include <sys/types.h>

namespace qb {

// Every change the file layer makes to the file system, as the system calls that make it: creating, writing,
// truncating, linking, renaming and removing files and making folders. The file layer reaches the system through one
// such object, the system's own unless another is injected (IoContext::changeFilesThrough), so that a test can put in
// its place one that fails a write or ends the process at a chosen change. Each returns what the system call returns,
// with errno set on failure.
class FileChanges
{
public:
    virtual ~FileChanges() = default;

    virtual ssize_t write(int file, const void* data, std::size_t count);
    virtual ssize_t copyRange(int from, int to, std::size_t count);
    virtual int truncate(int file, off_t length);
    // openat(2) for a file it creates (O_CREAT or O_TMPFILE among `flags`).
    virtual int create(int folder, const char* name, int flags, mode_t mode);
    virtual int makeFolder(int folder, const char* name, mode_t mode);
    virtual int link(int fromFolder, const char* from, int toFolder, const char* to, int flags);
    virtual int rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
    virtual int remove(int folder, const char* name);
};

// The system's own, which every open file and located place uses unless told otherwise.
FileChanges& systemFileChanges();

} // namespace qb
