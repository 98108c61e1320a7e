#include "OwnFiles.h"

#include "ListFiles.h"

namespace qbcli {

const char* const kUsersFileBusy = "users.cfg is in use by another Quillbox";

void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName,
                   const std::function<void()>& onTooLong)
{
    // A missing list has no names; any other failure to open it is said as a failed step on it.
    onUsersFile(session, [&] {
        const int code = qb::CorrespondentFiles(session).readNames(onName, onTooLong);
        if (code != 0 && code != qb::IoCode::FileNotFound)
            throw qb::EInOutError(code);
    });
}

void prepareRegistration(qb::Session& session, const qb::CorrespondentFiles& files,
                         const qb::CorrespondentPaths& correspondent)
{
    onUsersFile(session, [&] {
        if (!files.usersFileReady())
            qb::createListUnlessPresent(session.io, session.usersFilePath());
    });
    onOwnFile(
        session, correspondent.folder(), [] {}, [&] { files.makeFolder(correspondent); });
}

} // namespace qbcli
