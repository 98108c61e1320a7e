#include "CommandRunner.h"
#include "MessageFiles.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
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
        session.shownMessage.showFile(view.editor, source, std::nullopt); // shown as a command left it: copied
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
    view.scripted.cancelOpen().acceptOpen(dir.file("absent.txt")).acceptOpen(dir.file("letter.txt"));

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

// Save As copies the message file as it is on disk when the editor shows it as a command left it.
TEST_F(MessageFilesTest, SaveAsCopiesEveryByteOfTheMessageFileAndAsksBeforeOverwriting)
{
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    const std::string large = qbtest::randomBytes(300007, 3);
    const std::string notFound = "File not found.";
    const struct
    {
        std::string source;
        std::optional<std::string> sourceBytes;
        std::string target;
        std::optional<std::string> targetBytes;
        std::optional<Answer> overwrite;
        std::string error;
    } rows[] = {
        {"source.msg", kCiphertext, "copy.msg", {}, {}, ""},
        {"source.msg", "", "copy.msg", {}, {}, ""},
        {"source.msg",
         "\x1A"
         "abc",
         "copy.msg",
         {},
         {},
         ""},
        {"source.msg", large, "copy.msg", {}, {}, ""},
        {"source.txt", "new bytes", "target.txt", "old", Answer::Yes, ""},
        {"source.txt", "new bytes", "target.txt", "old", Answer::No, ""},
        {"source.txt", "new bytes", "target.txt", "old", Answer::Cancel, ""},
        // The message file itself under another spelling: refused, left alone.
        {"message.txt", kCiphertext, "sub/../message.txt", kCiphertext, Answer::Yes, "I/O error 32."},
        // No message file to copy: no target is created or changed.
        {"Untitled", {}, "new.txt", {}, {}, notFound},
        {"Untitled", {}, "existing.txt", "keep me", Answer::Yes, notFound},
        {"", {}, "new.txt", {}, {}, notFound},
        {"", {}, "existing.txt", "keep me", Answer::Yes, notFound},
    };
    dir.makeFolder("sub");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.source + " -> " + row.target);
        if (row.sourceBytes)
            dir.writeFile(row.source, *row.sourceBytes);
        if (row.targetBytes)
            dir.writeFile(row.target, *row.targetBytes);
        else
            std::filesystem::remove(dir.file(row.target));
        qbtest::ScriptedMainView view;
        qb::MessageFiles files(session, view);
        view.pathField.setText(row.source);
        view.editor.type("typed");
        session.shownMessage.showFile(view.editor, row.source, std::nullopt); // as a command left it
        view.scripted.acceptSave(row.target);
        if (row.overwrite)
            view.scripted.answerMessage(*row.overwrite);

        EXPECT_EQ(qb::runCommand(view.scripted, [&] { files.SaveAs1Click(); }), row.error.empty());

        const bool saved = row.error.empty() && (!row.overwrite || *row.overwrite == Answer::Yes);
        if (row.overwrite) {
            ASSERT_EQ(view.scripted.boxes().size(), 1u);
            EXPECT_EQ(view.scripted.boxes()[0].text, "OK to overwrite " + row.target);
            EXPECT_EQ(view.scripted.boxes()[0].kind, MessageKind::Confirmation);
            EXPECT_EQ(view.scripted.boxes()[0].buttons, MessageButtons::YesNoCancel);
            EXPECT_EQ(view.scripted.boxes()[0].defaultButton, qb::DefaultButton::No);
        } else {
            EXPECT_TRUE(view.scripted.boxes().empty());
        }
        EXPECT_EQ(view.scripted.errors(), row.error.empty() ? Errors{} : Errors{row.error});
        if (saved || row.targetBytes)
            EXPECT_TRUE(dir.readFile(row.target) == (saved ? *row.sourceBytes : *row.targetBytes));
        else
            EXPECT_FALSE(dir.exists(row.target));
        EXPECT_EQ(view.pathField.text(), saved ? row.target : row.source);
        EXPECT_EQ(view.editor.isModified(), !saved);
    }
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
    view.scripted.acceptSave(dir.file("nofolder/copy.txt"));
    EXPECT_FALSE(run(&qb::MessageFiles::Save1Click));
    EXPECT_TRUE(view.editor.isModified());
    EXPECT_FALSE(dir.exists("nofolder"));
}

// What is on screen is what gets saved: text typed over an opened file, or a draft with no file behind it, lands as
// typed, and stays on disk when New follows the Yes of "Save message?".
TEST_F(MessageFilesTest, ChangedTextIsSavedAsShownAndSurvivesNew)
{
    dir.writeFile("notes.txt", "Notes v1.");
    view.scripted.acceptOpen(dir.file("notes.txt"));
    ASSERT_TRUE(run(&qb::MessageFiles::Open1Click));
    view.editor.type("Notes v1.\r\nA paragraph typed since.");
    view.scripted.answerMessage(Answer::Yes).acceptSave(dir.file("notes-saved.txt"));
    ASSERT_TRUE(run(&qb::MessageFiles::NewMail1Click));
    EXPECT_EQ(dir.readFile("notes-saved.txt"), "Notes v1.\r\nA paragraph typed since.");
    EXPECT_EQ(dir.readFile("notes.txt"), "Notes v1.");

    // A draft in the new, untitled message: there is no file to copy, and the text is what is saved.
    view.editor.type("Draft");
    view.scripted.acceptSave(dir.file("draft.txt"));
    ASSERT_TRUE(run(&qb::MessageFiles::SaveAs1Click));
    EXPECT_EQ(dir.readFile("draft.txt"), "Draft");
    EXPECT_EQ(view.pathField.text(), dir.file("draft.txt"));

    // Saved, it counts as unchanged: the next Save As copies the file, every byte of it.
    dir.writeFile("draft.txt", std::string("Draft\0tail", 10));
    session.shownMessage.showFile(view.editor, dir.file("draft.txt"),
                                  qb::currentIdentity(session.io, dir.file("draft.txt")));
    view.scripted.acceptSave(dir.file("again.txt"));
    ASSERT_TRUE(run(&qb::MessageFiles::SaveAs1Click));
    EXPECT_EQ(dir.readFile("again.txt"), std::string("Draft\0tail", 10));
}

} // namespace
