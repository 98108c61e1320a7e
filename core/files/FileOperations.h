#pragma once

#include <cstddef>
#include <fcntl.h>
#include <sys/types.h>

namespace qb {

// Every change the file layer makes to the file system, as the system calls that make it (creating, writing,
// truncating, linking, renaming and removing files, making folders), and the locks by which running copies keep out of
// each other's way. The file layer reaches the system through one such object, the system's own unless another is
// injected (IoContext::useFileOperations), so that a test can put in its place one that fails a write, ends the process
// at a chosen change or watches a lock being waited for. Each returns what the system call returns, with errno set on
// failure.
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    virtual ssize_t write(int file, const void* data, std::size_t count);
    virtual ssize_t copyRange(int from, int to, std::size_t count);
    virtual int truncate(int file, off_t length);
    // openat(2) for a file it creates (O_CREAT or O_TMPFILE among `flags`).
    virtual int create(int folder, const char* name, int flags, mode_t mode);
    virtual int makeFolder(int folder, const char* name, mode_t mode);
    virtual int link(int fromFolder, const char* from, int toFolder, const char* to, int flags);
    virtual int rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
    virtual int remove(int folder, const char* name);
    // One try at an open file description's lock (fcntl F_OFD_SETLK): -1 with EAGAIN while another holds it.
    virtual int lock(int file, struct flock& range);
};

// The system's own, which every open file and located place uses unless told otherwise.
FileOperations& systemFileOperations();

} // namespace qb
