#include "CommandRunner.h"
#include "Errors.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

TEST(StandardErrorBox, AddsAFullStopOnlyAfterCharactersSortingAboveDot)
{
    EXPECT_EQ(qb::standardErrorText("File not found"), "File not found.");
    EXPECT_EQ(qb::standardErrorText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(qb::standardErrorText("List index out of bounds (-1)"), "List index out of bounds (-1)");
    EXPECT_EQ(qb::standardErrorText("Done!"), "Done!");
    EXPECT_EQ(qb::standardErrorText("ends with a blank "), "ends with a blank ");
    EXPECT_EQ(qb::standardErrorText("already."), "already.");
    EXPECT_EQ(qb::standardErrorText("slash/"), "slash/.");
    EXPECT_EQ(qb::standardErrorText(""), "");
}

TEST(IoErrorTable, NamesTheKnownCodesAndNumbersTheRest)
{
    EXPECT_STREQ(qb::EInOutError(2).what(), "File not found");
    EXPECT_STREQ(qb::EInOutError(3).what(), "Invalid filename");
    EXPECT_STREQ(qb::EInOutError(4).what(), "Too many open files");
    EXPECT_STREQ(qb::EInOutError(5).what(), "File access denied");
    EXPECT_STREQ(qb::EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(qb::EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(qb::EInOutError(106).what(), "Invalid numeric input");
    EXPECT_STREQ(qb::EInOutError(32).what(), "I/O error 32");
    EXPECT_STREQ(qb::EInOutError(103).what(), "I/O error 103");
    EXPECT_EQ(qb::EInOutError(32).code(), 32);
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
