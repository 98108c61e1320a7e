#include "CliCommand.h"

namespace qbcli {

const std::vector<const CliCommand*>& commandTable()
{
    static const std::vector<const CliCommand*> commands = {
        &kEncryptCommand,     &kDecryptCommand, &kRecipientsCommand, &kAddCommand,      &kImportCommand,
        &kFingerprintCommand, &kExportCommand,  &kCipherCommand,     &kProgramsCommand,
    };
    return commands;
}

const CliCommand* findCommand(const std::string& name)
{
    for (const CliCommand* command : commandTable()) {
        if (name == command->name)
            return command;
    }
    return nullptr;
}

} // namespace qbcli
