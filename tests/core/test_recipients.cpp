#include "CommandRunner.h"
#include "Recipients.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using qb::Answer;
using qb::MessageKind;
using Texts = std::vector<std::string>;
using Command = void (qb::Recipients::*)();
using InputBox = std::pair<std::string, std::string>;
const Command kNewKey = &qb::Recipients::NewKey1Click;
const Command kImportKey = &qb::Recipients::ImportKey1Click;
const char* const kCreated = "New User File created!";

class RecipientsTest : public ::testing::Test
{
protected:
    RecipientsTest() { session.currentdirectory = dir.path(); }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    // A main window with a sorted recipient list (ListBox1's Sorted property), answering from `ask`.
    struct Desk
    {
        explicit Desk(qb::Session& session) : commands(session, view) { view.recipients.setSorted(true); }
        bool run(Command command)
        {
            return qb::runCommand(view.scripted, [&] { (commands.*command)(); });
        }
        Texts boxes() const { return view.scripted.boxTexts(); }
        const Texts& listed() const { return view.recipients.entries(); }
        qbtest::ScriptedMainView view;
        qbtest::ScriptedDialogs& ask = view.scripted;
        qb::Recipients commands;
    };

    qbtest::TempDir dir;
    qb::Session session;
};

TEST_F(RecipientsTest, UpdateUsersReadsEveryLineBeforeTestingForTheEnd)
{
    const std::pair<std::optional<std::string>, Texts> rows[] = {{"", {""}},
                                                                 {"bob\r\nalice\r\n", {"alice", "bob"}},
                                                                 {"a\r\n\r\n", {"", "a"}},
                                                                 {"x\ny\rz\032c", {"x\ny", "z"}},
                                                                 {std::nullopt, {}}};
    for (const auto& [file, shown] : rows) {
        SCOPED_TRACE(::testing::PrintToString(file));
        if (file)
            dir.writeFile("users.cfg", *file);
        else
            std::filesystem::remove(dir.file("users.cfg"));
        Desk d(session);
        d.view.recipients.add("stale");
        ASSERT_TRUE(d.run(&qb::Recipients::updateusers));
        EXPECT_EQ(d.listed(), shown);
    }
}

TEST_F(RecipientsTest, NewRecipiantFileCreatesOrEmptiesTheListOnlyOnYes)
{
    Desk created(session);
    created.ask.answerMessage(Answer::Ok);
    ASSERT_TRUE(created.run(&qb::Recipients::newrecipiantfile));
    EXPECT_EQ(created.boxes(), Texts{kCreated});
    EXPECT_EQ(created.ask.boxes()[0].kind, MessageKind::Information);
    EXPECT_EQ(created.listed(), Texts{""});

    const char* question = "Are you sure you want to overwrite the old one?";
    dir.makeFolder("bob");
    dir.writeFile("bob/bob.key", "\x01\x02");
    for (const Answer answer : {Answer::No, Answer::Cancel, Answer::Yes}) {
        dir.writeFile("users.cfg", "bob\r\namy\r\n");
        Desk d(session);
        d.ask.answerMessage(answer);
        if (answer == Answer::Yes)
            d.ask.answerMessage(Answer::Ok);
        ASSERT_TRUE(d.run(&qb::Recipients::newrecipiantfile));
        EXPECT_EQ(d.boxes(), (answer == Answer::Yes ? Texts{question, kCreated} : Texts{question}));
        EXPECT_EQ(d.ask.boxes()[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(d.ask.boxes()[0].buttons, qb::MessageButtons::YesNoCancel);
        EXPECT_EQ(dir.readFile("users.cfg"), answer == Answer::Yes ? "" : "bob\r\namy\r\n");
    }
    EXPECT_EQ(dir.readFile("bob/bob.key"), "\x01\x02") << "keys of names that were listed stay";
}

TEST_F(RecipientsTest, NewRecipientWithoutAListCreatesItOnYesAndGeneratesTheKey)
{
    Desk d(session);
    d.view.editor.type("draft");
    d.ask.answerInput("bob smith").answerMessage(Answer::Yes).answerMessage(Answer::Ok).answerMessage(Answer::Ok);
    ASSERT_TRUE(d.run(kNewKey));

    EXPECT_EQ(d.ask.inputBoxes()[0], InputBox("New Recipiant/Sender", "Name of Person"));
    EXPECT_EQ(d.boxes(), (Texts{"Users file does not exist do you want to create one?", kCreated,
                                "New Directory and Key has been created for bob smith"}));
    EXPECT_EQ(d.ask.boxes()[2].kind, MessageKind::Information);
    EXPECT_EQ(dir.readFile("users.cfg"), "bob smith\r\n");
    EXPECT_EQ(dir.readFile("bob smith/bob smith.key").size(), 1000u);
    EXPECT_FALSE(d.view.editor.isModified());
    EXPECT_EQ(d.listed(), Texts{"bob smith"});
}

TEST_F(RecipientsTest, NewRecipientWarnsAndStopsWhenNoListIsWanted)
{
    for (const Answer answer : {Answer::No, Answer::Cancel}) {
        Desk d(session);
        d.ask.answerInput("Bob Jones").answerMessage(answer).answerMessage(Answer::Ok);
        EXPECT_FALSE(d.run(kNewKey));
        ASSERT_EQ(d.boxes().size(), 2u);
        EXPECT_EQ(d.boxes()[1], "You chose not to create a new user file. You will not be able to send or recieve "
                                "from Bob Jones until you do!");
        EXPECT_EQ(d.ask.boxes()[1].kind, MessageKind::Warning);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

TEST_F(RecipientsTest, ListIsSortedWhileTheFileKeepsRegistrationOrderAndRepeatsReplaceTheKey)
{
    dir.writeFile("users.cfg", "");
    Desk d(session);
    std::string firstZedKey;
    for (const char* name : {"zed", "amy", "Mia", "zed"}) {
        d.ask.answerInput(name).answerMessage(Answer::Ok);
        ASSERT_TRUE(d.run(kNewKey));
        if (firstZedKey.empty())
            firstZedKey = dir.readFile("zed/zed.key");
    }
    EXPECT_EQ(dir.readFile("users.cfg"), "zed\r\namy\r\nMia\r\nzed\r\n");
    EXPECT_EQ(d.listed(), (Texts{"Mia", "amy", "zed", "zed"}));
    EXPECT_NE(dir.readFile("zed/zed.key"), firstZedKey) << "the second zed got a key of its own";
    EXPECT_EQ(d.view.recipients.itemIndex(), -1) << "nobody was chosen, so the reload chooses nobody";

    // The correspondent chosen before a registration is still chosen after the reload, wherever it now sorts.
    ASSERT_TRUE(d.view.recipients.selectText("amy"));
    d.ask.answerInput("Al").answerMessage(Answer::Ok);
    ASSERT_TRUE(d.run(kNewKey));
    EXPECT_EQ(d.view.recipients.item(d.view.recipients.itemIndex()), "amy");
}

TEST_F(RecipientsTest, NamesThatCannotBeOneFolderOrOneLineAreRefusedBeforeAnythingIsTouched)
{
    const std::string names[] = {
        "a/b",   "..",      ".",         "x\ny",     "x\ry",     "a\032b",   "a\tb",
        "a\x7f", ".hidden", "users.cfg", "MAIL.CFG", "Untitled", "unTITLed", std::string("a\0b", 3)};
    for (const std::string& name : names) {
        for (const Command command : {kNewKey, kImportKey}) {
            SCOPED_TRACE(::testing::PrintToString(name));
            Desk d(session);
            d.ask.answerInput(name);
            EXPECT_FALSE(d.run(command));
            EXPECT_EQ(d.ask.errors(), Texts{"Invalid filename."});
            EXPECT_TRUE(d.boxes().empty());
            EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing may be created";
        }
    }
}

TEST_F(RecipientsTest, ImportCopiesTheChosenFileUpToItsFirstEndOfDataMark)
{
    const std::pair<std::string, std::string> rows[] = {
        {"", "\x1a"},
        {"\032abc", "\x1a"},
        {"ab\032cd", "ab"},
        {std::string("l1\r\n\0\xff", 6), std::string("l1\r\n\0\xff", 6)},
        {std::string(300, 'k'), std::string(300, 'k')}};
    std::size_t index = 0;
    for (const auto& [source, key] : rows) {
        const std::string name = "p" + std::to_string(index++);
        dir.writeFile("received.bin", source);
        Desk d(session);
        d.ask.answerInput(name).acceptOpen(dir.file("received.bin")).answerMessage(Answer::Ok);
        if (index == 1) // no list yet: created without a question
            d.ask.answerMessage(Answer::Ok);
        ASSERT_TRUE(d.run(kImportKey));
        EXPECT_EQ(d.ask.inputBoxes()[0], InputBox("Import New Key", "Enter a name for person"));
        EXPECT_EQ(dir.readFile(name + "/" + name + ".key"), key) << name;
        EXPECT_EQ(d.boxes().back(), "A new Directory and key has been imported for " + name);
        EXPECT_EQ(d.listed().size(), index);
    }
    EXPECT_EQ(dir.readFile("users.cfg"), "p0\r\np1\r\np2\r\np3\r\np4\r\n");
}

TEST_F(RecipientsTest, ImportOntoAnExistingKeyKeepsIt)
{
    dir.writeFile("users.cfg", "amy\r\n");
    dir.makeFolder("amy");
    dir.writeFile("amy/amy.key", "old key");
    Desk d(session);
    d.ask.answerInput("amy").answerMessage(Answer::Ok);
    EXPECT_FALSE(d.run(kImportKey));
    EXPECT_EQ(d.boxes(), Texts{"A new Directory and key has been imported for amy"});
    EXPECT_EQ(d.ask.openDialogsShown(), 0);
    EXPECT_EQ(dir.readFile("amy/amy.key"), "old key");
    EXPECT_EQ(d.listed(), (Texts{"amy", "amy"}));
}

TEST_F(RecipientsTest, ImportThatGetsNoKeyListsNothingAndLeavesNoKeyFile)
{
    dir.writeFile("users.cfg", "");
    dir.writeFile("message.txt", "a message, not a key");
    Desk d(session);
    // An earlier accepted name stays in the shared dialog; a later cancel must not reuse it.
    ASSERT_TRUE(d.ask.acceptOpen(dir.file("message.txt")).executeOpenDialog());
    d.ask.answerInput("cancelled").cancelOpen();
    EXPECT_FALSE(d.run(kImportKey));
    d.ask.answerInput("unreadable").acceptOpen(dir.file("no such file"));
    EXPECT_FALSE(d.run(kImportKey));

    EXPECT_TRUE(d.boxes().empty());
    EXPECT_TRUE(d.ask.errors().empty());
    EXPECT_EQ(dir.readFile("users.cfg"), "");
    EXPECT_TRUE(dir.exists("cancelled") && dir.exists("unreadable"));
    EXPECT_FALSE(dir.exists("cancelled/cancelled.key") || dir.exists("unreadable/unreadable.key"));
}

TEST_F(RecipientsTest, AKeyThatCannotBeCreatedIsReportedAndTheNameIsNotListed)
{
    dir.writeFile("users.cfg", "");
    dir.writeFile("carol", "a plain file where the folder belongs");
    Desk d(session);
    for (const Command command : {kNewKey, kImportKey}) {
        d.ask.answerInput("carol");
        EXPECT_FALSE(d.run(command));
    }
    EXPECT_EQ(d.ask.errors().size(), 2u);
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_EQ(dir.readFile("users.cfg"), "");
}

} // namespace
