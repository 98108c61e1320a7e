#pragma once

#include "FileIdentity.h"
#include "IoContext.h"
#include "ListLines.h"
#include "TextFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qb {

// A list file as a list on screen shows it: read whole once, then, while it grows only by lines appended to what was
// read, from its last line on. A registration in a list of a million names reads the name it added, not the million.
// Changed any other way (replaced, emptied, edited), the file is read whole again.
class ListFollower
{
public:
    // Reads the list file `name` as TextFile::readLine and eof would, in turn: into `lines` the lines added since the
    // last reading, `whole` false, when the file has only grown since; else all its lines, `whole` true. Returns 0, or
    // the code of the failure to open it (no lines, whole). Read errors raise.
    int read(IoContext& io, const std::string& name, ListLines& lines, bool& whole);
    // This program appended to the list while it held it, and found it as `before` then: when that is the file last
    // read, the lines read are still the file's first.
    void appendedTo(const FileIdentity& before);

private:
    struct Reading
    {
        std::string name;
        FileIdentity file;
        std::int64_t lastLineStart;
        std::string lastLine;
    };

    // Reads `list`, found as `now`, from the last line read on: false, having given nothing, unless that line is still
    // there as it was.
    static bool readAdded(TextFile& list, const FileIdentity& now, Reading& last, ListLines& lines);

    std::optional<Reading> m_last;
    bool m_grewByAppends = false;
};

} // namespace qb
