#include "CommandRunner.h"
#include "FixedClock.h"
#include "Recipients.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using qb::Answer;
using qb::MessageButtons;
using qb::MessageKind;
using Entries = std::vector<std::string>;

// First bytes of the keys for the two times of day the tests use, computed by an independent script.
const std::string kKeyStartAt13h45m07s250("\x04\x02\x06\x01\x00\x08\x04\x00\x05\x02\x00\x04\x03\x07\x01\x09", 16);
const std::string kKeyStartAtSeed1("\x00\x08\x02\x02\x06\x03\x01\x03\x04\x00\x04\x00\x08\x00\x02\x09", 16);

class RecipientsTest : public ::testing::Test
{
protected:
    RecipientsTest() : recipients(session, view, clock)
    {
        session.currentdirectory = dir.path();
        view.recipients.setSorted(true); // ListBox1 has its Sorted property set
    }

    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    bool run(void (qb::Recipients::*command)())
    {
        return qb::runCommand(view.scripted, [this, command] { (recipients.*command)(); });
    }

    void newRecipient(const std::string& name)
    {
        view.scripted.answerInput(name);
        view.scripted.answerMessage(Answer::Ok);
        ASSERT_TRUE(run(&qb::Recipients::NewKey1Click));
    }

    const Entries& listed() const { return view.recipients.entries(); }
    bool dataDirectoryEmpty() const { return std::filesystem::is_empty(dir.path()); }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedMainView view;
    qbtest::FixedClock clock{49507250u}; // 13:45:07.250 UTC
    qb::Recipients recipients;
};

TEST_F(RecipientsTest, UpdateUsersReadsEveryLineBeforeTestingForTheEnd)
{
    struct Row
    {
        std::string file;
        Entries shown;
    };
    const Row rows[] = {
        {"", {""}},
        {"bob\r\nalice\r\n", {"alice", "bob"}},
        {"a\r\n\r\n", {"", "a"}},
        {"x\ny\r\n", {"x\ny"}},
        {"a\rb", {"a", "b"}},
        {"a\r\nb\x1a"
         "c\r\n",
         {"a", "b"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        dir.writeFile("users.cfg", row.file);
        view.recipients.add("stale");
        ASSERT_TRUE(run(&qb::Recipients::updateusers));
        EXPECT_EQ(listed(), row.shown);
    }
}

TEST_F(RecipientsTest, UpdateUsersWithoutAListFileLeavesTheListEmpty)
{
    view.recipients.add("stale");
    EXPECT_TRUE(run(&qb::Recipients::updateusers));
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(view.scripted.errors().empty());
}

TEST_F(RecipientsTest, ListIsShownSortedWhileTheFileKeepsRegistrationOrder)
{
    dir.writeFile("users.cfg", "");
    for (const std::string name : {"zed", "amy", "Mia"})
        newRecipient(name);
    EXPECT_EQ(dir.readFile("users.cfg"), "zed\r\namy\r\nMia\r\n");
    EXPECT_EQ(listed(), (Entries{"Mia", "amy", "zed"}));
}

TEST_F(RecipientsTest, NewRecipiantFileCreatesAMissingListWithoutAsking)
{
    view.scripted.answerMessage(Answer::Ok);
    ASSERT_TRUE(run(&qb::Recipients::newrecipiantfile));
    EXPECT_EQ(dir.readFile("users.cfg"), "");
    ASSERT_EQ(view.scripted.boxes().size(), 1u);
    EXPECT_EQ(view.scripted.boxes()[0].text, "New User File created!");
    EXPECT_EQ(view.scripted.boxes()[0].kind, MessageKind::Information);
    EXPECT_EQ(view.scripted.boxes()[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(listed(), (Entries{""}));
}

TEST_F(RecipientsTest, NewRecipiantFileEmptiesAnExistingListOnlyOnYes)
{
    const std::string old = "bob\r\namy\r\n";
    for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) {
        qbtest::ScriptedMainView fresh;
        fresh.recipients.setSorted(true);
        qb::Recipients commands(session, fresh, clock);
        dir.writeFile("users.cfg", old);
        dir.makeFolder("bob");
        dir.writeFile("bob/bob.key", "\x01\x02");
        fresh.scripted.answerMessage(answer);
        if (answer == Answer::Yes)
            fresh.scripted.answerMessage(Answer::Ok);
        ASSERT_TRUE(qb::runCommand(fresh.scripted, [&] { commands.newrecipiantfile(); }));

        const std::vector<std::string> question{"Are you sure you want to overwrite the old one?"};
        const std::vector<std::string> created{"Are you sure you want to overwrite the old one?",
                                               "New User File created!"};
        EXPECT_EQ(fresh.scripted.boxTexts(), answer == Answer::Yes ? created : question);
        EXPECT_EQ(fresh.scripted.boxes()[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(fresh.scripted.boxes()[0].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(dir.readFile("users.cfg"), answer == Answer::Yes ? "" : old);
        EXPECT_EQ(dir.readFile("bob/bob.key"), "\x01\x02") << "keys of listed names stay";
    }
}

TEST_F(RecipientsTest, NewRecipientWritesTheNameAndAGeneratedKey)
{
    dir.writeFile("users.cfg", "amy\r\n");
    view.editor.type("draft");
    newRecipient("bob smith");

    EXPECT_EQ(view.scripted.inputBoxes(),
              (std::vector<std::pair<std::string, std::string>>{{"New Recipiant/Sender", "Name of Person"}}));
    EXPECT_EQ(dir.readFile("users.cfg"), "amy\r\nbob smith\r\n");
    const std::string key = dir.readFile("bob smith/bob smith.key");
    ASSERT_EQ(key.size(), 1000u);
    EXPECT_EQ(key.substr(0, 16), kKeyStartAt13h45m07s250);
    for (const char byte : key)
        ASSERT_LE(static_cast<unsigned char>(byte), 9);
    ASSERT_EQ(view.scripted.boxes().size(), 1u);
    EXPECT_EQ(view.scripted.boxes()[0].text, "New Directory and Key has been created for bob smith");
    EXPECT_EQ(view.scripted.boxes()[0].kind, MessageKind::Information);
    EXPECT_FALSE(view.editor.isModified());
    EXPECT_EQ(view.editor.text(), "draft");
    EXPECT_EQ(listed(), (Entries{"amy", "bob smith"}));
}

TEST_F(RecipientsTest, NewRecipientCreatesTheMissingListOnYes)
{
    view.scripted.answerInput("bob");
    view.scripted.answerMessage(Answer::Yes);
    view.scripted.answerMessage(Answer::Ok);
    view.scripted.answerMessage(Answer::Ok);
    ASSERT_TRUE(run(&qb::Recipients::NewKey1Click));

    EXPECT_EQ(view.scripted.boxTexts(),
              (std::vector<std::string>{"Users file does not exist do you want to create one?",
                                        "New User File created!", "New Directory and Key has been created for bob"}));
    EXPECT_EQ(view.scripted.boxes()[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(view.scripted.boxes()[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(dir.readFile("users.cfg"), "bob\r\n");
    EXPECT_EQ(dir.readFile("bob/bob.key").size(), 1000u);
    EXPECT_EQ(listed(), (Entries{"bob"}));
}

TEST_F(RecipientsTest, NewRecipientWarnsAndStopsWhenTheListIsNotWanted)
{
    for (const Answer answer : {Answer::No, Answer::Cancel}) {
        qbtest::ScriptedMainView fresh;
        qb::Recipients commands(session, fresh, clock);
        fresh.scripted.answerInput("Bob Jones");
        fresh.scripted.answerMessage(answer);
        fresh.scripted.answerMessage(Answer::Ok);
        EXPECT_FALSE(qb::runCommand(fresh.scripted, [&] { commands.NewKey1Click(); }));

        ASSERT_EQ(fresh.scripted.boxes().size(), 2u);
        EXPECT_EQ(fresh.scripted.boxes()[1].text, "You chose not to create a new user file. You will not be able to "
                                                  "send or recieve from Bob Jones until you do!");
        EXPECT_EQ(fresh.scripted.boxes()[1].kind, MessageKind::Warning);
        EXPECT_EQ(fresh.scripted.boxes()[1].buttons, MessageButtons::Ok);
        EXPECT_TRUE(fresh.scripted.errors().empty());
        EXPECT_TRUE(dataDirectoryEmpty());
    }
}

TEST_F(RecipientsTest, RegisteringANameTwiceListsItTwiceAndReplacesItsKey)
{
    dir.writeFile("users.cfg", "");
    newRecipient("bob");
    clock.set(1u);
    newRecipient("bob");

    EXPECT_EQ(dir.readFile("users.cfg"), "bob\r\nbob\r\n");
    const std::string key = dir.readFile("bob/bob.key");
    ASSERT_EQ(key.size(), 1000u);
    EXPECT_EQ(key.substr(0, 16), kKeyStartAtSeed1);
    EXPECT_EQ(listed(), (Entries{"bob", "bob"}));
}

TEST_F(RecipientsTest, AnEmptyOrCancelledNameDoesNothing)
{
    view.scripted.answerInput("");
    view.scripted.cancelInput();
    view.scripted.cancelInput();
    run(&qb::Recipients::NewKey1Click);
    run(&qb::Recipients::NewKey1Click);
    run(&qb::Recipients::ImportKey1Click);
    EXPECT_TRUE(view.scripted.boxes().empty());
    EXPECT_TRUE(view.scripted.errors().empty());
    EXPECT_EQ(view.scripted.openDialogsShown(), 0);
    EXPECT_TRUE(dataDirectoryEmpty());
}

TEST_F(RecipientsTest, NamesThatCannotBeOneFolderOrOneLineAreRefusedBeforeAnythingIsTouched)
{
    const std::string names[] = {"a/b",
                                 "/",
                                 "..",
                                 ".",
                                 "x\ny",
                                 "x\ry",
                                 std::string("a\x1a"
                                             "b"),
                                 std::string("a\0b", 3)};
    for (const std::string& name : names) {
        for (const auto command : {&qb::Recipients::NewKey1Click, &qb::Recipients::ImportKey1Click}) {
            SCOPED_TRACE(name);
            qbtest::ScriptedMainView fresh;
            qb::Recipients commands(session, fresh, clock);
            fresh.scripted.answerInput(name);
            EXPECT_FALSE(qb::runCommand(fresh.scripted, [&] { (commands.*command)(); }));
            EXPECT_EQ(fresh.scripted.errors(), (std::vector<std::string>{"Invalid filename."}));
            EXPECT_TRUE(fresh.scripted.boxes().empty());
            EXPECT_EQ(fresh.scripted.openDialogsShown(), 0);
            EXPECT_TRUE(dataDirectoryEmpty()) << "no users.cfg, folder or key may be created";
        }
    }
}

TEST_F(RecipientsTest, ImportCopiesTheChosenFileUpToItsFirstEndOfDataMark)
{
    struct Row
    {
        std::string source;
        std::string key;
    };
    const Row rows[] = {
        {"", "\x1a"},
        {"\x1a", "\x1a"},
        {"\x1a"
         "abc",
         "\x1a"},
        {"ab\x1a"
         "cd",
         "ab"},
        {"line one\r\nline two\n", "line one\r\nline two\n"},
        {std::string("\x00\xff\x0d\x80", 4), std::string("\x00\xff\x0d\x80", 4)},
        {std::string(300, 'k'), std::string(300, 'k')},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(index);
        const std::string name = "p" + std::to_string(index++);
        dir.writeFile("received.bin", row.source);
        view.scripted.answerInput(name);
        view.scripted.acceptOpen(dir.file("received.bin"));
        view.scripted.answerMessage(Answer::Ok);
        ASSERT_TRUE(run(&qb::Recipients::ImportKey1Click));
        EXPECT_EQ(dir.readFile(name + "/" + name + ".key"), row.key);
        EXPECT_EQ(dir.readFile("received.bin"), row.source) << "the chosen file is only read";
        EXPECT_EQ(view.scripted.boxTexts().back(), "A new Directory and key has been imported for " + name);
        EXPECT_EQ(view.scripted.boxes().back().kind, MessageKind::Information);
    }
    EXPECT_EQ(view.scripted.inputBoxes().front(),
              (std::pair<std::string, std::string>{"Import New Key", "Enter a name for person"}));
    EXPECT_EQ(dir.readFile("users.cfg"), "p0\r\np1\r\np2\r\np3\r\np4\r\np5\r\np6\r\n");
    EXPECT_EQ(listed(), (Entries{"p0", "p1", "p2", "p3", "p4", "p5", "p6"}));
}

TEST_F(RecipientsTest, ImportCreatesAMissingListWithoutAsking)
{
    dir.writeFile("received.key", "secret");
    view.scripted.answerInput("amy");
    view.scripted.acceptOpen(dir.file("received.key"));
    view.scripted.answerMessage(Answer::Ok);
    view.scripted.answerMessage(Answer::Ok);
    ASSERT_TRUE(run(&qb::Recipients::ImportKey1Click));
    EXPECT_EQ(
        view.scripted.boxTexts(),
        (std::vector<std::string>{"New User File created!", "A new Directory and key has been imported for amy"}));
    EXPECT_EQ(dir.readFile("users.cfg"), "amy\r\n");
    EXPECT_EQ(dir.readFile("amy/amy.key"), "secret");
}

TEST_F(RecipientsTest, ImportOntoAnExistingKeyKeepsIt)
{
    dir.writeFile("users.cfg", "amy\r\n");
    dir.makeFolder("amy");
    dir.writeFile("amy/amy.key", "old key");
    view.scripted.answerInput("amy");
    view.scripted.answerMessage(Answer::Ok);
    EXPECT_FALSE(run(&qb::Recipients::ImportKey1Click));
    EXPECT_EQ(view.scripted.boxTexts(),
              (std::vector<std::string>{"A new Directory and key has been imported for amy"}));
    EXPECT_EQ(view.scripted.openDialogsShown(), 0);
    EXPECT_EQ(dir.readFile("amy/amy.key"), "old key");
    EXPECT_EQ(dir.readFile("users.cfg"), "amy\r\namy\r\n");
    EXPECT_EQ(listed(), (Entries{"amy", "amy"}));
}

TEST_F(RecipientsTest, ImportThatGetsNoKeyLeavesTheNameListedWithoutAKeyFile)
{
    dir.writeFile("users.cfg", "");
    dir.writeFile("message.txt", "a message, not a key");
    // An earlier accepted name stays in the shared dialog; a later cancel must not reuse it.
    view.scripted.acceptOpen(dir.file("message.txt"));
    ASSERT_TRUE(view.scripted.executeOpenDialog());

    view.scripted.answerInput("cancelled");
    view.scripted.cancelOpen();
    EXPECT_FALSE(run(&qb::Recipients::ImportKey1Click));

    view.scripted.answerInput("unreadable");
    view.scripted.acceptOpen(dir.file("no such file"));
    EXPECT_FALSE(run(&qb::Recipients::ImportKey1Click));

    EXPECT_TRUE(view.scripted.boxes().empty());
    EXPECT_TRUE(view.scripted.errors().empty());
    EXPECT_EQ(dir.readFile("users.cfg"), "cancelled\r\nunreadable\r\n");
    for (const std::string name : {"cancelled", "unreadable"}) {
        EXPECT_TRUE(dir.exists(name));
        EXPECT_FALSE(dir.exists(name + "/" + name + ".key")) << name;
    }
}

TEST_F(RecipientsTest, AKeyThatCannotBeCreatedIsReportedAfterTheNameWasListed)
{
    // A plain file where the correspondent's folder belongs: the folder cannot be made, nor the key in it.
    dir.writeFile("users.cfg", "");
    dir.writeFile("carol", "in the way");
    view.scripted.answerInput("carol");
    EXPECT_FALSE(run(&qb::Recipients::NewKey1Click));
    view.scripted.answerInput("carol");
    EXPECT_FALSE(run(&qb::Recipients::ImportKey1Click));

    EXPECT_EQ(view.scripted.errors().size(), 2u);
    EXPECT_TRUE(view.scripted.boxes().empty());
    EXPECT_EQ(view.scripted.openDialogsShown(), 0);
    EXPECT_EQ(dir.readFile("users.cfg"), "carol\r\ncarol\r\n");
    EXPECT_EQ(dir.readFile("carol"), "in the way");
}

} // namespace
