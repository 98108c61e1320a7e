#include "Replacement.h"

#include "IoCodes.h"

#include <cerrno>
#include <fcntl.h>

namespace qb {

namespace {

OpenFileTable::FileId idOf(const struct stat& info)
{
    return {info.st_dev, info.st_ino};
}

} // namespace

Replacement::~Replacement()
{
    abandon();
}

int Replacement::openTarget(PosixFile& target, struct stat& info, bool lockIt) const
{
    struct stat entry
    {
    };
    if (const int error = m_target.status(entry))
        return error == ENOENT ? 0 : error;
    if (const int error = m_target.openRegular(O_WRONLY, target, info))
        return error;
    if (!m_openFiles.mayOpen(idOf(info), OpenFileTable::Access::Write))
        return EBUSY;
    return lockIt ? target.lock(true) : 0;
}

int Replacement::begin(FilePlace&& target, Hold hold, const std::string& newName)
{
    abandon();
    m_target = std::move(target);
    PosixFile existing;
    struct stat info
    {
    };
    if (const int error = openTarget(existing, info, true))
        return error;
    m_mode = existing.isOpen() ? info.st_mode & 07777 : m_target.newFileMode();

    m_newName = newName.empty() ? ".quillbox-" + randomSuffix() + ".new" : newName;
    int error = m_target.createSibling(m_seam, m_newName, m_file);
    if (error == EEXIST && !newName.empty()) {
        // A leftover of an earlier run goes, unless this process still holds it. The program never makes links, so
        // a link of that name is no leftover: it is refused, not removed.
        struct stat leftover
        {
        };
        if (m_target.siblingStatus(m_newName, leftover) == 0) {
            if (S_ISLNK(leftover.st_mode))
                return kRefusedLink;
            if (m_openFiles.contains(idOf(leftover)))
                return EBUSY;
        }
        if (m_target.removeSibling(m_seam, m_newName) == 0)
            error = m_target.createSibling(m_seam, m_newName, m_file);
    }
    for (int attempt = 0; error == EEXIST && newName.empty() && attempt < 8; ++attempt) {
        m_newName = ".quillbox-" + randomSuffix() + ".new";
        error = m_target.createSibling(m_seam, m_newName, m_file);
    }
    if (error != 0)
        return error;
    struct stat created
    {
    };
    m_file.status(created);
    m_newId = idOf(created);
    m_openFiles.add(m_newId, OpenFileTable::Access::Write);
    if (existing.isOpen() && hold == Hold::Target) {
        m_heldTarget = idOf(info);
        m_openFiles.add(*m_heldTarget, OpenFileTable::Access::Write);
    }
    return 0;
}

int Replacement::setFinalMode(mode_t mode)
{
    m_mode = mode;
    return m_file.setMode(mode);
}

int Replacement::commit()
{
    if (!m_file.isOpen())
        return EBADF;
    // The old file is held no longer: from here on it is checked like any other.
    if (m_heldTarget)
        m_openFiles.remove(*m_heldTarget, OpenFileTable::Access::Write);
    m_heldTarget.reset();
    int error = m_file.syncData();
    if (error == 0)
        error = m_file.setMode(m_mode);
    PosixFile existing;
    struct stat info
    {
    };
    if (error == 0)
        error = openTarget(existing, info, true);
    if (error == 0 && !stillOwnName())
        error = EBUSY;
    if (error == 0)
        error = m_target.renameSiblingOver(m_seam, m_newName);
    if (error != 0) {
        abandon();
        return error;
    }
    release();
    m_target.syncFolder();
    return 0;
}

void Replacement::abandon()
{
    if (!m_file.isOpen())
        return;
    const bool own = stillOwnName();
    release();
    if (own)
        m_target.removeSibling(m_seam, m_newName);
}

bool Replacement::stillOwnName() const
{
    struct stat entry
    {
    };
    return m_target.siblingStatus(m_newName, entry) == 0 && !(idOf(entry) < m_newId) && !(m_newId < idOf(entry));
}

void Replacement::release()
{
    m_file.close();
    m_openFiles.remove(m_newId, OpenFileTable::Access::Write);
    if (m_heldTarget)
        m_openFiles.remove(*m_heldTarget, OpenFileTable::Access::Write);
    m_heldTarget.reset();
}

} // namespace qb
