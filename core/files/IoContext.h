#pragma once

#include "OpenFileTable.h"
#include "PosixFile.h"

#include <chrono>
#include <string>

namespace qb {

// How long a lock another running copy holds is waited for before the step fails with code 32, unless the program
// says otherwise: the window's, whose event loop should not stall longer.
constexpr std::chrono::milliseconds kWindowLockWait{2000};

// The program's one pending I/O error code, the table of files it holds open, the data directory whose files are
// never reached through a symbolic link, and what makes every change to the file system and takes every lock.
// Every failing file operation overwrites the code; taking or checking it clears it.
class IoContext
{
public:
    // Quiet handling: returns the pending code and clears it.
    int ioResult();
    // Checked handling: raises EInOutError for a pending code, clearing it first.
    void check();
    // Records a failure (overwrites whatever was pending).
    void fail(int code) { m_pending = code; }
    int pending() const { return m_pending; }

    OpenFileTable& openFiles() { return m_openFiles; }
    // The file layer's operations under this context go through `operations` (the system's own by default): a test
    // puts a failing one in its place. It must outlive every file opened meanwhile.
    void useFileOperations(FileOperations& operations) { m_operations = &operations; }
    FileOperations& fileOperations() const { return *m_operations; }
    std::chrono::milliseconds lockWait() const { return m_lockWait; }
    void waitForLocks(std::chrono::milliseconds limit) { m_lockWait = limit; }

    // The data directory, followed as it changes (the session's own string); none by default.
    void keepInside(const std::string* dataDirectory) { m_dataDirectory = dataDirectory; }
    const std::string& dataDirectory() const;
    // Locates `path` under this context's data directory rule; returns a code of the I/O error table, 0 when found.
    int locate(const std::string& path, FilePlace& place) const;

private:
    int m_pending = 0;
    OpenFileTable m_openFiles;
    FileOperations* m_operations = &systemFileOperations();
    std::chrono::milliseconds m_lockWait = kWindowLockWait;
    const std::string* m_dataDirectory = nullptr;
};

} // namespace qb
