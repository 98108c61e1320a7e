#include "FailingFileOperations.h"

#include <cerrno>
#include <unistd.h>

namespace qbtest {

void FailingFileOperations::beforeChange()
{
    ++m_operations;
    if (m_endAtChange != 0 && m_operations == m_endAtChange)
        ::_exit(kEndedAtChange);
}

int FailingFileOperations::beforeWrite()
{
    beforeChange();
    ++m_writes;
    return m_failWriteAt != 0 && m_writes == m_failWriteAt ? m_writeError : 0;
}

ssize_t FailingFileOperations::write(int file, const void* data, std::size_t count)
{
    if (const int forced = beforeWrite()) {
        errno = forced;
        return -1;
    }
    return FileOperations::write(file, data, count);
}

ssize_t FailingFileOperations::copyRange(int from, int to, std::size_t count)
{
    if (const int forced = beforeWrite()) {
        errno = forced;
        return -1;
    }
    return FileOperations::copyRange(from, to, count);
}

int FailingFileOperations::truncate(int file, off_t length)
{
    beforeChange();
    return FileOperations::truncate(file, length);
}

int FailingFileOperations::create(int folder, const char* name, int flags, mode_t mode)
{
    beforeChange();
    return FileOperations::create(folder, name, flags, mode);
}

int FailingFileOperations::makeFolder(int folder, const char* name, mode_t mode)
{
    beforeChange();
    return FileOperations::makeFolder(folder, name, mode);
}

int FailingFileOperations::link(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    beforeChange();
    return FileOperations::link(fromFolder, from, toFolder, to, flags);
}

int FailingFileOperations::rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    beforeChange();
    return FileOperations::rename(fromFolder, from, toFolder, to, flags);
}

int FailingFileOperations::remove(int folder, const char* name)
{
    beforeChange();
    return FileOperations::remove(folder, name);
}

} // namespace qbtest
