// quillbox-cli add: New Recipiant without its dialogs, a generated key, then the name listed. A missing list is
// created. A name that has a key is refused unless --force. The name has passed qb::requireRegistrableName (before the
// data directory was made); here its paths are checked against the system's limits.
#include "CliCommand.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "OwnFiles.h"
#include "TerminalText.h"

namespace qbcli {

namespace {

void addCorrespondent(qb::Session& session, const CliOptions& options)
{
    const std::string& name = options.operands[0];
    const bool replaceKey = options.force;
    const qb::CorrespondentFiles files(session);
    const qb::CorrespondentPaths correspondent = session.correspondent(name);
    checkName(name, [&] { correspondent.requireWithinPathLimits(); });
    // A new key makes every message under the old one, and the correspondent's copy of it, useless. Another copy may
    // give the name a key while this one makes its own: the one whose key takes the name first wins, the other is
    // refused as if the key had been there all along.
    const std::string refusal = withVisibleControls(name) + " already has a key; use --force to replace it";
    if (files.hasKey(correspondent) && !replaceKey)
        throw qb::Error(refusal);
    prepareRegistration(session, files, correspondent);
    if (!onKey(session, correspondent, [&] { return files.writeGeneratedKey(correspondent, replaceKey); }))
        throw qb::Error(refusal);
    onUsersFile(session, [&] { files.list(name); });
}

} // namespace

const CliCommand kAddCommand = {
    "add",
    1,
    1,
    kForceOption,
    CliCommand::Operand::NewCorrespondent,
    "add [--force] NAME",
    {"register NAME with a newly generated 1000-byte key; a name that has a",
     "key is refused unless --force replaces it"},
    nullptr,
    addCorrespondent,
};

} // namespace qbcli
