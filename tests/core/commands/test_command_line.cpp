#include "CommandLine.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, TheLongestPrefixNamingAFileIsTheProgramAndTheRestItsArguments)
{
    qbtest::TempDir dir;
    dir.makeFolder("Program Files");
    dir.makeFolder("Program Files/Mail App");
    dir.writeFile("Program Files/Mail App/mail app", "#!/bin/sh\n");
    dir.writeFile("Program Files/Mail App/mail", "#!/bin/sh\n");
    const std::string mailApp = dir.file("Program Files/Mail App/mail app");
    const std::string mail = dir.file("Program Files/Mail App/mail");
    const std::string url = "http://www.quillbox.example/";

    const std::pair<std::string, std::optional<qb::CommandLine>> rows[] = {
        {mailApp, qb::CommandLine{mailApp, {}}},
        // "mail app" is longer than "mail", and both exist.
        {mailApp + " -to me", qb::CommandLine{mailApp, {"-to", "me"}}},
        {mail + " " + url, qb::CommandLine{mail, {url}}},
        {mail + "  a   b ", qb::CommandLine{mail, {"a", "b"}}},
        {"", std::nullopt},
        {" " + url, std::nullopt},
        {dir.file("missing") + " " + url, std::nullopt},
        // A folder is not a program.
        {dir.file("Program Files/Mail App") + " x", std::nullopt},
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(qb::splitCommandLine(line), expected) << line;
}

} // namespace

namespace {

struct MailFolder
{
    MailFolder()
    {
        dir.makeFolder("Mail App");
        dir.writeFile("Mail App/mail", "#!/bin/sh\n");
        dir.writeFile("Mail App/mail app", "#!/bin/sh\n");
    }
    qbtest::TempDir dir;
    const std::string mail = dir.file("Mail App/mail");
    const std::string mailApp = dir.file("Mail App/mail app");
};

TEST(CommandLine, TheLineEndsAtItsFirstNul)
{
    const MailFolder folder;
    const std::string nul(1, '\0');
    struct Row
    {
        const char* name;
        std::string line;
        std::optional<qb::CommandLine> expected;
    };
    const Row rows[] = {
        {"inside the program's name", folder.mail + nul + " app", qb::CommandLine{folder.mail, {}}},
        {"right after the program", folder.mail + nul + " -to me", qb::CommandLine{folder.mail, {}}},
        {"inside an argument", folder.mail + " -to" + nul + "x me", qb::CommandLine{folder.mail, {"-to"}}},
        {"after a program with a blank", folder.mail + " app" + nul + " x", qb::CommandLine{folder.mailApp, {}}},
        {"first byte", nul + folder.mail, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(qb::splitCommandLine(row.line), row.expected) << row.name;
}

TEST(CommandLine, AMebibyteLineWithManyBlanksIsSplitInFull)
{
    const MailFolder folder;
    std::string arguments;
    std::vector<std::string> expected;
    while (arguments.size() < (1u << 20)) {
        expected.push_back(std::to_string(expected.size()));
        arguments += " " + expected.back();
    }
    struct Row
    {
        const char* name;
        std::string line;
        std::optional<qb::CommandLine> expected;
    };
    const Row rows[] = {
        {"program with a blank", folder.mailApp + arguments, qb::CommandLine{folder.mailApp, expected}},
        {"shorter program", folder.mail + arguments, qb::CommandLine{folder.mail, expected}},
        {"no program", folder.dir.file("missing") + arguments, std::nullopt},
        {"a blank for every byte", folder.mail + std::string(1u << 20, ' '), qb::CommandLine{folder.mail, {}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(qb::splitCommandLine(row.line), row.expected) << row.name;
}

} // namespace
