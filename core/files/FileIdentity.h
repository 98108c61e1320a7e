#pragma once

#include "IoContext.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace qb {

// What tells, without reading it, that a file still holds what was read or written: the file itself, its size and
// the time of its last change to the nanosecond. A writer that replaces the file, or changes its size or time, changes
// it.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t changedSeconds = 0;
    long changedNanoseconds = 0;

    // The same file, whatever it holds now.
    bool sameFileAs(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

FileIdentity identityOf(const struct stat& info);
// The identity of the file at `path` now, under the data directory rule; std::nullopt when there is none to have.
std::optional<FileIdentity> currentIdentity(const IoContext& io, const std::string& path);

} // namespace qb
