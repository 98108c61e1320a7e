#include "CommandLine.h"

#include <sys/stat.h>

namespace qb {

namespace {

bool namesFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::vector<std::string> splitAtBlanks(const std::string& text)
{
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type blank = text.find(' ', start);
        const std::string::size_type end = blank == std::string::npos ? text.size() : blank;
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

} // namespace

std::optional<CommandLine> splitCommandLine(const std::string& line)
{
    if (namesFile(line))
        return CommandLine{line, {}};
    // Try the prefixes before each blank, longest first.
    for (std::string::size_type blank = line.rfind(' '); blank != std::string::npos && blank > 0;
         blank = line.rfind(' ', blank - 1)) {
        const std::string program = line.substr(0, blank);
        if (namesFile(program))
            return CommandLine{program, splitAtBlanks(line.substr(blank + 1))};
    }
    return std::nullopt;
}

} // namespace qb
