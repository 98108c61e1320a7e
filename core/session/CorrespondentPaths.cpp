#include "CorrespondentPaths.h"

#include "ByteText.h"
#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"

#include <algorithm>
#include <dirent.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace qb {

namespace {

bool equalsIgnoringCase(const std::string& name, const std::string& reserved)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(name.begin(), name.end(), reserved.begin(), reserved.end(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

} // namespace

CorrespondentPaths::CorrespondentPaths(const std::string& dataDirectory, const std::string& name)
    : m_name(name), m_folder(joinPath(dataDirectory, name)), m_keyFile(joinPath(m_folder, name + ".key")),
      m_messageFile(joinPath(m_folder, "newmail.txt")), m_cipherFile(joinPath(m_folder, name + ".cipher"))
{
}

void CorrespondentPaths::requireRegistrable() const
{
    requireRegistrableName(m_name);
    requireWithinPathLimits();
}

void CorrespondentPaths::requireWithinPathLimits() const
{
    if (!fitsPathLimits(m_keyFile) || !fitsPathLimits(m_messageFile))
        throw EInOutError(IoCode::PathNotFound);
}

void requireRegistrableName(const std::string& name)
{
    static const std::string reservedNames[] = {"users.cfg", "mail.cfg", "untitled"};
    const bool refused =
        name.empty() || name.front() == '.' || name.front() == ' ' || name.back() == ' ' ||
        name.find('/') != std::string::npos ||
        std::any_of(name.begin(), name.end(), [](char c) { return isControlByte(static_cast<unsigned char>(c)); }) ||
        std::any_of(std::begin(reservedNames), std::end(reservedNames),
                    [&](const std::string& reserved) { return equalsIgnoringCase(name, reserved); });
    if (refused)
        throw EInOutError(IoCode::PathNotFound);
}

bool isOwnFile(const std::string& dataDirectory, const struct stat& file)
{
    struct stat folder
    {
    };
    // Only a file on the data directory's device can be one of its files.
    if (dataDirectory.empty() || ::stat(dataDirectory.c_str(), &folder) != 0 || folder.st_dev != file.st_dev)
        return false;
    const auto is = [&file](const std::string& path) {
        struct stat own
        {
        };
        return ::lstat(path.c_str(), &own) == 0 && own.st_dev == file.st_dev && own.st_ino == file.st_ino;
    };
    for (const char* name : {"users.cfg", "mail.cfg", "Untitled"}) {
        if (is(joinPath(dataDirectory, name)))
            return true;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(dataDirectory.c_str()), ::closedir);
    if (!entries)
        return false;
    while (const dirent* entry = ::readdir(entries.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || entry->d_type != DT_DIR)
            continue;
        const CorrespondentPaths correspondent(dataDirectory, name);
        if (is(correspondent.keyFile()) || is(correspondent.cipherFile()) || is(correspondent.messageFile()))
            return true;
    }
    return false;
}

void requireFolderName(const std::string& name)
{
    if (name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw EInOutError(IoCode::PathNotFound);
}

} // namespace qb
