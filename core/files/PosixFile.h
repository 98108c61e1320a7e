#pragma once

#include "FileOperations.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace qb {

// One open descriptor, closed when it goes out of scope. Every call returns 0 or the errno that stopped it.
class PosixFile
{
public:
    PosixFile() = default;
    // `operations` writes, copies, truncates and locks the file.
    explicit PosixFile(int fd, FileOperations& operations = systemFileOperations())
        : m_fd(fd), m_operations(&operations)
    {
    }
    ~PosixFile() { close(); }
    PosixFile(PosixFile&& other) noexcept : m_fd(other.m_fd), m_operations(other.m_operations) { other.m_fd = -1; }
    PosixFile& operator=(PosixFile&& other) noexcept;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    int close();

    int status(struct stat& info) const;
    // One read, retried when interrupted; `got` is 0 at the end of the file.
    int readSome(void* out, std::size_t count, std::size_t& got);
    int readAt(void* out, std::size_t count, off_t offset, std::size_t& got);
    // Writes everything; a write that makes no progress counts as a full disk.
    int writeAll(const void* data, std::size_t count);
    // Copies up to `count` bytes from `source`'s position to this file's in the kernel; `copied` is 0 at the end.
    int copyFrom(PosixFile& source, std::size_t count, std::size_t& copied);
    int truncate(off_t length);
    int seekToEnd();
    int syncData();
    int setMode(mode_t mode);
    // A lock on the whole file held by this open description, shared for reading and exclusive for writing, so that
    // two running copies of the program keep the sharing rule between them. One held by another copy is waited for up
    // to `wait`, then EAGAIN. A file system without locks refuses nothing.
    int lock(bool exclusive, std::chrono::milliseconds wait = {});

private:
    int m_fd = -1;
    FileOperations* m_operations = &systemFileOperations();
};

// What the program makes inside the data directory is its owner's alone, whatever the umask: keys and plaintext.
constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;
// The bits a new file gets where the umask rules: 0666 less the process's umask.
mode_t umaskedFileMode();

// Where a named file lives: its folder, held open, and its name in that folder. The files under the data directory
// (and relative names, which mean the data directory) are the program's own: below the data directory no symbolic
// link is followed, so nothing outside it is reached through one. Anywhere else a link leads to its target.
class FilePlace
{
public:
    // errno-style result; kRefusedLink for a link among the program's own files. `operations` makes every change
    // here, and the files opened here go through it too.
    int locate(const std::string& path, const std::string& dataDirectory, FileOperations& operations);

    // Locates the folder `path` names (outside the data directory's rules: every link on it checked) and makes it the
    // place's folder; errno-style result, kRefusedLink for a link the rule refuses.
    int locateFolder(const std::string& path, FileOperations& operations);

    const std::string& path() const { return m_path; }
    const std::string& leaf() const { return m_leaf; }
    // True for the program's own files, under the data directory: they are made private.
    bool isConfined() const { return m_confined; }
    // True for a link of /proc naming an open file (/dev/stdout, a shell's >(...)), which only the kernel follows: a
    // stream, never replaced.
    bool namesOpenFile() const { return m_kernelFollows; }
    // The bits a new file here ends with: private among the program's own files, else as the umask says.
    mode_t newFileMode() const { return m_confined ? kPrivateFileMode : umaskedFileMode(); }

    // Opens the file itself (no creation) without blocking, so a FIFO or device with no one behind it cannot hang the
    // program, and refuses anything that is not a regular file.
    int openRegular(int accessFlags, PosixFile& file, struct stat& info) const;
    // Opens the file itself (no creation) whatever its kind but a folder: a pipe, FIFO or device named on a command
    // line is read or written as it comes, waiting for the other end as any tool does.
    int openStream(int accessFlags, PosixFile& file, struct stat& info) const;
    // The entry's status; a link among the program's own files gives kRefusedLink.
    int status(struct stat& info) const;
    // Makes the folder, private to its owner among the program's own files.
    int makeFolder() const;
    // Takes group's and others' bits from an existing file or folder that has any: a key or a correspondent's folder
    // left readable by an older version. 0 when there was nothing to do.
    int removeOthersAccess() const;
    // The status of `name` beside the file, the entry itself (a link is not followed).
    int siblingStatus(const std::string& name, struct stat& info) const;
    // Creates `name` beside the file, exclusively, never through a link, and readable by its owner alone until the
    // caller gives it its final bits. Open for reading as well as writing (as createUnnamed's file), so a writer can
    // read back exactly the bytes it wrote, whatever happens to the name meanwhile.
    int createSibling(const std::string& name, PosixFile& file) const;
    int removeSibling(const std::string& name) const;
    // Creates a file without a name in the folder (O_TMPFILE), readable by its owner alone, so a process ended before
    // it is linked in leaves nothing. EOPNOTSUPP where the file system or the system cannot.
    int createUnnamed(PosixFile& file) const;
    // Gives an unnamed file the name `name` beside the target; EEXIST when the name is taken.
    int linkUnnamed(const PosixFile& file, const std::string& name) const;
    // Removes the named temporary files (".quillbox-*.new") of writers that ended before their rename: those of this
    // user that no running copy holds locked.
    void removeLeftovers() const;
    // The folder, for removing a named temporary file from a signal handler.
    int folderDescriptor() const { return m_folder.descriptor(); }
    // Renames `name` over the file.
    int renameSiblingOver(const std::string& name) const;
    // Gives the file the name `name` holds, only where no file has taken the file's own name: EEXIST otherwise, and
    // nothing changes. One step, so two writers racing for a name cannot both win.
    int renameSiblingToFree(const std::string& name) const;
    int syncFolder() const;

private:
    int leafFlags() const;
    // Walks `path` one component at a time from the root or the working folder, with no path handed to the kernel
    // to resolve: a link anywhere on it is followed only where the kernel's protected-symlinks rule would follow it,
    // whatever the system's setting (kRefusedLink for one another user planted in a sticky folder anyone may write
    // to), a relative target from the link's folder and an absolute one from the root; ".." is the physical parent;
    // past 40 links ELOOP. Leaves the last part's folder and name.
    int walk(const std::string& path);
    // Makes the folder the walk left its name, itself the place's folder.
    int enterLeaf();

    PosixFile m_folder;
    FileOperations* m_operations = &systemFileOperations();
    std::string m_path;
    std::string m_leaf;
    bool m_confined = false;
    bool m_kernelFollows = false;
};

// Sixteen random hexadecimal digits, for names no one else picks.
std::string randomSuffix();

// The name of a new file's temporary file: ".quillbox-" and random digits and ".new".
std::string temporaryFileName();
bool isTemporaryFileName(const std::string& name);

} // namespace qb
