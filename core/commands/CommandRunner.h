#pragma once

#include "Ui.h"

#include <functional>
#include <string>

namespace qb {

// The error box text: the message plus a full stop when its last character sorts above "." in byte order.
std::string standardErrorText(const std::string& message);

// Runs one command. An unhandled error ends it and is shown in the standard error box; the silent stop
// ends it with nothing shown. Returns true when the command ran to its end. No command does this itself.
bool runCommand(Dialogs& dialogs, const std::function<void()>& command);

} // namespace qb
