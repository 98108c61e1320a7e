#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qb {

// A command line taken apart into a program file and its arguments.
struct CommandLine
{
    std::string program;
    std::vector<std::string> arguments;

    bool operator==(const CommandLine& other) const { return program == other.program && arguments == other.arguments; }
};

// Registered command lines are unquoted program paths that may hold blanks, optionally followed by a
// blank and arguments. The program is the whole line when it names an existing file, otherwise the
// longest blank-separated prefix that does; the rest is split at blanks. The line ends at its first NUL.
// Nothing names a program: std::nullopt.
std::optional<CommandLine> splitCommandLine(const std::string& line);

} // namespace qb
