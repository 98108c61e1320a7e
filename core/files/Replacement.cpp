#include "Replacement.h"

#include "IoCodes.h"

#include <unistd.h>

#include <cerrno>
#include <fcntl.h>

namespace qb {

namespace {

OpenFileTable::FileId idOf(const struct stat& info)
{
    return {info.st_dev, info.st_ino};
}

bool sameFile(const OpenFileTable::FileId& a, const OpenFileTable::FileId& b)
{
    return !(a < b) && !(b < a);
}

// Tries for a free random name this many times before giving up.
constexpr int kNameAttempts = 8;

} // namespace

Replacement::~Replacement()
{
    abandon();
}

int Replacement::openTarget(PosixFile& target, struct stat& info) const
{
    struct stat entry
    {
    };
    if (const int error = m_target.status(entry))
        return error == ENOENT ? 0 : error;
    if (m_hold == Hold::HeldByCaller) {
        info = entry;
        return 0;
    }
    if (const int error = m_target.openRegular(O_WRONLY, target, info))
        return error;
    if (!m_io.openFiles().mayOpen(idOf(info), OpenFileTable::Access::Write))
        return EBUSY;
    return target.lock(true, m_io.lockWait());
}

int Replacement::clearName(const std::string& name) const
{
    struct stat leftover
    {
    };
    if (m_target.siblingStatus(name, leftover) != 0)
        return 0;
    // The program never makes links, so a link of that name is no leftover: it is refused, not removed.
    if (S_ISLNK(leftover.st_mode))
        return kRefusedLink;
    if (m_io.openFiles().contains(idOf(leftover)))
        return EBUSY;
    PosixFile held(::openat(m_target.folderDescriptor(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (held.isOpen() && held.lock(false) != 0)
        return EBUSY;
    const int error = m_target.removeSibling(name);
    return error == ENOENT ? 0 : error;
}

int Replacement::begin(FilePlace&& target, Hold hold, const std::string& newName)
{
    abandon();
    m_target = std::move(target);
    m_hold = hold;
    PosixFile existing;
    struct stat info
    {
    };
    if (const int error = openTarget(existing, info))
        return error;
    const bool exists = existing.isOpen() || (hold == Hold::HeldByCaller && info.st_ino != 0);
    // A file keeps its bits only when it is the caller's own: another user's file (one planted 0666 in a shared
    // folder) gets what a new file here would, so the new content is not readable by whoever planted it.
    m_mode = exists && info.st_uid == ::geteuid() ? info.st_mode & 07777 : m_target.newFileMode();
    m_target.removeLeftovers();
    if (!newName.empty()) {
        if (const int error = clearName(newName))
            return error;
    }
    m_newName = newName;

    int error = m_target.createUnnamed(m_file);
    m_named = error == EOPNOTSUPP;
    if (m_named)
        error = createNamed();
    // The unnamed file is locked before it has a name, so no one ever sees it named and unheld.
    if (error == 0 && !m_named)
        error = m_file.lock(true);
    if (error != 0) {
        m_removal.release();
        m_file.close();
        return error;
    }
    struct stat created
    {
    };
    m_file.status(created);
    m_newId = idOf(created);
    m_io.openFiles().add(m_newId, OpenFileTable::Access::Write);
    if (existing.isOpen() && hold == Hold::Target) {
        m_heldTarget = idOf(info);
        m_io.openFiles().add(*m_heldTarget, OpenFileTable::Access::Write);
    }
    return 0;
}

int Replacement::createNamed()
{
    const bool chosen = !m_newName.empty();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = chosen ? m_newName : temporaryFileName();
        const int error = m_target.createSibling(name, m_file);
        if (error == EEXIST && !chosen)
            continue;
        if (error != 0)
            return error == EEXIST ? EBUSY : error;
        m_removal = RemovalOnSignal(m_target.folderDescriptor(), name);
        struct stat own
        {
        };
        m_newName = name;
        m_file.status(own);
        m_newId = idOf(own);
        if (m_file.lock(true) == 0 && stillOwnName())
            return 0;
        // Another copy clearing leftovers took it between the creation and the lock.
        m_removal.release();
        m_file.close();
        m_newName = chosen ? name : std::string();
        if (chosen)
            return EBUSY;
    }
    return EEXIST;
}

int Replacement::linkIn()
{
    int error = EEXIST;
    const bool chosen = !m_newName.empty();
    for (int attempt = 0; error == EEXIST && attempt < kNameAttempts; ++attempt) {
        const std::string name = chosen ? m_newName : temporaryFileName();
        error = m_target.linkUnnamed(m_file, name);
        if (error == 0) {
            m_newName = name;
            m_named = true;
            m_removal = RemovalOnSignal(m_target.folderDescriptor(), name);
        }
        if (chosen)
            break;
    }
    return error == EEXIST ? EBUSY : error;
}

int Replacement::setFinalMode(mode_t mode)
{
    m_mode = mode;
    return m_file.setMode(mode);
}

int Replacement::commit()
{
    return finish(true);
}

int Replacement::commitAsNew()
{
    return finish(false);
}

int Replacement::finish(bool replace)
{
    if (!m_file.isOpen())
        return EBADF;
    // The old file is held no longer: from here on it is checked like any other.
    if (m_heldTarget)
        m_io.openFiles().remove(*m_heldTarget, OpenFileTable::Access::Write);
    m_heldTarget.reset();
    int error = m_file.syncData();
    if (error == 0 && !replace && !m_named) {
        // Linked in under the target's own name at once: the link fails where the name is taken.
        error = m_file.setMode(m_mode);
        if (error == 0)
            error = m_target.linkUnnamed(m_file, m_target.leaf());
    } else {
        if (error == 0 && !m_named)
            error = linkIn();
        // The final bits only now: while it was written no one else could read it.
        if (error == 0)
            error = m_file.setMode(m_mode);
        PosixFile existing;
        struct stat info
        {
        };
        if (error == 0 && replace)
            error = openTarget(existing, info);
        if (error == 0 && !stillOwnName())
            error = EBUSY;
        if (error == 0)
            error = replace ? m_target.renameSiblingOver(m_newName) : m_target.renameSiblingToFree(m_newName);
    }
    if (error != 0) {
        abandon();
        return error;
    }
    m_named = false;
    release();
    m_target.syncFolder();
    return 0;
}

void Replacement::abandon()
{
    if (!m_file.isOpen())
        return;
    const bool own = m_named && stillOwnName();
    release();
    if (own)
        m_target.removeSibling(m_newName);
    m_named = false;
}

bool Replacement::stillOwnName() const
{
    struct stat entry
    {
    };
    return m_target.siblingStatus(m_newName, entry) == 0 && sameFile(idOf(entry), m_newId);
}

void Replacement::release()
{
    m_removal.release();
    m_file.close();
    m_io.openFiles().remove(m_newId, OpenFileTable::Access::Write);
    if (m_heldTarget)
        m_io.openFiles().remove(*m_heldTarget, OpenFileTable::Access::Write);
    m_heldTarget.reset();
}

} // namespace qb
