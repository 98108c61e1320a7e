#pragma once

#include <string>
#include <vector>

namespace qbtest {

// What went wrong in the dialog scripts that are gone: each ScriptedDialogs leaves its problems here when it is
// destroyed, and the test runner takes them after every test. The support code so stays free of any test framework.
void leaveScriptProblems(const std::vector<std::string>& problems);
// The problems left since the last call, oldest first; the log is empty afterwards.
std::vector<std::string> takeScriptProblems();

} // namespace qbtest
