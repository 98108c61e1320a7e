#include "CommandRunner.h"
#include "MessageFiles.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;

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
    void modifyEditor(const std::string& text) { view.editor.type(text); }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedMainView view;
    qb::MessageFiles files{session, view};
};

TEST_F(MessageFilesTest, NewWithAnUnmodifiedEditorAsksNothing)
{
    view.editor.type("old text");
    view.editor.setModified(false);
    view.pathField.setText(dir.file("bob/newmail.txt"));

    EXPECT_TRUE(run(&qb::MessageFiles::NewMail1Click));

    EXPECT_TRUE(view.scripted.boxes().empty());
    EXPECT_EQ(view.pathField.text(), "Untitled");
    EXPECT_EQ(view.mainWindow.caption(), "Quillbox 97 - [Untitled]");
    EXPECT_EQ(view.editor.text(), "");
    EXPECT_FALSE(view.editor.isModified());
}

TEST_F(MessageFilesTest, NewWithAModifiedEditorAsksToSave)
{
    struct Case
    {
        Answer answer;
        bool cleared;
    };
    for (const Case c : {Case{Answer::No, true}, Case{Answer::Cancel, false}}) {
        qbtest::ScriptedMainView view;
        qb::MessageFiles files(session, view);
        view.pathField.setText(dir.file("bob/newmail.txt"));
        view.editor.type("unsaved");
        view.scripted.answerMessage(c.answer);

        EXPECT_EQ(qb::runCommand(view.scripted, [&] { files.NewMail1Click(); }), c.cleared);

        ASSERT_EQ(view.scripted.boxes().size(), 1u);
        EXPECT_EQ(view.scripted.boxes()[0].text, "Save message?");
        EXPECT_EQ(view.scripted.boxes()[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(view.scripted.boxes()[0].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(view.scripted.saveDialogsShown(), 0);
        EXPECT_EQ(view.editor.text(), c.cleared ? "" : "unsaved");
        EXPECT_EQ(view.editor.isModified(), !c.cleared);
        EXPECT_EQ(view.pathField.text(), c.cleared ? "Untitled" : dir.file("bob/newmail.txt"));
        EXPECT_EQ(view.mainWindow.caption(), c.cleared ? "Quillbox 97 - [Untitled]" : "Quillbox 97");
    }
}

TEST_F(MessageFilesTest, NewAfterYesSavesTheMessageFileThenClears)
{
    dir.writeFile("message.txt", kCiphertext);
    view.pathField.setText(dir.file("message.txt"));
    view.editor.type("edited");
    view.scripted.answerMessage(Answer::Yes);
    view.scripted.acceptSave(dir.file("kept.txt"));

    EXPECT_TRUE(run(&qb::MessageFiles::NewMail1Click));

    EXPECT_EQ(dir.readFile("kept.txt"), kCiphertext);
    EXPECT_EQ(view.pathField.text(), "Untitled");
    EXPECT_EQ(view.editor.text(), "");
}

// Yes followed by a save that did not happen must not lose the message: New is called off.
TEST_F(MessageFilesTest, NewIsCalledOffWhenTheSaveAfterYesDoesNotHappen)
{
    enum class Refusal
    {
        CancelDialog,
        NoToOverwrite,
        CancelOverwrite,
        MissingSource
    };
    for (const Refusal refusal :
         {Refusal::CancelDialog, Refusal::NoToOverwrite, Refusal::CancelOverwrite, Refusal::MissingSource}) {
        qbtest::ScriptedMainView view;
        qb::MessageFiles files(session, view);
        dir.writeFile("message.txt", "source");
        dir.writeFile("existing.txt", "keep me");
        view.pathField.setText(dir.file(refusal == Refusal::MissingSource ? "missing.txt" : "message.txt"));
        view.editor.type("unsaved");
        view.scripted.answerMessage(Answer::Yes);
        if (refusal == Refusal::CancelDialog) {
            view.scripted.cancelSave();
        } else {
            view.scripted.acceptSave(dir.file("existing.txt"));
            view.scripted.answerMessage(refusal == Refusal::NoToOverwrite     ? Answer::No
                                        : refusal == Refusal::CancelOverwrite ? Answer::Cancel
                                                                              : Answer::Yes);
        }

        EXPECT_FALSE(qb::runCommand(view.scripted, [&] { files.NewMail1Click(); }));
        const bool failed = refusal == Refusal::MissingSource;
        EXPECT_EQ(view.scripted.errors(),
                  failed ? std::vector<std::string>{"File not found."} : std::vector<std::string>{});
        EXPECT_EQ(view.editor.text(), "unsaved");
        EXPECT_TRUE(view.editor.isModified());
        EXPECT_EQ(view.mainWindow.caption(), "Quillbox 97");
        EXPECT_EQ(dir.readFile("existing.txt"), "keep me");
        EXPECT_EQ(session.io.openFiles().count(), 0);
    }
}

TEST_F(MessageFilesTest, CheckfilesaveLetsTheCallerGoOnOnlyAfterNoOrASave)
{
    dir.writeFile("message.txt", "m");
    view.pathField.setText(dir.file("message.txt"));
    EXPECT_TRUE(run(&qb::MessageFiles::Checkfilesave)); // unmodified: no question
    EXPECT_TRUE(view.scripted.boxes().empty());

    view.editor.type("changed");
    view.scripted.answerMessage(Answer::No);
    EXPECT_TRUE(run(&qb::MessageFiles::Checkfilesave));
    view.scripted.answerMessage(Answer::Cancel);
    EXPECT_FALSE(run(&qb::MessageFiles::Checkfilesave));
    view.scripted.answerMessage(Answer::Yes);
    view.scripted.acceptSave(dir.file("saved.txt"));
    EXPECT_TRUE(run(&qb::MessageFiles::Checkfilesave));
    EXPECT_EQ(dir.readFile("saved.txt"), "m");
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_TRUE(view.scripted.errors().empty());
}

TEST_F(MessageFilesTest, OpenLoadsTheFileAndMakesItTheMessageFile)
{
    dir.writeFile("letter.txt", "line one\nline two\rend");
    view.mainWindow.setCaption("Quillbox 97 - [bob]");
    view.scripted.acceptOpen(dir.file("letter.txt"));

    EXPECT_TRUE(run(&qb::MessageFiles::Open1Click));

    EXPECT_EQ(view.editor.text(), "line one\r\nline two\r\nend");
    EXPECT_EQ(view.pathField.text(), dir.file("letter.txt"));
    EXPECT_EQ(view.editor.focusRequests(), 1);
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_EQ(view.mainWindow.caption(), "Quillbox 97 - [bob]");
    EXPECT_TRUE(view.scripted.boxes().empty());
}

TEST_F(MessageFilesTest, OpenCancelledOrFailingChangesNothing)
{
    view.pathField.setText("Untitled");
    view.editor.type("mine");
    view.scripted.cancelOpen();
    EXPECT_TRUE(run(&qb::MessageFiles::Open1Click));

    view.scripted.acceptOpen(dir.file("absent.txt"));
    EXPECT_FALSE(run(&qb::MessageFiles::Open1Click));
    EXPECT_EQ(view.scripted.errors(), std::vector<std::string>{"Cannot open file " + dir.file("absent.txt") + "."});
    EXPECT_EQ(view.pathField.text(), "Untitled");
    EXPECT_EQ(view.editor.text(), "mine");
    EXPECT_TRUE(view.editor.isModified());
}

TEST_F(MessageFilesTest, SaveAsCopiesEveryByteToANewTarget)
{
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    std::string large(3 * 100000 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 131 + i / 7) % 256);
    for (const Case& c : {Case{"ciphertext", kCiphertext}, Case{"empty", ""},
                          Case{"starts-with-26", "\x1A"
                                                 "abc"},
                          Case{"large", large}}) {
        const std::string source = std::string(c.name) + ".msg";
        const std::string target = std::string(c.name) + ".copy";
        dir.writeFile(source, c.bytes);
        view.pathField.setText(dir.file(source));
        view.editor.type("typed");
        view.scripted.acceptSave(dir.file(target));

        EXPECT_TRUE(run(&qb::MessageFiles::SaveAs1Click));

        ASSERT_TRUE(dir.exists(target)) << c.name;
        EXPECT_TRUE(dir.readFile(target) == c.bytes) << c.name;
        EXPECT_EQ(dir.readFile(source), c.bytes) << c.name;
        EXPECT_EQ(view.pathField.text(), dir.file(target));
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
        ASSERT_FALSE(view.scripted.boxes().empty());
        EXPECT_EQ(view.scripted.boxes().back().text, "OK to overwrite " + dir.file("target.txt"));
        EXPECT_EQ(view.scripted.boxes().back().kind, MessageKind::Confirmation);
        EXPECT_EQ(view.scripted.boxes().back().buttons, MessageButtons::YesNoCancel);
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

    EXPECT_EQ(view.scripted.errors(), std::vector<std::string>{"I/O error 32."});
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
    EXPECT_EQ(view.scripted.errors(), std::vector<std::string>(4, "File not found."));
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
