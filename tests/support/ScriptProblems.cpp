#include "ScriptProblems.h"

#include <utility>

namespace qbtest {

namespace {

std::vector<std::string>& problemLog()
{
    static std::vector<std::string> log;
    return log;
}

} // namespace

void leaveScriptProblems(const std::vector<std::string>& problems)
{
    std::vector<std::string>& log = problemLog();
    log.insert(log.end(), problems.begin(), problems.end());
}

std::vector<std::string> takeScriptProblems()
{
    return std::exchange(problemLog(), {});
}

} // namespace qbtest
