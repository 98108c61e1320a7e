#pragma once

#include "CliOptions.h"
#include "Session.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qbcli {

// One command of quillbox-cli: its word, what it takes, its lines of the usage text and what runs it. Each is defined
// in a file of its own under commands/, and commandTable() lists them in the order the usage text shows them: a new
// command is one new file and one line there.
struct CliCommand
{
    // What the first operand names, which decides what is done before the command runs.
    enum class Operand {
        Other,
        // A correspondent: looked up in users.cfg's spelling.
        Correspondent,
        // A correspondent to register: refused before anything is made unless the name may become one, then the
        // data directory is made.
        NewCorrespondent,
    };

    const char* name;
    std::size_t leastOperands;
    std::size_t mostOperands;
    // The options it takes, as CommandOption bits.
    unsigned options;
    Operand operand;
    // The usage text's synopsis, and the description beside or below it, a line an entry.
    const char* synopsis;
    std::vector<const char*> description;
    // Rules on the options beyond which ones it takes (raises UsageError), or nullptr.
    void (*check)(const CliOptions& options);
    void (*run)(qb::Session& session, const CliOptions& options);
};

const std::vector<const CliCommand*>& commandTable();
// The command whose word is `name`, or nullptr.
const CliCommand* findCommand(const std::string& name);

extern const CliCommand kEncryptCommand;
extern const CliCommand kDecryptCommand;
extern const CliCommand kRecipientsCommand;
extern const CliCommand kAddCommand;
extern const CliCommand kImportCommand;
extern const CliCommand kFingerprintCommand;
extern const CliCommand kExportCommand;
extern const CliCommand kProgramsCommand;
extern const CliCommand kCipherCommand;

} // namespace qbcli
