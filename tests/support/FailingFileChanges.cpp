#include "FailingFileChanges.h"

#include <cerrno>
#include <unistd.h>

namespace qbtest {

void FailingFileChanges::beforeChange()
{
    ++m_changes;
    if (m_endAtChange != 0 && m_changes == m_endAtChange)
        ::_exit(kEndedAtChange);
}

int FailingFileChanges::beforeWrite()
{
    beforeChange();
    ++m_writes;
    return m_failWriteAt != 0 && m_writes == m_failWriteAt ? m_writeError : 0;
}

ssize_t FailingFileChanges::write(int file, const void* data, std::size_t count)
{
    if (const int forced = beforeWrite()) {
        errno = forced;
        return -1;
    }
    return FileChanges::write(file, data, count);
}

ssize_t FailingFileChanges::copyRange(int from, int to, std::size_t count)
{
    if (const int forced = beforeWrite()) {
        errno = forced;
        return -1;
    }
    return FileChanges::copyRange(from, to, count);
}

int FailingFileChanges::truncate(int file, off_t length)
{
    beforeChange();
    return FileChanges::truncate(file, length);
}

int FailingFileChanges::create(int folder, const char* name, int flags, mode_t mode)
{
    beforeChange();
    return FileChanges::create(folder, name, flags, mode);
}

int FailingFileChanges::makeFolder(int folder, const char* name, mode_t mode)
{
    beforeChange();
    return FileChanges::makeFolder(folder, name, mode);
}

int FailingFileChanges::link(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    beforeChange();
    return FileChanges::link(fromFolder, from, toFolder, to, flags);
}

int FailingFileChanges::rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    beforeChange();
    return FileChanges::rename(fromFolder, from, toFolder, to, flags);
}

int FailingFileChanges::remove(int folder, const char* name)
{
    beforeChange();
    return FileChanges::remove(folder, name);
}

} // namespace qbtest
