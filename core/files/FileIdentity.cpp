#include "FileIdentity.h"

#include "StoredFiles.h"

namespace qb {

bool FileIdentity::operator==(const FileIdentity& other) const
{
    return sameFileAs(other) && size == other.size && changedSeconds == other.changedSeconds &&
           changedNanoseconds == other.changedNanoseconds;
}

FileIdentity identityOf(const struct stat& info)
{
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

std::optional<FileIdentity> currentIdentity(const IoContext& io, const std::string& path)
{
    struct stat info
    {
    };
    if (entryStatus(io, path, info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return identityOf(info);
}

} // namespace qb
