#include "ListedKey.h"

#include "CorrespondentPaths.h"
#include "Errors.h"
#include "RecipientCommands.h"
#include "TerminalText.h"

namespace qbcli {

void requireListed(qb::Session& session, const std::string& name)
{
    qb::requireFolderName(name);
    bool listed = false;
    readUsersFile(session, [&](const std::string& line) { listed = listed || line == name; });
    if (!listed)
        throw qb::Error("unknown recipient " + withVisibleControls(name) + " (see quillbox-cli recipients)");
}

ListedKey::ListedKey(qb::Session& session, const std::string& name) : m_file(session, listedName(session, name))
{
    if (!m_file.isOpen())
        throw qb::Error(qb::kSelectRecipientWarning);
}

const std::string& ListedKey::listedName(qb::Session& session, const std::string& name)
{
    requireListed(session, name);
    return name;
}

} // namespace qbcli
