#include "CommandLine.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// PATH as a test sets it, put back afterwards.
class ScopedPath
{
public:
    explicit ScopedPath(const std::string& path)
    {
        if (const char* old = std::getenv("PATH"))
            m_old = old;
        ::setenv("PATH", path.c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", m_old.c_str(), 1); }

private:
    std::string m_old;
};

TEST(CommandLine, ALineIsAWholeFileOrWordsSplitAtBlanksOutsideQuotes)
{
    qbtest::TempDir dir;
    dir.makeFolder("Mail App");
    dir.writeFile("Mail App/mail app", "#!/bin/sh\n");
    const std::string mailApp = dir.file("Mail App/mail app");
    const std::string nul(1, '\0');
    const std::pair<std::string, std::optional<qb::CommandLine>> rows[] = {
        // A registered path with blanks, unquoted.
        {mailApp, qb::CommandLine{mailApp, {}}},
        {"xterm -e mutt", qb::CommandLine{"xterm", {"-e", "mutt"}}},
        {"/usr/bin/xterm -T \"My Mail\" -e mutt", qb::CommandLine{"/usr/bin/xterm", {"-T", "My Mail", "-e", "mutt"}}},
        {"\"" + mailApp + "\" -to me", qb::CommandLine{mailApp, {"-to", "me"}}},
        {"mutt  -y \"\" ", qb::CommandLine{"mutt", {"-y", ""}}},
        {"mutt -x" + nul + " -y", qb::CommandLine{"mutt", {"-x"}}},
        {"", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(qb::splitCommandLine(line), expected) << line;
}

TEST(CommandLine, AProgramIsLookedUpOnThePathAndAFailingStartSaysWhy)
{
    qbtest::TempDir dir;
    dir.makeFolder("bin");
    dir.writeFile("bin/mailer", "#!/bin/sh\n");
    ::chmod(dir.file("bin/mailer").c_str(), 0755);
    dir.writeFile("bin/plain", "not a program");
    const ScopedPath path(dir.file("nowhere") + ":" + dir.file("bin"));
    const struct
    {
        std::string line;
        std::string started;
        std::string warning;
    } rows[] = {
        {"mailer -y", dir.file("bin/mailer") + " -y", ""},
        {dir.file("bin/mailer") + " \"a b\"", dir.file("bin/mailer") + " a b", ""},
        {"no-such-mailer -y", "", "Cannot start no-such-mailer: No such file or directory"},
        {dir.file("bin"), "", "Cannot start " + dir.file("bin") + ": Is a directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        qbtest::RecordingProcessStarter starter;
        qbtest::ScriptedDialogs dialogs;
        if (!row.warning.empty())
            dialogs.answerMessage(qb::Answer::Ok);
        const bool started = qb::startCommand(starter, dialogs, *qb::splitCommandLine(row.line));
        EXPECT_EQ(started, row.warning.empty());
        EXPECT_EQ(starter.started, row.started.empty() ? std::vector<std::string>{} : std::vector{row.started});
        EXPECT_EQ(dialogs.boxTexts(), row.warning.empty() ? std::vector<std::string>{} : std::vector{row.warning});
    }
    // Root may run anything, so the refusal of a file without run permission is seen only as another user; a start
    // the system refuses is said with its reason.
    qbtest::RecordingProcessStarter starter;
    starter.refused = dir.file("bin/mailer");
    starter.refusal = "Process failed to start: Permission denied";
    qbtest::ScriptedDialogs dialogs;
    dialogs.answerMessage(qb::Answer::Ok);
    EXPECT_FALSE(qb::startCommand(starter, dialogs, {"mailer", {}}));
    EXPECT_EQ(dialogs.boxTexts(),
              std::vector<std::string>{"Cannot start mailer: Process failed to start: Permission denied"});
}

} // namespace
