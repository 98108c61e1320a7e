#pragma once

#include "IoContext.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace qb {

// Path building: the data directory and a name joined with "/".
std::string joinPath(const std::string& directory, const std::string& name);

// The message path with its extension replaced by ".tmp" (appended when the last component has none).
std::string tempPathFor(const std::string& messagePath);

// True only for an existing regular file; "*" and "?" in the last component match any file. A symbolic link among
// the program's own files does not count: such a file is never used.
bool fileExists(const IoContext& io, const std::string& name);

// The status of the entry `name` names, under the data directory rule: 0, or the errno-style reason there is
// none to use (ENOENT when missing, kRefusedLink for a link among the program's own files).
int entryStatus(const IoContext& io, const std::string& name, struct stat& info);

// True when `name` is one of the program's own files and a symbolic link stands on its way: such a file is refused
// with "File access denied", never taken as missing.
bool reachedThroughLink(const IoContext& io, const std::string& name);

// Size in bytes as a file of 1-byte records opened for reading and writing; each step is checked,
// so a missing file raises "File not found", a read-only one "File access denied", and anything but a regular file
// "File access denied" too.
std::int64_t fileSizeChecked(IoContext& io, const std::string& name);

// Takes group's and others' access from an existing file or folder among the program's own files (a key, a
// correspondent's folder) that has any; quiet, since the file's own steps report what is wrong with it.
void removeOthersAccess(const IoContext& io, const std::string& path);

// Folder creation, one level, private to its owner in the data directory; outcome not reported.
void createDirectory(IoContext& io, const std::string& path);

} // namespace qb
