#pragma once

namespace qb {

// Sets the process's core-dump size limit, soft and hard, to 0: its memory holds keys and plaintext, and a crash must
// not leave them in a file. (Not PR_SET_DUMPABLE 0, which would make the process's own /proc files root's and stop
// the user's debugger.)
void disableCoreDumps();

} // namespace qb
