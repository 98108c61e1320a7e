#include "EditCommands.h"
#include "MailText.h"
#include "ScriptedUi.h"
#include "ShownMessage.h"

#include <gtest/gtest.h>

namespace {

TEST(EditCommands, CopyAsMailTextPutsTheEditorsBytesOnTheClipboardAsMailText)
{
    qbtest::ScriptedMainView view;
    qb::ShownMessage shown;
    qb::EditCommands commands(view, shown);
    commands.CopyAsMailText1Click();
    EXPECT_EQ(view.systemClipboard.sets(), 0) << "an empty editor copies nothing";
    EXPECT_TRUE(view.statusMessages.empty());

    const std::string bytes("line\r\n\0\x1a\n", 9);
    view.editor.takeAllBytes(std::string(bytes));
    view.editor.setModified(false);
    view.scripted.answerMessage(qb::Answer::Yes); // not Encrypt's result: asked first
    commands.CopyAsMailText1Click();
    EXPECT_EQ(view.systemClipboard.text(), qb::armorMailText(bytes));
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_EQ(view.statusMessages, std::vector<std::string>{"Mail text copied to the clipboard."});
}

} // namespace
