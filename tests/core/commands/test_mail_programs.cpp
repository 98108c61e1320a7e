#include "CommandRunner.h"
#include "MailPrograms.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using qb::Answer;
using Texts = std::vector<std::string>;
using Command = void (qb::MailPrograms::*)();

const std::string kPineAndElm = "Pine\r\n/usr/bin/pine\r\nElm\r\n/usr/bin/elm\r\n";
const std::string kOverwrite = "Are you sure you want to overwrite the old one?";
const std::string kCreated = "New Mail program file created!";
const std::string kNoFile = "Mail Program File Does not exist. Do you want to create one?";

class MailProgramsTest : public ::testing::Test
{
protected:
    MailProgramsTest() { session.currentdirectory = dir.path(); }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    // Fresh dialogs (their destructor checks every queued answer was used) for each table row.
    qbtest::ScriptedDialogs& freshDialogs()
    {
        dialogs = std::make_unique<qbtest::ScriptedDialogs>();
        programs = std::make_unique<qb::MailPrograms>(session, *dialogs, view, starter);
        return *dialogs;
    }
    bool run(Command command)
    {
        return qb::runCommand(*dialogs, [&] { ((*programs).*command)(); });
    }
    Texts boxes() const { return dialogs->boxTexts(); }
    const Texts& listed() const { return view.programs.entries(); }
    std::string mailCfg() const { return dir.readFile("mail.cfg"); }
    // Writes mail.cfg, or removes it for no bytes at all.
    void writeMailCfg(const std::optional<std::string>& bytes) const
    {
        if (bytes)
            dir.writeFile("mail.cfg", *bytes);
        else
            std::remove(dir.file("mail.cfg").c_str());
    }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedMailProgramsView view;
    qbtest::RecordingProcessStarter starter;
    std::unique_ptr<qbtest::ScriptedDialogs> dialogs;
    std::unique_ptr<qb::MailPrograms> programs;
};

TEST_F(MailProgramsTest, UpdateProgramsListsTheOddLinesSorted)
{
    const std::pair<std::optional<std::string>, Texts> rows[] = {
        {"", {""}},
        {kPineAndElm, {"Elm", "Pine"}},
        {"Zed\r\n/z\r\nAlpha", {"Alpha", "Zed"}},
        {"lf\nonly\r\n/x\r\n", {"lf\nonly"}},
        {"One\r\n/one\r\n\x1aTwo\r\n/two\r\n", {"One"}},
        {"cr\r/c\rnext\r/n\r", {"cr", "next"}},
        {std::nullopt, {}},
    };
    for (const auto& [file, shown] : rows) {
        SCOPED_TRACE(::testing::PrintToString(file));
        writeMailCfg(file);
        freshDialogs();
        view.programs.add("stale");
        EXPECT_TRUE(run(&qb::MailPrograms::updateprograms));
        EXPECT_EQ(listed(), shown);
        EXPECT_TRUE(view.programs.sorted());
    }
}

TEST_F(MailProgramsTest, NewProgramFileCreatesOrEmptiesOnlyOnYes)
{
    const struct
    {
        bool exists;
        std::vector<Answer> answers;
        Texts shown;
        bool emptied;
    } rows[] = {
        {false, {Answer::Ok}, {kCreated}, true},
        {true, {Answer::Yes, Answer::Ok}, {kOverwrite, kCreated}, true},
        {true, {Answer::No}, {kOverwrite}, false},
        {true, {Answer::Cancel}, {kOverwrite}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        writeMailCfg(row.exists ? std::optional<std::string>(kPineAndElm) : std::nullopt);
        freshDialogs();
        for (const Answer answer : row.answers)
            dialogs->answerMessage(answer);
        view.programs.clear();
        view.programs.add("before");
        EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
        EXPECT_EQ(boxes(), row.shown);
        if (row.exists) {
            EXPECT_EQ(dialogs->boxes()[0].defaultButton, qb::DefaultButton::No) << "Return would empty the list";
        }
        EXPECT_EQ(mailCfg(), row.emptied ? "" : kPineAndElm);
        EXPECT_EQ(listed(), row.emptied ? Texts{""} : Texts{"before"});
    }
}

TEST_F(MailProgramsTest, NewProgramFileWarnsOnEachBranchWhenTheFileCannotBeWritten)
{
    // The data directory has gone: probe and rewrite both fail.
    session.currentdirectory = dir.file("gone");
    freshDialogs().answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
    EXPECT_EQ(boxes(), Texts{"Please restart before using this function"});
    EXPECT_EQ(dialogs->boxes().at(0).kind, qb::MessageKind::Warning);

    // Held open for reading, the file may be probed but not rewritten.
    session.currentdirectory = dir.path();
    dir.writeFile("mail.cfg", kPineAndElm);
    auto reader = qbtest::openFile(session.io, session.mailFilePath());
    ASSERT_EQ(session.io.ioResult(), 0);
    freshDialogs().answerMessage(Answer::Yes).answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
    EXPECT_EQ(boxes(), (Texts{kOverwrite, "Plase restart before using this function"}));
    reader.reset();
    EXPECT_EQ(mailCfg(), kPineAndElm);
}

TEST_F(MailProgramsTest, AddProgramAppendsTwoLinesOnlyWhenAProgramIsChosen)
{
    const std::pair<std::string, std::string> rows[] = {
        {"/usr/local/bin/mutt wrapper", kPineAndElm + "Mutt\r\n/usr/local/bin/mutt wrapper\r\n"},
        {"", kPineAndElm},
    };
    for (const auto& [chosen, bytes] : rows) {
        dir.writeFile("mail.cfg", kPineAndElm);
        qbtest::ScriptedDialogs& scripted = freshDialogs().answerInput("Mutt");
        (chosen.empty() ? scripted.cancelOpen() : scripted.acceptOpen(chosen)).answerMessage(Answer::Ok);
        EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
        EXPECT_EQ(mailCfg(), bytes);
        EXPECT_EQ(scripted.inputBoxes(),
                  (std::vector<std::pair<std::string, std::string>>{
                      {"Add a new mail program to database", "Type in a name for the new mail program"}}));
        EXPECT_EQ(boxes(), Texts{"Mutt added to database!"});
        EXPECT_EQ(listed(), (chosen.empty() ? Texts{"Elm", "Pine"} : Texts{"Elm", "Mutt", "Pine"}));
    }
    freshDialogs().cancelInput();
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
    EXPECT_EQ(dialogs->openDialogsShown(), 0);
}

TEST_F(MailProgramsTest, AddProgramWithoutAFileCreatesItOnlyOnYes)
{
    freshDialogs().answerInput("Mutt").answerMessage(Answer::Yes).answerMessage(Answer::Ok);
    dialogs->acceptOpen("/usr/bin/mutt").answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
    EXPECT_EQ(boxes(), (Texts{kNoFile, kCreated, "Mutt added to database!"}));
    EXPECT_EQ(mailCfg(), "Mutt\r\n/usr/bin/mutt\r\n");

    for (const Answer answer : {Answer::No, Answer::Cancel}) {
        writeMailCfg(std::nullopt);
        freshDialogs().answerInput("Mutt").answerMessage(answer).answerMessage(Answer::Ok);
        EXPECT_FALSE(run(&qb::MailPrograms::AddProgram1Click));
        EXPECT_EQ(boxes(), (Texts{kNoFile, "You chose not to create a mail file. You will not be able to start Mutt "
                                           "until you do!"}));
        EXPECT_TRUE(dialogs->errors().empty());
        EXPECT_FALSE(dir.exists("mail.cfg"));
    }
}

TEST_F(MailProgramsTest, AddProgramRefusesTextsThatWouldBreakTheRecords)
{
    const std::pair<std::string, std::string> rows[] = {
        {"two\rlines", ""}, {"two\nlines", ""}, {"cut\x1a", ""}, {"Fine", "/odd\rpath"}};
    for (const auto& [name, program] : rows) {
        dir.writeFile("mail.cfg", kPineAndElm);
        freshDialogs().answerInput(name);
        if (!program.empty())
            dialogs->acceptOpen(program);
        EXPECT_FALSE(run(&qb::MailPrograms::AddProgram1Click));
        EXPECT_EQ(dialogs->errors(), Texts{"Invalid filename."});
        EXPECT_EQ(mailCfg(), kPineAndElm);
    }
}

TEST_F(MailProgramsTest, RunStartsTheLineAfterTheFirstEqualLineOrSaysNoneWasFound)
{
    // Programs that are there, so that they start.
    const std::string pineAndElm = "Pine\r\n/bin/false\r\nElm\r\n/bin/true\r\n";
    const std::string twoMails = "Mail\r\n/bin/true\r\nMail\r\n/bin/false\r\n";
    const struct
    {
        std::string listed, selected;
        std::optional<std::string> atRun, started;
    } rows[] = {
        {pineAndElm, "Elm", pineAndElm, "/bin/true"},
        {twoMails, "Mail", twoMails, "/bin/true"},
        // Command lines are compared too: "/bin/true" matches A's command line, and the next line is started.
        {"A\r\n/bin/true\r\n/bin/true\r\n/b\r\n", "/bin/true", "A\r\n/bin/true\r\n/bin/true\r\n/b\r\n", "/bin/true"},
        // The one empty entry of an empty file reads an empty command line at end of data, which starts nothing.
        {"", "", "", ""},
        // By the time Run reads the file, the name has gone from it, or the file itself has.
        {kPineAndElm, "Elm", "Pine\r\n/usr/bin/pine\r\n", std::nullopt},
        {kPineAndElm, "Elm", "Pine\r\n/usr/bin/pine", std::nullopt},
        {kPineAndElm, "Elm", std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.atRun));
        dir.writeFile("mail.cfg", row.listed);
        freshDialogs();
        ASSERT_TRUE(run(&qb::MailPrograms::updateprograms));
        ASSERT_TRUE(view.programs.selectText(row.selected));
        writeMailCfg(row.atRun);
        if (!row.started)
            dialogs->answerMessage(Answer::Ok);
        starter.started.clear();
        view.closed = 0;
        EXPECT_TRUE(run(&qb::MailPrograms::Button1Click));
        EXPECT_EQ(starter.started, row.started && !row.started->empty() ? Texts{*row.started} : Texts{});
        EXPECT_EQ(boxes(), row.started ? Texts{} : Texts{"No programs or none selected"});
        EXPECT_EQ(view.closed, row.started ? 1 : 0);
    }
    view.programs.select(-1);
    EXPECT_FALSE(run(&qb::MailPrograms::Button1Click));
    EXPECT_EQ(dialogs->errors(), Texts{"List index out of bounds (-1)"});
}

} // namespace
