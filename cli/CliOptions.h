#pragma once

#include <string>
#include <vector>

namespace qbcli {

struct CliCommand;

// The options a command may take, as bits.
enum CommandOption : unsigned {
    kRecipientOption = 1,
    kOutputOption = 2,
    kArmorOption = 4,
    kForceOption = 8,
    kLongOption = 16,
    kTextOption = 32,
    kStrongOption = 64,
    kClassicOption = 128,
    kNewKeyOption = 256,
};

// What the command line asks for, as getopt_long reads it.
struct CliOptions
{
    bool help = false;
    bool version = false;
    // The command to run; none with --help or --version.
    const CliCommand* command = nullptr;
    std::string correspondent;
    bool armor = false;
    bool force = false;       // add: replace a key that is there
    bool longListing = false; // recipients: each name's key fingerprint and length too
    bool text = false;        // encrypt, decrypt: UTF-8 text on this side, the window's windows-1252 CR LF inside
    bool strong = false;      // encrypt: a strong message whatever the correspondent's setting
    bool classic = false;     // encrypt, decrypt: the classic cipher, though the correspondent is set to strong
    bool newKey = false;      // cipher NAME strong: a new key first
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
