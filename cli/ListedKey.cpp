#include "ListedKey.h"

#include "CliErrors.h"
#include "CorrespondentPaths.h"
#include "Errors.h"
#include "OwnFiles.h"
#include "PosixFile.h"
#include "TerminalText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace qbcli {

void requireListed(qb::Session& session, const std::string& name)
{
    checkName(name, [&] { qb::requireFolderName(name); });
    bool listed = false;
    readUsersFile(session, [&](const std::string& line) { listed = listed || line == name; });
    if (!listed)
        throw qb::Error("unknown recipient " + withVisibleControls(name) + " (see quillbox-cli recipients)");
}

std::string keyInUseText(const std::string& name)
{
    return withVisibleControls(name) + "'s key is in use by another Quillbox";
}

std::string noKeyText(qb::Session& session, const std::string& name)
{
    // The key is opened again only to learn the system's reason.
    const std::string path = session.correspondent(name).keyFile();
    qb::FilePlace place;
    qb::PosixFile file;
    struct stat info
    {
    };
    int error = place.locate(path, session.currentdirectory, session.io.fileOperations());
    if (error == 0)
        error = place.openRegular(O_RDONLY, file, info);
    return "no key for " + withVisibleControls(name) + " (" + withVisibleControls(path) + ": " +
           fileErrorText(error ? error : EBUSY) + ")";
}

ListedKey::ListedKey(qb::Session& session, const std::string& name) : m_file(session, listedName(session, name))
{
    if (!m_file.isOpen())
        throw qb::Error(noKeyText(session, name));
}

const std::string& ListedKey::listedName(qb::Session& session, const std::string& name)
{
    requireListed(session, name);
    return name;
}

} // namespace qbcli
