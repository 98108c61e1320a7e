#pragma once

#include "OpenFileTable.h"

namespace qb {

// The program's one pending I/O error code and the table of files it holds open.
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

private:
    int m_pending = 0;
    OpenFileTable m_openFiles;
};

} // namespace qb
