#pragma once

#include "OpenFileTable.h"
#include "PosixFile.h"

#include <optional>
#include <string>

namespace qb {

// New content for a file, written to a new file beside it and renamed over it only once complete and on disk: until
// the rename the old content is whole, and a command that fails or is cut off leaves it so.
class Replacement
{
public:
    // Whether the file to be replaced counts as open for writing meanwhile (the sharing rule), or the caller is
    // still to read it (Encrypt reads the message it replaces).
    enum class Hold { Target, Nothing };

    Replacement(FaultSeam& seam, OpenFileTable& openFiles) : m_seam(seam), m_openFiles(openFiles) {}
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Checks that the file can be replaced (a regular file or none, writable, not held by this process or locked by
    // another), then creates the new file: `newName` beside it (a leftover of that name is removed first), or else
    // a fresh hidden name. errno-style result; nothing is created on failure.
    int begin(FilePlace&& target, Hold hold, const std::string& newName = {});
    PosixFile& file() { return m_file; }
    FaultSeam& seam() { return m_seam; }
    bool isOpen() const { return m_file.isOpen(); }

    // The permission bits the new content ends with, in place of the old file's (a copy of a key stays private to its
    // owner whatever it replaces); the new file gets them at once. errno-style result.
    int setFinalMode(mode_t mode);
    // Puts the new file on disk, gives it the old one's permission bits (a new file's: private among the program's own
    // files, else as the umask says) and renames it over the old one. Until then only its owner can read it.
    int commit();
    // Removes the new file; the old content stays.
    void abandon();

private:
    // Opens the file being replaced for writing (without changing it) when it exists; EAGAIN-style codes when this
    // process or another copy holds it.
    int openTarget(PosixFile& target, struct stat& info, bool lockIt) const;
    void release();
    // The new file's name still names the file written: nothing else has taken it meanwhile.
    bool stillOwnName() const;

    FaultSeam& m_seam;
    OpenFileTable& m_openFiles;
    FilePlace m_target;
    std::string m_newName;
    PosixFile m_file;
    std::optional<OpenFileTable::FileId> m_heldTarget;
    OpenFileTable::FileId m_newId{};
    mode_t m_mode = kPrivateFileMode;
};

} // namespace qb
