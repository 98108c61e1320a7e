#pragma once

#include "IoContext.h"
#include "OpenFileTable.h"
#include "PosixFile.h"
#include "RemovalOnSignal.h"

#include <optional>
#include <string>

namespace qb {

// New content for a file, written to a new file beside it and renamed over it only once complete and on disk: until
// the rename the old content is whole, and a command that fails or is cut off leaves it so. The new file has no name
// until it is complete (O_TMPFILE), so a process killed while writing leaves nothing; where the file system cannot
// make one, it is a hidden named file that SIGINT, SIGTERM and SIGHUP remove. Either way the writer holds it locked,
// and the next replacement in that folder removes a named one no running copy holds.
class Replacement
{
public:
    // Whether the file to be replaced counts as open for writing meanwhile (the sharing rule), or the caller is
    // still to read it (Encrypt reads the message it replaces), or the caller already holds it open and locked for
    // writing (a list that gains a record).
    enum class Hold { Target, Nothing, HeldByCaller };

    explicit Replacement(IoContext& io) : m_io(io) {}
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Checks that the file can be replaced (a regular file or none, writable, not held by this process; one locked by
    // another copy is waited for), then creates the new file, which will be named `newName` beside the target once
    // complete (a leftover of that name is removed first), or else a fresh hidden name. errno-style result; nothing
    // is created on failure.
    int begin(FilePlace&& target, Hold hold, const std::string& newName = {});
    PosixFile& file() { return m_file; }
    bool isOpen() const { return m_file.isOpen(); }

    // The permission bits the new content ends with, in place of the old file's (a copy of a key stays private to its
    // owner whatever it replaces); the new file gets them at once. errno-style result.
    int setFinalMode(mode_t mode);
    // Puts the new file on disk, names it, gives it the old one's permission bits (a new file's: private among the
    // program's own files, else as the umask says) and renames it over the old one. Until then only its owner can
    // read it.
    int commit();
    // As commit, but only where no file has the target's name by then: EEXIST when one appeared since begin (another
    // running copy gave a correspondent a key meanwhile), and nothing changes.
    int commitAsNew();
    // Drops the new file; the old content stays.
    void abandon();

private:
    // Opens the file being replaced for writing (without changing it) when it exists; EAGAIN-style codes when this
    // process or another copy holds it.
    int openTarget(PosixFile& target, struct stat& info) const;
    // A leftover under the name the new file is to take goes, unless a running copy still holds it.
    int clearName(const std::string& name) const;
    // The hidden named file used where no unnamed one can be made.
    int createNamed();
    int linkIn();
    int finish(bool replace);
    void release();
    // The new file's name still names the file written: nothing else has taken it meanwhile.
    bool stillOwnName() const;

    IoContext& m_io;
    FilePlace m_target;
    Hold m_hold = Hold::Target;
    std::string m_newName;
    bool m_named = false;
    RemovalOnSignal m_removal;
    PosixFile m_file;
    std::optional<OpenFileTable::FileId> m_heldTarget;
    OpenFileTable::FileId m_newId{};
    mode_t m_mode = kPrivateFileMode;
};

} // namespace qb
