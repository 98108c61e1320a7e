#pragma once

#include "Session.h"

#include <functional>
#include <string>

namespace qbcli {

// Calls `onName` for each line of users.cfg; a missing list has none. One that cannot be read raises its reason, and
// one another running copy holds beyond the wait for locks says so.
void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName);

// The correspondents of users.cfg, one a line, in its order.
void listRecipients(qb::Session& session);
// New Recipiant without its dialogs: a generated key, then the name listed. A missing list is created.
void addRecipient(qb::Session& session, const std::string& name);
// Import Key without its dialogs: a copy of `keyFile`, then the name listed. A missing list is created.
void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile);
// The mail programs of mail.cfg: name, a tab and command line, one a line, in its order.
void listMailPrograms(qb::Session& session);

} // namespace qbcli
