#include "OwnFiles.h"

#include "CliOptions.h"
#include "ListFiles.h"
#include "TerminalText.h"

#include <iostream>

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

qb::CipherSetting cipherSetting(qb::Session& session, const qb::CorrespondentPaths& correspondent, bool warnOdd)
{
    const qb::CipherSetting setting = qb::CorrespondentFiles(session).cipherOf(correspondent);
    if (setting.odd && warnOdd)
        std::cerr << kProgramName << ": " << qb::oddCipherFileText(withVisibleControls(correspondent.cipherFile()))
                  << "\n";
    return setting;
}

} // namespace qbcli
