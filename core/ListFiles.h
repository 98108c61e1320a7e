#pragma once

#include "IoContext.h"

#include <functional>
#include <initializer_list>
#include <string>

namespace qb {

// Append-probe: open for appending, close, take the code. Non-zero: missing or not writable.
int appendProbe(IoContext& io, const std::string& name);
// Reset-probe: open for reading, close, take the code. Non-zero: missing or not readable.
int resetProbe(IoContext& io, const std::string& name);
// Raises "File access denied" when a list file that failed a probe is there all the same (unreadable, a folder, a
// link): only a missing list may be created, since creating one over an existing list would lose every entry.
void requireListMissing(const IoContext& io, const std::string& name);

// Reads a list file a line at a time, each line before the end-of-data test, so an empty file gives one empty
// line. Returns 0, or the code of the failure to open it, having read nothing; read errors are checked.
int readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine);

// Appends `lines` to a list file as one record, each line ended by CR LF, in one write flushed to disk; checked.
void appendRecord(IoContext& io, const std::string& name, std::initializer_list<std::string> lines);

// Creates an empty list file where none is, exclusively, so a list another running copy has just made (and perhaps
// added to) is never replaced; checked.
void createListUnlessPresent(IoContext& io, const std::string& name);

// Creates the list file, or empties it, as a whole new file; checked.
void createEmptyList(IoContext& io, const std::string& name);

} // namespace qb
