#include "CommandRunner.h"
#include "MessageFiles.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;
using Errors = std::vector<std::string>;

// Bytes the text layer would stop at or change: byte 26 with more after it, a lone CR, a byte 0.
const std::string kCiphertext = std::string("\x01\x09\r\x1A", 4) + std::string("after\0mark\x1A\n", 12);

class MessageFilesTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(session.io.openFiles().count(), 0) << "a file was left open"; }

    bool run(void (qb::MessageFiles::*command)())
    {
        return qb::runCommand(view.scripted, [&] { (files.*command)(); });
    }
    void expectBox(const std::string& text) const
    {
        ASSERT_FALSE(view.scripted.boxes().empty());
        EXPECT_EQ(view.scripted.boxes().back().text, text);
        EXPECT_EQ(view.scripted.boxes().back().kind, MessageKind::Confirmation);
        EXPECT_EQ(view.scripted.boxes().back().buttons, MessageButtons::YesNoCancel);
    }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedMainView view;
    qb::MessageFiles files{session, view};
};

// New runs the save prompt first. Yes followed by a save that did not happen must not lose the message.
TEST_F(MessageFilesTest, NewClearsOnlyWhenTheMessageWasSavedOrGivenUp)
{
    enum class Save { NotAsked, Cancelled, NewTarget, ExistingTarget, MissingSource };
    struct Case
    {
        bool modified;
        std::optional<Answer> saveMessage;
        Save save;
        std::optional<Answer> overwrite;
        bool cleared;
    };
    const Case cases[] = {
        {false, {}, Save::NotAsked, {}, true},
        {true, Answer::No, Save::NotAsked, {}, true},
        {true, Answer::Cancel, Save::NotAsked, {}, false},
        {true, Answer::Yes, Save::NewTarget, {}, true},
        {true, Answer::Yes, Save::ExistingTarget, Answer::Yes, true},
        {true, Answer::Yes, Save::Cancelled, {}, false},
        {true, Answer::Yes, Save::ExistingTarget, Answer::No, false},
        {true, Answer::Yes, Save::ExistingTarget, Answer::Cancel, false},
        {true, Answer::Yes, Save::MissingSource, Answer::Yes, false},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE(row);
        qbtest::ScriptedMainView view;
        qb::MessageFiles files(session, view);
        dir.writeFile("message.txt", kCiphertext);
        dir.writeFile("existing.txt", "keep me");
        const std::string source = dir.file(c.save == Save::MissingSource ? "missing.txt" : "message.txt");
        const std::string target = dir.file(c.save == Save::NewTarget ? "new.txt" : "existing.txt");
        view.pathField.setText(source);
        view.editor.type("unsaved");
        view.editor.setModified(c.modified);
        if (c.saveMessage)
            view.scripted.answerMessage(*c.saveMessage);
        if (c.save == Save::Cancelled)
            view.scripted.cancelSave();
        else if (c.save != Save::NotAsked)
            view.scripted.acceptSave(target);
        if (c.overwrite)
            view.scripted.answerMessage(*c.overwrite);

        EXPECT_EQ(qb::runCommand(view.scripted, [&] { files.NewMail1Click(); }), c.cleared);

        if (c.saveMessage) {
            EXPECT_EQ(view.scripted.boxes().front().text, "Save message?");
            EXPECT_EQ(view.scripted.boxes().front().kind, MessageKind::Confirmation);
            EXPECT_EQ(view.scripted.boxes().front().buttons, MessageButtons::YesNoCancel);
        } else {
            EXPECT_TRUE(view.scripted.boxes().empty());
        }
        EXPECT_EQ(view.scripted.errors(), c.save == Save::MissingSource ? Errors{"File not found."} : Errors{});
        const bool saved = c.cleared && c.save != Save::NotAsked;
        if (c.save != Save::NotAsked && c.save != Save::Cancelled) {
            EXPECT_EQ(qbtest::readBytes(target) == kCiphertext, saved);
        }
        EXPECT_EQ(view.editor.text(), c.cleared ? "" : "unsaved");
        EXPECT_EQ(view.editor.isModified(), !c.cleared);
        EXPECT_EQ(view.pathField.text(), c.cleared ? "Untitled" : source);
        EXPECT_EQ(view.mainWindow.caption(), c.cleared ? "Quillbox 97 - [Untitled]" : "Quillbox 97");
        EXPECT_EQ(session.io.openFiles().count(), 0);
    }
}

TEST_F(MessageFilesTest, OpenLoadsTheFileAndMakesItTheMessageFile)
{
    dir.writeFile("letter.txt", "line one\nline two\rend");
    view.mainWindow.setCaption("Quillbox 97 - [bob]");
    view.editor.type("mine");
    view.scripted.cancelOpen();
    view.scripted.acceptOpen(dir.file("absent.txt"));
    view.scripted.acceptOpen(dir.file("letter.txt"));

    EXPECT_TRUE(run(&qb::MessageFiles::Open1Click));
    EXPECT_FALSE(run(&qb::MessageFiles::Open1Click));
    EXPECT_EQ(view.scripted.errors(), Errors{"Cannot open file " + dir.file("absent.txt") + "."});
    EXPECT_EQ(view.editor.text(), "mine");
    EXPECT_TRUE(view.editor.isModified());
    EXPECT_EQ(view.pathField.text(), "");

    EXPECT_TRUE(run(&qb::MessageFiles::Open1Click));
    EXPECT_EQ(view.editor.text(), "line one\r\nline two\r\nend");
    EXPECT_EQ(view.pathField.text(), dir.file("letter.txt"));
    EXPECT_EQ(view.editor.focusRequests(), 1);
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_EQ(view.mainWindow.caption(), "Quillbox 97 - [bob]");
}

TEST_F(MessageFilesTest, SaveAsCopiesEveryByteToANewTarget)
{
    std::string large(300007, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 131 + i / 7) % 256);
    for (const std::string& bytes : {kCiphertext, std::string(),
                                     std::string("\x1A"
                                                 "abc"),
                                     large}) {
        dir.writeFile("source.msg", bytes);
        view.pathField.setText(dir.file("source.msg"));
        view.editor.type("typed");
        const std::string target = dir.file("copy" + std::to_string(bytes.size()));
        view.scripted.acceptSave(target);

        EXPECT_TRUE(run(&qb::MessageFiles::SaveAs1Click));

        EXPECT_TRUE(qbtest::readBytes(target) == bytes) << bytes.size() << " bytes";
        EXPECT_EQ(view.pathField.text(), target);
        EXPECT_FALSE(view.editor.isModified());
    }
    EXPECT_TRUE(view.scripted.boxes().empty());
}

TEST_F(MessageFilesTest, SaveAsOverAnExistingTargetAsksFirst)
{
    for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
        dir.writeFile("source.txt", "new bytes");
        dir.writeFile("target.txt", "old");
        view.pathField.setText(dir.file("source.txt"));
        view.editor.type("typed");
        view.scripted.acceptSave(dir.file("target.txt"));
        view.scripted.answerMessage(answer);

        EXPECT_TRUE(run(&qb::MessageFiles::SaveAs1Click));

        const bool saved = answer == Answer::Yes;
        expectBox("OK to overwrite " + dir.file("target.txt"));
        EXPECT_EQ(dir.readFile("target.txt"), saved ? "new bytes" : "old");
        EXPECT_EQ(view.pathField.text(), dir.file(saved ? "target.txt" : "source.txt"));
        EXPECT_EQ(view.editor.isModified(), !saved);
    }
}

TEST_F(MessageFilesTest, SaveAsOntoTheMessageFileItselfFailsAndLeavesItAlone)
{
    dir.makeFolder("sub");
    dir.writeFile("message.txt", kCiphertext);
    view.pathField.setText(dir.file("message.txt"));
    view.scripted.acceptSave(dir.path() + "/sub/../message.txt");
    view.scripted.answerMessage(Answer::Yes);

    EXPECT_FALSE(run(&qb::MessageFiles::SaveAs1Click));

    EXPECT_EQ(view.scripted.errors(), Errors{"I/O error 32."});
    EXPECT_EQ(dir.readFile("message.txt"), kCiphertext);
    EXPECT_EQ(view.pathField.text(), dir.file("message.txt"));
}

TEST_F(MessageFilesTest, SaveAsWithoutASourceFileCreatesNoTarget)
{
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    dir.writeFile("existing.txt", "keep me");
    for (const std::string& pathField : {std::string("Untitled"), std::string()}) {
        view.pathField.setText(pathField);
        view.scripted.acceptSave(dir.file("new.txt"));
        EXPECT_FALSE(run(&qb::MessageFiles::SaveAs1Click));
        view.scripted.acceptSave(dir.file("existing.txt"));
        view.scripted.answerMessage(Answer::Yes);
        EXPECT_FALSE(run(&qb::MessageFiles::SaveAs1Click));

        EXPECT_FALSE(dir.exists("new.txt"));
        EXPECT_EQ(dir.readFile("existing.txt"), "keep me");
        EXPECT_EQ(view.pathField.text(), pathField);
    }
    EXPECT_EQ(view.scripted.errors(), Errors(4, "File not found."));
}

TEST_F(MessageFilesTest, SaveClearsTheModifiedFlagEvenWhenCancelled)
{
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    view.pathField.setText("Untitled");
    view.editor.type("typed");
    view.scripted.cancelSave();
    EXPECT_TRUE(run(&qb::MessageFiles::Save1Click));
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_EQ(view.pathField.text(), "Untitled");

    // A save that fails ends the command before the flag is cleared.
    view.editor.type("typed again");
    view.scripted.acceptSave(dir.file("copy.txt"));
    EXPECT_FALSE(run(&qb::MessageFiles::Save1Click));
    EXPECT_TRUE(view.editor.isModified());
    EXPECT_FALSE(dir.exists("copy.txt"));
}

} // namespace
