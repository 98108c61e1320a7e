#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qbtest {

// What a run of the built quillbox-cli gave.
struct CliRun
{
    int status = -1;
    std::string out;
    std::string err;
};

// Runs quillbox-cli with `arguments`, standard input read from `inputFile` (or empty), its outputs captured in files
// under `workFolder`, or standard output sent to `outputFile` when one is named.
// Starts quillbox-cli with `arguments`, its outputs thrown away, and returns without waiting.
pid_t startCli(const std::vector<std::string>& arguments);
// Waits for a started run; its exit status.
int waitForCli(pid_t child);

// With `appendOutput`, standard output is opened as a shell's ">>" opens it.
CliRun runCli(const std::vector<std::string>& arguments, const std::string& workFolder,
              const std::string& inputFile = "", const std::string& outputFile = "", bool appendOutput = false);

} // namespace qbtest
