#pragma once

#include <string>
#include <vector>

namespace qbcli {

// What the command line asks for, as getopt_long reads it.
struct CliOptions
{
    enum class Command { Help, Version, Encrypt, Decrypt, Recipients, Add, Import, Export, Fingerprint, Programs };

    Command command = Command::Help;
    std::string recipient;
    bool armor = false;
    bool force = false;       // add: replace a key that is there
    bool longListing = false; // recipients: each name's key fingerprint and length too
    bool text = false;        // encrypt, decrypt: UTF-8 text on this side, the window's windows-1252 CR LF inside
    std::string output;
    std::string dataDirectory;
    // The command's operands: the input file, or the name and key file.
    std::vector<std::string> operands;
};

// Reads argv; raises UsageError for options or operands the command does not take.
CliOptions parseOptions(int argc, char* argv[]);

extern const char* const kProgramName;
std::string helpText();
std::string versionText();

} // namespace qbcli
