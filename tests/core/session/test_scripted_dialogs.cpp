#include "ScriptProblems.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;
using Texts = std::vector<std::string>;

// The test takes the problems from the log itself, so they do not fail it when it ends.
TEST(ScriptedDialogs, RecordsUnexpectedDialogsAndUnusedAnswersAndLeavesThemInTheLogWhenGone)
{
    const Texts expected{"unexpected message box \"Overwrite?\"", "unexpected open dialog",
                         "answers never asked for: 1 input box, 1 save dialog"};
    {
        qbtest::ScriptedDialogs dialogs;
        dialogs.answerMessage(Answer::Yes).answerInput("first").answerInput("second").acceptSave("copy.txt");
        EXPECT_EQ(dialogs.messageBox("Create?", MessageKind::Confirmation, MessageButtons::YesNo), Answer::Yes);
        EXPECT_EQ(dialogs.messageBox("Overwrite?", MessageKind::Confirmation, MessageButtons::YesNo), Answer::Cancel);
        EXPECT_EQ(dialogs.inputBox("Name", "Type a name", "none"), "first");
        EXPECT_FALSE(dialogs.executeOpenDialog());
        EXPECT_EQ(dialogs.unexpectedDialogs(), (Texts{"message box \"Overwrite?\"", "open dialog"}));
        EXPECT_FALSE(dialogs.allAnswersUsed());
        EXPECT_EQ(dialogs.problems(), expected);
        EXPECT_TRUE(qbtest::takeScriptProblems().empty()) << "problems reach the log only when the dialogs go";
    }
    EXPECT_EQ(qbtest::takeScriptProblems(), expected);
    EXPECT_TRUE(qbtest::takeScriptProblems().empty());
}

TEST(ScriptedDialogs, AScriptThatHoldsLeavesNoProblemsAndACancelledOpenKeepsTheEarlierName)
{
    {
        qbtest::ScriptedDialogs dialogs;
        dialogs.keepOpenFileName("earlier.key").cancelOpen().answerMessage(Answer::Ok);
        EXPECT_FALSE(dialogs.executeOpenDialog());
        EXPECT_EQ(dialogs.openDialogFileName(), "earlier.key");
        EXPECT_EQ(dialogs.messageBox("Done", MessageKind::Information, MessageButtons::Ok), Answer::Ok);
        EXPECT_TRUE(dialogs.problems().empty());
    }
    EXPECT_TRUE(qbtest::takeScriptProblems().empty());
}

} // namespace
