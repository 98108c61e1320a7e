#include "CommandRunner.h"
#include "Errors.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

TEST(StandardErrorBox, AddsAFullStopOnlyAfterCharactersSortingAboveDot)
{
    for (const std::string text : {"File not found", "I/O error 32", "slash/"})
        EXPECT_EQ(qb::standardErrorText(text), text + ".");
    for (const std::string text : {"List index out of bounds (-1)", "Done!", "ends with a blank ", "already.", ""})
        EXPECT_EQ(qb::standardErrorText(text), text);
}

TEST(IoErrorTable, NamesTheKnownCodesAndNumbersTheRest)
{
    const std::pair<int, const char*> rows[] = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {32, "I/O error 32"},
        {103, "I/O error 103"},
    };
    for (const auto& [code, text] : rows)
        EXPECT_STREQ(qb::EInOutError(code).what(), text);
}

TEST(RunCommand, ShowsErrorsInTheBoxAndSwallowsTheSilentStop)
{
    qbtest::ScriptedDialogs dialogs;
    EXPECT_FALSE(qb::runCommand(dialogs, [] { throw qb::EInOutError(2); }));
    EXPECT_FALSE(qb::runCommand(dialogs, [] { throw qb::EListError(-1); }));
    EXPECT_FALSE(qb::runCommand(dialogs, [] { qb::Abort(); }));
    EXPECT_TRUE(qb::runCommand(dialogs, [] {}));
    EXPECT_EQ(dialogs.errors(), (std::vector<std::string>{"File not found.", "List index out of bounds (-1)"}));
}

} // namespace
