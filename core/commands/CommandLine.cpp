#include "CommandLine.h"

#include "Ui.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {

bool namesFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && path.size() < PATH_MAX && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// 0 when `path` is a file that may be run, else why not.
int runnable(const std::string& path)
{
    struct stat info;
    if (path.size() >= PATH_MAX)
        return ENAMETOOLONG;
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

// The program `name` stands for: itself when it holds a "/", else the first runnable file of that name in a folder of
// PATH. 0, or why it cannot be run.
int resolve(std::string& name)
{
    if (name.find('/') != std::string::npos)
        return runnable(name);
    const char* const path = std::getenv("PATH");
    const std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    int reason = ENOENT;
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        // An empty entry is the working folder, as the shell takes it.
        const std::string folder(end > start ? folders.substr(start, end - start) : std::string_view("."));
        const std::string candidate = folder + "/" + name;
        const int error = runnable(candidate);
        if (error == 0) {
            name = candidate;
            return 0;
        }
        // A file there that may not be run says more than the folders where there is none.
        if (error != ENOENT && error != ENOTDIR)
            reason = error;
        start = end + 1;
    }
    return reason;
}

} // namespace

std::optional<CommandLine> splitCommandLine(const std::string& line)
{
    // The line ends at its first NUL: nothing after it may reach the program or its arguments.
    const std::string text(line.c_str());
    if (namesFile(text))
        return CommandLine{text, {}};
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    if (words.empty())
        return std::nullopt;
    CommandLine command{std::move(words.front()), {}};
    command.arguments.assign(std::make_move_iterator(words.begin() + 1), std::make_move_iterator(words.end()));
    return command;
}

bool startCommand(ProcessStarter& starter, Dialogs& dialogs, CommandLine command)
{
    const std::string shown = command.program;
    std::string reason;
    if (const int error = resolve(command.program))
        reason = std::strerror(error);
    else
        reason = starter.start(command);
    if (reason.empty())
        return true;
    dialogs.messageBox("Cannot start " + shown + ": " + reason, MessageKind::Warning, MessageButtons::Ok);
    return false;
}

} // namespace qb
