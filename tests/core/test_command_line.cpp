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
