#pragma once

#include "Session.h"

#include <string>

namespace qbcli {

// The correspondents of users.cfg, one a line, in its order.
void listRecipients(qb::Session& session);
// New Recipiant without its dialogs: a generated key, then the name listed. A missing list is created.
void addRecipient(qb::Session& session, const std::string& name);
// Import Key without its dialogs: a copy of `keyFile`, then the name listed. A missing list is created.
void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile);
// The mail programs of mail.cfg: name, a tab and command line, one a line, in its order.
void listMailPrograms(qb::Session& session);

} // namespace qbcli
