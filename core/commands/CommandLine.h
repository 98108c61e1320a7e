#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qb {

class Dialogs;
class ProcessStarter;

// A command line taken apart into a program file and its arguments.
struct CommandLine
{
    std::string program;
    std::vector<std::string> arguments;

    bool operator==(const CommandLine& other) const { return program == other.program && arguments == other.arguments; }
};

// A registered command line, by fixed rules: a whole line that names an existing file runs that file (registered paths
// may hold blanks, unquoted); otherwise the line is split at blanks outside double quotes and the quotes are removed
// (no escapes, no shell). The line ends at its first NUL. A line with no word: std::nullopt.
std::optional<CommandLine> splitCommandLine(const std::string& line);

// Starts `command`, its program looked up on PATH when the name holds no "/". A program that cannot be found or
// started is shown as a warning naming it and the system's reason ("Cannot start NAME: reason"), and false returned;
// what the started program does afterwards is not watched.
bool startCommand(ProcessStarter& starter, Dialogs& dialogs, CommandLine command);

} // namespace qb
