#include "CliProcess.h"

#include "TempDir.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace qbtest {

namespace {

void redirect(const std::string& path, int flags, int target)
{
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0 || ::dup2(fd, target) < 0)
        ::_exit(127);
    ::close(fd);
}

pid_t start(const std::vector<std::string>& arguments, const std::string& input, const std::string& output,
            const std::string& errors, bool append = false)
{
    std::vector<char*> argv{const_cast<char*>(QUILLBOX_CLI)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("cannot start quillbox-cli");
    if (child == 0) {
        redirect(input, O_RDONLY, STDIN_FILENO);
        redirect(output, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), STDOUT_FILENO);
        redirect(errors, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        ::execv(QUILLBOX_CLI, argv.data());
        ::_exit(127);
    }
    return child;
}

} // namespace

pid_t startCli(const std::vector<std::string>& arguments)
{
    return start(arguments, "/dev/null", "/dev/null", "/dev/null");
}

int waitForCli(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CliRun runCli(const std::vector<std::string>& arguments, const std::string& workFolder, const std::string& inputFile,
              const std::string& outputFile, bool appendOutput)
{
    const std::string outPath = outputFile.empty() ? workFolder + "/cli.out" : outputFile;
    const std::string errPath = workFolder + "/cli.err";
    CliRun run;
    run.status =
        waitForCli(start(arguments, inputFile.empty() ? "/dev/null" : inputFile, outPath, errPath, appendOutput));
    run.out = outputFile.empty() || outputFile.rfind("/dev/", 0) != 0 ? readBytes(outPath) : "";
    run.err = readBytes(errPath);
    return run;
}

} // namespace qbtest
