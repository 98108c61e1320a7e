#pragma once

#include "Session.h"

#include <functional>
#include <string>

namespace qbcli {

// Calls `onName` for each line of users.cfg; a missing list has none. One that cannot be read raises its reason, and
// one another running copy holds beyond the wait for locks says so.
void readUsersFile(qb::Session& session, const std::function<void(const std::string&)>& onName);
// Runs a step that reads users.cfg, saying its failure as readUsersFile does.
void onUsersFileStep(qb::Session& session, const std::function<void()>& step);

// The correspondents of users.cfg, one a line, in its order; `withKeys` adds a tab, the key's fingerprint, a tab and
// its length, or a tab and "(no key)".
void listRecipients(qb::Session& session, bool withKeys);
// New Recipiant without its dialogs: a generated key, then the name listed. A missing list is created. A name that
// has a key is refused unless `replaceKey`. The name has passed qb::requireRegistrableName (before the data directory
// was made); here its paths are checked against the system's limits.
void addRecipient(qb::Session& session, const std::string& name, bool replaceKey);
// Import Key without its dialogs: a copy of `keyFile`, then the name listed. A missing list is created. A name that
// has a key, or a file with no usable byte or that cannot be read, is refused with nothing changed. The name is
// checked as for addRecipient.
void importRecipient(qb::Session& session, const std::string& name, const std::string& keyFile);
// The fingerprint of a listed correspondent's key and a newline.
void showFingerprint(qb::Session& session, const std::string& name);
// A copy of a listed correspondent's key file to `output`, or to standard output (never a terminal) for "" or "-".
void exportKey(qb::Session& session, const std::string& name, const std::string& output);
// The mail programs of mail.cfg: name, a tab and command line, one a line, in its order.
void listMailPrograms(qb::Session& session);

} // namespace qbcli
