#pragma once

#include "FileIdentity.h"
#include "IoContext.h"

#include <functional>
#include <string>

namespace qb {

enum class Probe { Append, Reset };
// Probes a list file the given way: true when it passes, false when the list is missing. One that is there but fails
// raises the reason its open failed (32 while another running copy holds it past the wait, 4 for too many open files,
// 5 for one that cannot be used: unreadable, a folder, a link): only a missing list may be created, since creating one
// over an existing list would lose every entry.
bool listReady(IoContext& io, const std::string& name, Probe probe);

// Reads a list file a line at a time, each line before the end-of-data test, so an empty file gives one empty
// line. A line longer than `longest` bytes is no entry: it is skipped, never cut down into one, and `onTooLong` hears
// of it; memory stays bounded whatever its length. Returns 0, or the code of the failure to open it, having read
// nothing; read errors are checked.
int readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine,
                 std::size_t longest = std::string::npos - 1, const std::function<void()>& onTooLong = {});

// Appends `line` to a list file unless it holds that line already, in one step under the list's lock, so two running
// copies adding the same line at once add it once; checked. Returns the file as it was once held, before the append.
FileIdentity appendLineUnlessHeld(IoContext& io, const std::string& name, const std::string& line);

// Creates an empty list file where none is, exclusively, so a list another running copy has just made (and perhaps
// added to) is never replaced; checked.
void createListUnlessPresent(IoContext& io, const std::string& name);

// Creates the list file, or empties it, as a whole new file; checked.
void createEmptyList(IoContext& io, const std::string& name);

} // namespace qb
