#include "CommandRunner.h"
#include "MailPrograms.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

namespace {

using qb::Answer;
using qb::MessageKind;
using Texts = std::vector<std::string>;
using Command = void (qb::MailPrograms::*)();

const std::string kPineAndElm = "Pine\r\n/usr/bin/pine\r\nElm\r\n/usr/bin/elm\r\n";

class MailProgramsTest : public ::testing::Test
{
protected:
    MailProgramsTest() { session.currentdirectory = dir.path(); }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    bool run(Command command)
    {
        return qb::runCommand(dialogs, [&] { (programs.*command)(); });
    }
    Texts boxes() const { return dialogs.boxTexts(); }
    const Texts& listed() const { return view.programs.entries(); }
    std::string mailCfg() const { return dir.readFile("mail.cfg"); }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedDialogs dialogs;
    qbtest::ScriptedMailProgramsView view;
    qbtest::RecordingProcessStarter starter;
    qb::MailPrograms programs{session, dialogs, view, starter};
};

TEST_F(MailProgramsTest, UpdateProgramsListsTheOddLinesSorted)
{
    const std::pair<std::string, Texts> rows[] = {
        {"", {""}},
        {kPineAndElm, {"Elm", "Pine"}},
        {"Zed\r\n/z\r\nAlpha", {"Alpha", "Zed"}},
        {"a\r\n\r\n", {"a"}},
        {"lf\nonly\r\n/x\r\n", {"lf\nonly"}},
        {"One\r\n/one\r\n\x1aTwo\r\n/two\r\n", {"One"}},
        {"cr\r/c\rnext\r/n\r", {"cr", "next"}},
    };
    for (const auto& [file, shown] : rows) {
        dir.writeFile("mail.cfg", file);
        view.programs.clear();
        view.programs.add("stale");
        EXPECT_TRUE(run(&qb::MailPrograms::updateprograms));
        EXPECT_EQ(listed(), shown) << file;
        EXPECT_TRUE(view.programs.sorted());
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(MailProgramsTest, UpdateProgramsWithoutAFileLeavesTheListEmptyAndSaysNothing)
{
    view.programs.add("stale");
    EXPECT_TRUE(run(&qb::MailPrograms::updateprograms));
    EXPECT_TRUE(listed().empty());
    EXPECT_FALSE(view.programs.sorted());
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(dialogs.errors().empty());
}

TEST_F(MailProgramsTest, NewProgramFileCreatesAnEmptyListFile)
{
    dialogs.answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
    EXPECT_EQ(boxes(), Texts{"New Mail program file created!"});
    EXPECT_EQ(dialogs.boxes().at(0).kind, MessageKind::Information);
    EXPECT_TRUE(dir.exists("mail.cfg"));
    EXPECT_EQ(mailCfg(), "");
    EXPECT_EQ(listed(), Texts{""});
}

TEST_F(MailProgramsTest, NewProgramFileEmptiesAnExistingFileOnlyOnYes)
{
    const std::pair<Answer, bool> rows[] = {{Answer::Yes, true}, {Answer::No, false}, {Answer::Cancel, false}};
    for (const auto& [answer, emptied] : rows) {
        dir.writeFile("mail.cfg", kPineAndElm);
        qbtest::ScriptedDialogs local;
        qb::MailPrograms commands(session, local, view, starter);
        view.programs.clear();
        view.programs.add("before");
        local.answerMessage(answer);
        if (emptied)
            local.answerMessage(Answer::Ok);
        EXPECT_TRUE(qb::runCommand(local, [&] { commands.newprogramfile(); }));

        const Texts expected =
            emptied ? Texts{"Are you sure you want to overwrite the old one?", "New Mail program file created!"}
                    : Texts{"Are you sure you want to overwrite the old one?"};
        EXPECT_EQ(local.boxTexts(), expected);
        EXPECT_EQ(local.boxes().at(0).buttons, qb::MessageButtons::YesNoCancel);
        EXPECT_EQ(mailCfg(), emptied ? "" : kPineAndElm);
        EXPECT_EQ(listed(), emptied ? Texts{""} : Texts{"before"});
    }
}

TEST_F(MailProgramsTest, NewProgramFileWarnsWhenNoFileCanBeCreated)
{
    // A data directory that has gone away: the probe and the rewrite both fail.
    session.currentdirectory = dir.file("gone");
    dialogs.answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
    EXPECT_EQ(boxes(), Texts{"Please restart before using this function"});
    EXPECT_EQ(dialogs.boxes().at(0).kind, MessageKind::Warning);
    EXPECT_FALSE(dir.exists("gone"));
    EXPECT_TRUE(dialogs.errors().empty());
}

TEST_F(MailProgramsTest, NewProgramFileWarnsWhenTheOldFileCannotBeOverwritten)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    {
        // Held open for reading, the file may be probed but not rewritten.
        qb::TextFile reader(session.io);
        reader.assign(session.mailFilePath());
        reader.reset();
        ASSERT_EQ(session.io.ioResult(), 0);
        dialogs.answerMessage(Answer::Yes);
        dialogs.answerMessage(Answer::Ok);
        EXPECT_TRUE(run(&qb::MailPrograms::newprogramfile));
    }
    EXPECT_EQ(boxes(),
              (Texts{"Are you sure you want to overwrite the old one?", "Plase restart before using this function"}));
    EXPECT_EQ(dialogs.boxes().at(1).kind, MessageKind::Warning);
    EXPECT_EQ(mailCfg(), kPineAndElm);
}

TEST_F(MailProgramsTest, AddProgramAppendsNameAndFileAsTwoLines)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    dialogs.answerInput("Mutt");
    dialogs.acceptOpen("/usr/local/bin/mutt wrapper");
    dialogs.answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));

    EXPECT_EQ(mailCfg(), kPineAndElm + "Mutt\r\n/usr/local/bin/mutt wrapper\r\n");
    ASSERT_EQ(dialogs.inputBoxes().size(), 1u);
    EXPECT_EQ(dialogs.inputBoxes()[0].first, "Add a new mail program to database");
    EXPECT_EQ(dialogs.inputBoxes()[0].second, "Type in a name for the new mail program");
    EXPECT_EQ(boxes(), Texts{"Mutt added to database!"});
    EXPECT_EQ(dialogs.boxes().at(0).kind, MessageKind::Information);
    EXPECT_EQ(listed(), (Texts{"Elm", "Mutt", "Pine"}));
}

TEST_F(MailProgramsTest, AddProgramWithTheDialogCancelledWritesNothingButStillSaysAdded)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    dialogs.answerInput("Mutt");
    dialogs.cancelOpen();
    dialogs.answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
    EXPECT_EQ(mailCfg(), kPineAndElm);
    EXPECT_EQ(boxes(), Texts{"Mutt added to database!"});
    EXPECT_EQ(listed(), (Texts{"Elm", "Pine"}));
}

TEST_F(MailProgramsTest, AddProgramWithAnEmptyNameDoesNothing)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    dialogs.cancelInput();
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
    EXPECT_EQ(mailCfg(), kPineAndElm);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(dialogs.openDialogsShown(), 0);
}

TEST_F(MailProgramsTest, AddProgramCreatesAMissingFileOnYes)
{
    dialogs.answerInput("Mutt");
    dialogs.answerMessage(Answer::Yes);
    dialogs.answerMessage(Answer::Ok);
    dialogs.acceptOpen("/usr/bin/mutt");
    dialogs.answerMessage(Answer::Ok);
    EXPECT_TRUE(run(&qb::MailPrograms::AddProgram1Click));
    EXPECT_EQ(boxes(), (Texts{"Mail Program File Does not exist. Do you want to create one?",
                              "New Mail program file created!", "Mutt added to database!"}));
    EXPECT_EQ(mailCfg(), "Mutt\r\n/usr/bin/mutt\r\n");
    EXPECT_EQ(listed(), Texts{"Mutt"});
}

TEST_F(MailProgramsTest, AddProgramDeclinedCreationWarnsAndStopsSilently)
{
    for (const Answer answer : {Answer::No, Answer::Cancel}) {
        qbtest::ScriptedDialogs local;
        qb::MailPrograms commands(session, local, view, starter);
        local.answerInput("Mutt");
        local.answerMessage(answer);
        local.answerMessage(Answer::Ok);
        EXPECT_FALSE(qb::runCommand(local, [&] { commands.AddProgram1Click(); }));
        EXPECT_EQ(local.boxTexts(),
                  (Texts{"Mail Program File Does not exist. Do you want to create one?",
                         "You chose not to create a mail file. You will not be able to start Mutt until you do!"}));
        EXPECT_EQ(local.boxes().at(1).kind, MessageKind::Warning);
        EXPECT_TRUE(local.errors().empty());
        EXPECT_EQ(local.openDialogsShown(), 0);
        EXPECT_FALSE(dir.exists("mail.cfg"));
    }
}

TEST_F(MailProgramsTest, AddProgramRefusesTextsThatWouldBreakTheRecords)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    const std::pair<std::string, std::string> rows[] = {{"two\rlines", "/usr/bin/a"},
                                                        {"two\nlines", "/usr/bin/a"},
                                                        {std::string("cut\x1a"), "/usr/bin/a"},
                                                        {"Fine", "/odd\rpath"}};
    for (const auto& [name, program] : rows) {
        qbtest::ScriptedDialogs local;
        qb::MailPrograms commands(session, local, view, starter);
        local.answerInput(name);
        if (name == "Fine")
            local.acceptOpen(program);
        EXPECT_FALSE(qb::runCommand(local, [&] { commands.AddProgram1Click(); }));
        EXPECT_EQ(local.errors(), Texts{"Invalid filename."});
        EXPECT_TRUE(local.boxTexts().empty());
        EXPECT_EQ(mailCfg(), kPineAndElm);
    }
}

TEST_F(MailProgramsTest, RunStartsTheCommandLineAfterTheSelectedNameAndCloses)
{
    struct Row
    {
        std::string file;
        std::string selected;
        std::string started;
    };
    const Row rows[] = {
        {kPineAndElm, "Elm", "/usr/bin/elm"},
        {kPineAndElm, "Pine", "/usr/bin/pine"},
        // The first record in file order wins.
        {"Mail\r\n/first\r\nMail\r\n/second\r\n", "Mail", "/first"},
        // Command lines are compared too: "B" matches A's command line and B's name becomes the command.
        {"A\r\nB\r\nB\r\n/b\r\n", "B", "B"},
        // An empty file lists one empty entry whose command line is the empty read at end of data.
        {"", "", ""},
        {"Blank\r\n/opt/My Mail/mail\r\n", "Blank", "/opt/My Mail/mail"},
    };
    for (const Row& row : rows) {
        dir.writeFile("mail.cfg", row.file);
        ASSERT_TRUE(run(&qb::MailPrograms::updateprograms));
        ASSERT_TRUE(view.programs.selectText(row.selected)) << row.selected;
        starter.started.clear();
        view.closed = 0;
        EXPECT_TRUE(run(&qb::MailPrograms::Button1Click));
        EXPECT_EQ(starter.started, Texts{row.started}) << row.file;
        EXPECT_EQ(view.closed, 1);
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(MailProgramsTest, RunWithNothingSelectedReportsTheListIndex)
{
    dir.writeFile("mail.cfg", kPineAndElm);
    ASSERT_TRUE(run(&qb::MailPrograms::updateprograms));
    EXPECT_FALSE(run(&qb::MailPrograms::Button1Click));
    EXPECT_EQ(dialogs.errors(), Texts{"List index out of bounds (-1)"});
    EXPECT_TRUE(starter.started.empty());
    EXPECT_EQ(view.closed, 0);
}

TEST_F(MailProgramsTest, RunStopsAtTheEndWhenTheNameIsGoneOrTheFileMissing)
{
    const std::pair<const char*, std::string> rows[] = {
        {"rewritten", "Pine\r\n/usr/bin/pine\r\n"},
        {"no line end", "Pine\r\n/usr/bin/pine"},
        {"removed", ""},
    };
    for (const auto& [what, later] : rows) {
        dir.writeFile("mail.cfg", kPineAndElm);
        qbtest::ScriptedDialogs local;
        qb::MailPrograms commands(session, local, view, starter);
        ASSERT_TRUE(qb::runCommand(local, [&] { commands.updateprograms(); }));
        ASSERT_TRUE(view.programs.selectText("Elm"));
        if (std::string(what) == "removed")
            std::remove(dir.file("mail.cfg").c_str());
        else
            dir.writeFile("mail.cfg", later);

        local.answerMessage(Answer::Ok);
        EXPECT_TRUE(qb::runCommand(local, [&] { commands.Button1Click(); })) << what;
        EXPECT_EQ(local.boxTexts(), Texts{"No programs or none selected"}) << what;
        EXPECT_EQ(local.boxes().at(0).kind, MessageKind::Warning);
        EXPECT_TRUE(starter.started.empty());
        EXPECT_EQ(view.closed, 0);
    }
}

} // namespace
