#pragma once

#include <string>
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
CliRun runCli(const std::vector<std::string>& arguments, const std::string& workFolder,
              const std::string& inputFile = "", const std::string& outputFile = "");

} // namespace qbtest
