#pragma once

#include "FileOperations.h"

#include <cstdint>

namespace qbtest {

// The exit status of a process that FailingFileOperations ended.
constexpr int kEndedAtChange = 86;

// The file layer's changes as a user's machine may meet them: the N-th write failing with a chosen errno (a full disk,
// a failing device), or the process ending at the N-th change it makes to the file system (a crash, a power cut).
// Counts start at 1; 0 leaves the system alone. Writes and copies count as changes too.
class FailingFileOperations : public qb::FileOperations
{
public:
    void failWrite(std::uint64_t number, int error)
    {
        m_failWriteAt = number;
        m_writeError = error;
    }
    void endAtChange(std::uint64_t number) { m_endAtChange = number; }

    ssize_t write(int file, const void* data, std::size_t count) override;
    ssize_t copyRange(int from, int to, std::size_t count) override;
    int truncate(int file, off_t length) override;
    int create(int folder, const char* name, int flags, mode_t mode) override;
    int makeFolder(int folder, const char* name, mode_t mode) override;
    int link(int fromFolder, const char* from, int toFolder, const char* to, int flags) override;
    int rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) override;
    int remove(int folder, const char* name) override;

private:
    // Counts a change, ending the process at the chosen one.
    void beforeChange();
    // Counts a write (and a change): the errno to fail it with, or 0.
    int beforeWrite();

    std::uint64_t m_failWriteAt = 0;
    int m_writeError = 0;
    std::uint64_t m_endAtChange = 0;
    std::uint64_t m_writes = 0;
    std::uint64_t m_operations = 0;
};

} // namespace qbtest
