#pragma once

#include "CliErrors.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "IoCodes.h"
#include "Session.h"

#include <functional>
#include <string>

namespace qbcli {

// Runs a step on one of the program's own files at `path`, naming it and the reason when the step fails; `busy` raises
// what is said instead when another copy held the file for longer than the wait for locks.
template <typename Busy, typename Step>
auto onOwnFile(qb::Session& session, const std::string& path, Busy busy, Step step)
{
    try {
        return step();
    } catch (const qb::EKeyInUse&) {
        throw;
    } catch (const qb::EInOutError& error) {
        if (error.code() == qb::IoCode::SharingViolation)
            busy();
        throw FileError(path, ownFileErrorText(session.io, path, error.code()));
    }
}

extern const char* const kUsersFileBusy;

template <typename Step> auto onUsersFile(qb::Session& session, Step step)
{
    return onOwnFile(
        session, session.usersFilePath(), [] { throw qb::Error(kUsersFileBusy); }, step);
}

template <typename Step> auto onKey(qb::Session& session, const qb::CorrespondentPaths& correspondent, Step step)
{
    return onOwnFile(
        session, correspondent.keyFile(), [&] { throw qb::EKeyInUse(correspondent.name()); }, step);
}

// Calls `onName` for each line of users.cfg; a missing list has none. One that cannot be read raises its reason, and
// one another running copy holds beyond the wait for locks says so.
void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName,
                   const std::function<void()>& onTooLong = {});

// The list must take the name; the window offers to create a missing one, and a script means yes. Another copy may
// be making it at the same moment: one that appears meanwhile is used, never replaced. Only once the key is sure to be
// written, so that a refused command leaves nothing behind.
void prepareRegistration(qb::Session& session, const qb::CorrespondentFiles& files,
                         const qb::CorrespondentPaths& correspondent);

// The cipher encrypt uses for the correspondent; a setting that holds neither is said on standard error when
// `warnOdd`, and counts as strong.
qb::CipherSetting cipherSetting(qb::Session& session, const qb::CorrespondentPaths& correspondent, bool warnOdd = true);

} // namespace qbcli
