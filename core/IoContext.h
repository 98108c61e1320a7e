#pragma once

#include "OpenFileTable.h"
#include "PosixFile.h"

#include <string>

namespace qb {

// The program's one pending I/O error code, the table of files it holds open, the data directory whose files are
// never reached through a symbolic link, and the seam through which tests force file failures.
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
    FaultSeam& faults() { return m_faults; }

    // The data directory, followed as it changes (the session's own string); none by default.
    void keepInside(const std::string* dataDirectory) { m_dataDirectory = dataDirectory; }
    const std::string& dataDirectory() const;
    // Locates `path` under this context's data directory rule; returns a code of the I/O error table, 0 when found.
    int locate(const std::string& path, FilePlace& place) const;

private:
    int m_pending = 0;
    OpenFileTable m_openFiles;
    FaultSeam m_faults;
    const std::string* m_dataDirectory = nullptr;
};

} // namespace qb
