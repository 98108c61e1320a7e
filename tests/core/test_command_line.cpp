#include "CommandLine.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

class CommandLineTest : public ::testing::Test
{
protected:
    CommandLineTest()
    {
        dir.makeFolder("Program Files");
        dir.makeFolder("Program Files/Mail App");
        dir.writeFile("Program Files/Mail App/mail app", "#!/bin/sh\n");
        dir.writeFile("Program Files/Mail App/mail", "#!/bin/sh\n");
        dir.writeFile("browser", "#!/bin/sh\n");
    }
    std::string path(const std::string& relative) const { return dir.file(relative); }

    qbtest::TempDir dir;
};

TEST_F(CommandLineTest, TheWholeLineIsTheProgramWhenItNamesAFile)
{
    const std::string program = path("Program Files/Mail App/mail app");
    EXPECT_EQ(qb::splitCommandLine(program), (qb::CommandLine{program, {}}));
}

TEST_F(CommandLineTest, TheLongestPrefixNamingAFileIsTheProgram)
{
    struct Row
    {
        std::string line;
        std::string program;
        Args arguments;
    };
    const Row rows[] = {
        {path("browser") + " http://www.quillbox.example/", path("browser"), {"http://www.quillbox.example/"}},
        // "mail app" is longer than "mail", and both exist.
        {path("Program Files/Mail App/mail app") + " -to me", path("Program Files/Mail App/mail app"), {"-to", "me"}},
        {path("Program Files/Mail App/mail") + " x", path("Program Files/Mail App/mail"), {"x"}},
        {path("browser") + "  a   b ", path("browser"), {"a", "b"}},
        {path("browser") + " ", path("browser"), {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(qb::splitCommandLine(row.line), (qb::CommandLine{row.program, row.arguments})) << row.line;
}

TEST_F(CommandLineTest, ALineNamingNoProgramGivesNothing)
{
    const std::string rows[] = {
        "",
        " http://www.quillbox.example/",
        path("missing") + " http://www.quillbox.example/",
        // A folder is not a program, whatever follows it.
        path("Program Files"),
        path("Program Files/Mail App") + " x",
    };
    for (const std::string& line : rows)
        EXPECT_EQ(qb::splitCommandLine(line), std::nullopt) << line;
}

} // namespace
