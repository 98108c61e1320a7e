#include "PosixFile.h"

#include "ByteText.h"
#include "IoCodes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/random.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace qb {

namespace {

int lastError(int result)
{
    return result < 0 ? errno : 0;
}

template <typename Call> auto retried(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

} // namespace

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_operations = other.m_operations;
        other.m_fd = -1;
    }
    return *this;
}

int PosixFile::close()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(m_fd);
    m_fd = -1;
    return lastError(result);
}

int PosixFile::status(struct stat& info) const
{
    return lastError(::fstat(m_fd, &info));
}

int PosixFile::readSome(void* out, std::size_t count, std::size_t& got)
{
    const ssize_t result = retried([&] { return ::read(m_fd, out, count); });
    got = result > 0 ? static_cast<std::size_t>(result) : 0;
    return lastError(static_cast<int>(result < 0 ? -1 : 0));
}

int PosixFile::readAt(void* out, std::size_t count, off_t offset, std::size_t& got)
{
    const ssize_t result = retried([&] { return ::pread(m_fd, out, count, offset); });
    got = result > 0 ? static_cast<std::size_t>(result) : 0;
    return lastError(static_cast<int>(result < 0 ? -1 : 0));
}

int PosixFile::writeAll(const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const ssize_t written = retried([&] { return m_operations->write(m_fd, bytes, count); });
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return 0;
}

int PosixFile::copyFrom(PosixFile& source, std::size_t count, std::size_t& copied)
{
    copied = 0;
    const ssize_t result = retried([&] { return m_operations->copyRange(source.m_fd, m_fd, count); });
    if (result < 0)
        return errno;
    copied = static_cast<std::size_t>(result);
    return 0;
}

int PosixFile::truncate(off_t length)
{
    return lastError(retried([&] { return m_operations->truncate(m_fd, length); }));
}

int PosixFile::seekToEnd()
{
    return lastError(static_cast<int>(::lseek(m_fd, 0, SEEK_END) < 0 ? -1 : 0));
}

int PosixFile::syncData()
{
    return lastError(retried([&] { return ::fdatasync(m_fd); }));
}

int PosixFile::setMode(mode_t mode)
{
    return lastError(::fchmod(m_fd, mode));
}

int PosixFile::lock(bool exclusive, std::chrono::milliseconds wait)
{
    struct flock range
    {
    };
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    // Busy is not broken: a copy holding the file is waited for, polling, since no blocking lock call takes a limit.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int error = lastError(m_operations->lock(m_fd, range));
        // EACCES is how some file systems say EAGAIN; ENOLCK and EINVAL mean no locks at all here.
        if (error == EACCES)
            error = EAGAIN;
        if (error == ENOLCK || error == EINVAL)
            return 0;
        const auto now = std::chrono::steady_clock::now();
        if (error != EAGAIN || now >= deadline)
            return error;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const auto nap = std::min(pause, left);
        const timespec sleep{static_cast<time_t>(nap.count() / 1000), static_cast<long>(nap.count() % 1000) * 1000000};
        ::nanosleep(&sleep, nullptr);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

int FilePlace::locate(const std::string& path, const std::string& dataDirectory, FileOperations& operations)
{
    m_operations = &operations;
    m_path = path;
    m_kernelFollows = false;
    if (!fitsPathLimits(path))
        return ENAMETOOLONG;
    const bool relative = path.empty() || path[0] != '/';
    const bool underData = !dataDirectory.empty() && path.size() > dataDirectory.size() &&
                           path.compare(0, dataDirectory.size(), dataDirectory) == 0 &&
                           path[dataDirectory.size()] == '/';
    m_confined = !dataDirectory.empty() && (relative || underData);

    // Outside the data directory the whole path is walked a component at a time, every link on it followed only
    // where the protected-symlinks rule allows.
    if (!m_confined)
        return walk(path);
    // The data directory is reached the same way; below it no link is followed at all.
    std::string rest = path;
    if (relative) {
        m_folder = PosixFile(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC), *m_operations);
        if (!m_folder.isOpen())
            return errno;
    } else {
        if (const int error = walk(dataDirectory))
            return error;
        if (const int error = enterLeaf())
            return error;
        rest = path.substr(dataDirectory.size() + 1);
    }
    std::size_t start = 0;
    for (std::size_t slash = rest.find('/'); slash != std::string::npos; slash = rest.find('/', start)) {
        const std::string component = rest.substr(start, slash - start);
        start = slash + 1;
        if (component.empty())
            continue;
        PosixFile next(
            ::openat(m_folder.descriptor(), component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isOpen()) {
            const int error = errno;
            struct stat info
            {
            };
            if ((error == ENOTDIR || error == ELOOP) &&
                ::fstatat(m_folder.descriptor(), component.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                return kRefusedLink;
            return error;
        }
        m_folder = std::move(next);
    }
    m_leaf = rest.substr(start);
    if (m_leaf.empty())
        return EISDIR;
    return 0;
}

namespace {

// The kernel's protected-symlinks rule (may_follow_link): no link in a sticky folder anyone may write to is
// followed unless it belongs to the follower or to the folder's owner.
bool mayFollowLink(const struct stat& folder, const struct stat& link)
{
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

} // namespace

int FilePlace::walk(const std::string& path)
{
    // As many links as the kernel follows in one path.
    constexpr int kMostLinks = 40;
    const auto split = [](const std::string& text) {
        std::deque<std::string> parts;
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t slash = std::min(text.find('/', start), text.size());
            if (slash > start)
                parts.emplace_back(text, start, slash - start);
            start = slash + 1;
        }
        return parts;
    };
    const auto openRoot = [this](bool root) {
        m_folder = PosixFile(::open(root ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC), *m_operations);
        return m_folder.isOpen() ? 0 : errno;
    };
    if (const int error = openRoot(!path.empty() && path[0] == '/'))
        return error;
    std::deque<std::string> parts = split(path);
    int followed = 0;
    while (!parts.empty()) {
        const std::string part = std::move(parts.front());
        parts.pop_front();
        const bool last = parts.empty();
        if (part == "." || part == "..") {
            if (last)
                return EISDIR;
            // ".." is the folder's physical parent: never a link.
            if (part == "..") {
                PosixFile parent(::openat(m_folder.descriptor(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC),
                                 *m_operations);
                if (!parent.isOpen())
                    return errno;
                m_folder = std::move(parent);
            }
            continue;
        }
        struct stat entry
        {
        };
        if (::fstatat(m_folder.descriptor(), part.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            // A missing last part is a file to be made where the path names it.
            if (last && errno == ENOENT) {
                m_leaf = part;
                return 0;
            }
            return errno;
        }
        if (S_ISLNK(entry.st_mode)) {
            struct stat folder
            {
            };
            if (::fstat(m_folder.descriptor(), &folder) != 0)
                return errno;
            if (!mayFollowLink(folder, entry))
                return kRefusedLink;
            // The links of /proc (/dev/stdin, /dev/fd/N, a shell's <(...)) name open files, not paths: only the
            // kernel can follow them, and no other user can plant one.
            struct statfs system
            {
            };
            if (last && ::fstatfs(m_folder.descriptor(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC) {
                m_leaf = part;
                m_kernelFollows = true;
                return 0;
            }
            if (++followed > kMostLinks)
                return ELOOP;
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(m_folder.descriptor(), part.c_str(), target, sizeof target - 1);
            if (length <= 0)
                return length == 0 ? ENOENT : errno;
            const std::string to(target, static_cast<std::size_t>(length));
            // A relative target goes on from the link's folder, an absolute one from the root.
            if (to[0] == '/') {
                if (const int error = openRoot(true))
                    return error;
            }
            std::deque<std::string> targetParts = split(to);
            if (targetParts.empty())
                targetParts.emplace_back(".");
            parts.insert(parts.begin(), targetParts.begin(), targetParts.end());
            continue;
        }
        if (last) {
            m_leaf = part;
            return 0;
        }
        if (!S_ISDIR(entry.st_mode))
            return ENOTDIR;
        PosixFile next(::openat(m_folder.descriptor(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
                       *m_operations);
        if (!next.isOpen())
            return errno;
        m_folder = std::move(next);
    }
    return EISDIR;
}

int FilePlace::locateFolder(const std::string& path, FileOperations& operations)
{
    m_operations = &operations;
    m_path = path;
    m_confined = false;
    m_kernelFollows = false;
    if (!fitsPathLimits(path))
        return ENAMETOOLONG;
    if (const int error = walk(path))
        return error == EISDIR ? 0 : error; // a path that ends in "." or ".." names the folder reached
    return enterLeaf();
}

int FilePlace::enterLeaf()
{
    PosixFile folder(::openat(m_folder.descriptor(), m_leaf.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
                     *m_operations);
    if (!folder.isOpen())
        return errno;
    m_folder = std::move(folder);
    m_leaf.clear();
    return 0;
}

int FilePlace::leafFlags() const
{
    // Outside the data directory the links were followed when the file was located, under the protected-symlinks rule.
    return O_CLOEXEC | (m_kernelFollows ? 0 : O_NOFOLLOW);
}

int FilePlace::openRegular(int accessFlags, PosixFile& file, struct stat& info) const
{
    file = PosixFile(::openat(m_folder.descriptor(), m_leaf.c_str(), accessFlags | O_NONBLOCK | leafFlags()),
                     *m_operations);
    if (!file.isOpen())
        return m_confined && errno == ELOOP ? kRefusedLink : errno;
    if (const int error = file.status(info)) {
        file.close();
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        file.close();
        return S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
    }
    // O_NONBLOCK stays: reads and writes of regular files ignore it.
    return 0;
}

int FilePlace::openStream(int accessFlags, PosixFile& file, struct stat& info) const
{
    file = PosixFile(::openat(m_folder.descriptor(), m_leaf.c_str(), accessFlags | leafFlags()), *m_operations);
    if (!file.isOpen())
        return m_confined && errno == ELOOP ? kRefusedLink : errno;
    if (const int error = file.status(info)) {
        file.close();
        return error;
    }
    if (S_ISDIR(info.st_mode)) {
        file.close();
        return EISDIR;
    }
    return 0;
}

int FilePlace::status(struct stat& info) const
{
    if (::fstatat(m_folder.descriptor(), m_leaf.c_str(), &info, m_confined ? AT_SYMLINK_NOFOLLOW : 0) != 0)
        return errno;
    return S_ISLNK(info.st_mode) ? kRefusedLink : 0;
}

int FilePlace::siblingStatus(const std::string& name, struct stat& info) const
{
    return lastError(::fstatat(m_folder.descriptor(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW));
}

int FilePlace::makeFolder() const
{
    if (!m_confined)
        return lastError(m_operations->makeFolder(m_folder.descriptor(), m_leaf.c_str(), 0777));
    if (m_operations->makeFolder(m_folder.descriptor(), m_leaf.c_str(), kPrivateFolderMode) != 0)
        return errno;
    // A umask that takes the owner's own bits would leave a folder its owner cannot use.
    return lastError(::fchmodat(m_folder.descriptor(), m_leaf.c_str(), kPrivateFolderMode, 0));
}

int FilePlace::removeOthersAccess() const
{
    // Opened without following a link and without blocking, so only the entry itself can change.
    PosixFile entry(::openat(m_folder.descriptor(), m_leaf.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info
    {
    };
    if (!entry.isOpen())
        return errno;
    if (const int error = entry.status(info))
        return error;
    if ((info.st_mode & 077) == 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
        return 0;
    return entry.setMode(info.st_mode & 07700);
}

int FilePlace::createSibling(const std::string& name, PosixFile& file) const
{
    file = PosixFile(m_operations->create(m_folder.descriptor(), name.c_str(),
                                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivateFileMode),
                     *m_operations);
    return file.isOpen() ? 0 : errno;
}

int FilePlace::removeSibling(const std::string& name) const
{
    return lastError(m_operations->remove(m_folder.descriptor(), name.c_str()));
}

int FilePlace::createUnnamed(PosixFile& file) const
{
    // The unnamed file is linked in through /proc, which needs no privilege; without /proc it could never be.
    if (::access("/proc/self/fd", X_OK) != 0)
        return EOPNOTSUPP;
    file = PosixFile(m_operations->create(m_folder.descriptor(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, kPrivateFileMode),
                     *m_operations);
    if (file.isOpen())
        return 0;
    // Older kernels and some file systems say so in other words.
    return errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
}

int FilePlace::linkUnnamed(const PosixFile& file, const std::string& name) const
{
    const std::string self = "/proc/self/fd/" + std::to_string(file.descriptor());
    return lastError(
        m_operations->link(AT_FDCWD, self.c_str(), m_folder.descriptor(), name.c_str(), AT_SYMLINK_FOLLOW));
}

void FilePlace::removeLeftovers() const
{
    const int listing = ::openat(m_folder.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    DIR* entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (!isTemporaryFileName(name))
            continue;
        PosixFile leftover(
            ::openat(m_folder.descriptor(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        struct stat info
        {
        };
        // A writer holds its temporary file locked until it is renamed, so one that can be locked has no writer.
        if (leftover.isOpen() && leftover.status(info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            leftover.lock(false) == 0)
            removeSibling(name);
    }
    ::closedir(entries);
}

int FilePlace::renameSiblingOver(const std::string& name) const
{
    return lastError(
        m_operations->rename(m_folder.descriptor(), name.c_str(), m_folder.descriptor(), m_leaf.c_str(), 0));
}

int FilePlace::renameSiblingToFree(const std::string& name) const
{
    const int folder = m_folder.descriptor();
    if (m_operations->rename(folder, name.c_str(), folder, m_leaf.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag (NFS): a new link fails where the name is taken, as the rename would.
    if (m_operations->link(folder, name.c_str(), folder, m_leaf.c_str(), 0) != 0)
        return errno;
    m_operations->remove(folder, name.c_str());
    return 0;
}

int FilePlace::syncFolder() const
{
    // An O_PATH descriptor cannot be synced; the folder is opened for reading for that.
    PosixFile folder(::openat(m_folder.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return errno;
    return folder.syncData();
}

mode_t umaskedFileMode()
{
    // The kernel tells the umask without changing it; setting it to read it back would race with other threads.
    mode_t mask = 0;
    bool found = false;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                found = true;
                break;
            }
        }
        std::fclose(status);
    }
    if (!found) {
        mask = ::umask(022);
        ::umask(mask);
    }
    return 0666 & ~mask;
}

std::string temporaryFileName()
{
    return ".quillbox-" + randomSuffix() + ".new";
}

bool isTemporaryFileName(const std::string& name)
{
    static const std::string kStart = ".quillbox-";
    static const std::string kEnd = ".new";
    return name.size() > kStart.size() + kEnd.size() && name.compare(0, kStart.size(), kStart) == 0 &&
           name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

std::string randomSuffix()
{
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto fallback = static_cast<unsigned long>(::getpid()) ^ reinterpret_cast<std::uintptr_t>(&bytes);
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(fallback >> (8 * (i % sizeof fallback)));
    }
    std::string suffix;
    for (const unsigned char byte : bytes)
        appendHexDigits(byte, suffix);
    return suffix;
}

} // namespace qb
