#include "CommandLine.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <sys/stat.h>

namespace qb {

namespace {

// stat refuses longer paths (ENAMETOOLONG), so a longer prefix needs no look-up. This bounds the search of a
// long line to its first few thousand bytes.
constexpr std::size_t kLongestPath = PATH_MAX - 1;

bool namesFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && path.size() <= kLongestPath && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::vector<std::string> splitAtBlanks(std::string_view text)
{
    std::vector<std::string> pieces;
    std::string_view::size_type start = 0;
    while (start < text.size()) {
        const std::string_view::size_type blank = text.find(' ', start);
        const std::string_view::size_type end = blank == std::string_view::npos ? text.size() : blank;
        if (end > start)
            pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

} // namespace

std::optional<CommandLine> splitCommandLine(const std::string& line)
{
    // The line ends at its first NUL: nothing after it may reach the program or its arguments.
    const std::string_view text(line.c_str());
    std::string candidate(text);
    if (namesFile(candidate))
        return CommandLine{std::move(candidate), {}};
    // Prefixes before each blank, longest first. Each is the one buffer cut short at the blank, which puts the NUL
    // stat needs in place without copying.
    for (std::size_t blank = std::min(text.size(), kLongestPath + 1); blank-- > 1;) {
        if (text[blank] != ' ')
            continue;
        candidate.resize(blank);
        if (namesFile(candidate))
            return CommandLine{std::move(candidate), splitAtBlanks(text.substr(blank + 1))};
    }
    return std::nullopt;
}

} // namespace qb
