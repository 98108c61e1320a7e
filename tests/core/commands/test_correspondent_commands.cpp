#include "CommandRunner.h"
#include "CorrespondentCommands.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using qb::Answer;
using qb::MessageKind;
using Texts = std::vector<std::string>;
using Command = void (qb::CorrespondentCommands::*)();
using InputBox = std::pair<std::string, std::string>;
const Command kNewKey = &qb::CorrespondentCommands::NewKey1Click;
const Command kImportKey = &qb::CorrespondentCommands::ImportKey1Click;
const char* const kCreated = "New User File created!";

class CorrespondentCommandsTest : public ::testing::Test
{
protected:
    CorrespondentCommandsTest() { session.currentdirectory = dir.path(); }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    // A main window with a sorted recipient list (ListBox1's Sorted property), answering from `ask`.
    struct Desk
    {
        explicit Desk(qb::Session& session) : commands(session, view) { view.correspondents.setSorted(true); }
        bool run(Command command)
        {
            return qb::runCommand(view.scripted, [&] { (commands.*command)(); });
        }
        Texts boxes() const { return view.scripted.boxTexts(); }
        const Texts& listed() const { return view.correspondents.entries(); }
        qbtest::ScriptedMainView view;
        qbtest::ScriptedDialogs& ask = view.scripted;
        qb::CorrespondentCommands commands;
    };

    qbtest::TempDir dir;
    qb::Session session;
};

TEST_F(CorrespondentCommandsTest, UpdateUsersReadsEveryLineBeforeTestingForTheEnd)
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
        d.view.correspondents.add("stale");
        ASSERT_TRUE(d.run(&qb::CorrespondentCommands::updateusers));
        EXPECT_EQ(d.listed(), shown);
    }
}

TEST_F(CorrespondentCommandsTest, NewRecipiantFileCreatesOrEmptiesTheListOnlyOnYes)
{
    Desk created(session);
    created.ask.answerMessage(Answer::Ok);
    ASSERT_TRUE(created.run(&qb::CorrespondentCommands::newrecipiantfile));
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
        ASSERT_TRUE(d.run(&qb::CorrespondentCommands::newrecipiantfile));
        EXPECT_EQ(d.boxes(), (answer == Answer::Yes ? Texts{question, kCreated} : Texts{question}));
        EXPECT_EQ(d.ask.boxes()[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(d.ask.boxes()[0].buttons, qb::MessageButtons::YesNoCancel);
        EXPECT_EQ(d.ask.boxes()[0].defaultButton, qb::DefaultButton::No);
        EXPECT_EQ(dir.readFile("users.cfg"), answer == Answer::Yes ? "" : "bob\r\namy\r\n");
    }
    EXPECT_EQ(dir.readFile("bob/bob.key"), "\x01\x02") << "keys of names that were listed stay";
}

TEST_F(CorrespondentCommandsTest, NewRecipiantWithoutAListCreatesItOnYesAndGeneratesTheKey)
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

TEST_F(CorrespondentCommandsTest, NewRecipiantWarnsAndStopsWhenNoListIsWanted)
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

TEST_F(CorrespondentCommandsTest, ListIsSortedWhileTheFileKeepsRegistrationOrder)
{
    dir.writeFile("users.cfg", "");
    Desk d(session);
    for (const char* name : {"zed", "amy", "Mia"}) {
        d.ask.answerInput(name).answerMessage(Answer::Ok);
        ASSERT_TRUE(d.run(kNewKey));
    }
    EXPECT_EQ(dir.readFile("users.cfg"), "zed\r\namy\r\nMia\r\n");
    EXPECT_EQ(d.listed(), (Texts{"Mia", "amy", "zed"}));

    // The name just registered is chosen, as a click on it would choose it, wherever it sorts.
    ASSERT_TRUE(d.view.correspondents.selectText("amy"));
    d.ask.answerInput("Al").answerMessage(Answer::Ok);
    ASSERT_TRUE(d.run(kNewKey));
    EXPECT_EQ(d.view.correspondents.item(d.view.correspondents.itemIndex()), "Al");
    EXPECT_EQ(session.currentuser, "Al");
    EXPECT_EQ(d.view.pathField.text(), dir.file("Al/newmail.txt"));
    EXPECT_EQ(d.view.mainWindow.caption(), "Quillbox 97 - [Al]");
}

// A list shown all along takes what its own registrations appended alone; whatever else happened to the file, it shows
// what a list read afresh shows.
TEST_F(CorrespondentCommandsTest, AListKeptUpByRegistrationsShowsWhatAFreshReadingShows)
{
    using Change = std::string (*)(std::string);
    const struct
    {
        const char* name;
        const char* users;
        Change meanwhile; // done to the file between the two registrations
    } rows[] = {
        {"lines ended by CR LF", "bob\r\n", nullptr},
        {"a last line without its end takes the first name into it", "bob", nullptr},
        {"lines ended by CR alone", "bob\rcat\r", nullptr},
        {"what follows the end-of-data mark is cut", "bob\r\n\032old\r\nnames\r\n", nullptr},
        {"another copy appended meanwhile", "bob\r\n", [](std::string users) { return users + "zoe\r\n"; }},
        {"replaced meanwhile", "bob\r\n", [](std::string) { return std::string("cat\r\n"); }},
        {"its last line lost its end meanwhile", "bob\r\n",
         [](std::string users) { return users.erase(users.size() - 2); }},
    };
    int registered = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dir.writeFile("users.cfg", row.users);
        Desk kept(session);
        ASSERT_TRUE(kept.run(&qb::CorrespondentCommands::updateusers));
        for (int name = 0; name < 2; ++name) {
            if (name == 1 && row.meanwhile)
                dir.writeFile("users.cfg", row.meanwhile(dir.readFile("users.cfg")));
            kept.ask.answerInput("amy" + std::to_string(registered++)).answerMessage(Answer::Ok);
            ASSERT_TRUE(kept.run(kNewKey));
            Desk fresh(session);
            ASSERT_TRUE(fresh.run(&qb::CorrespondentCommands::updateusers));
            EXPECT_EQ(kept.listed(), fresh.listed());
        }
    }
}

TEST_F(CorrespondentCommandsTest, ANameThatHasAKeyIsReKeyedOnlyOnYesAndListedOnce)
{
    const struct
    {
        const char* name;
        const char* users;
        Answer answer;
    } rows[] = {
        {"No keeps key and list", "zed\r\n", Answer::No},
        {"closing the box keeps them too", "zed\r\n", Answer::Cancel},
        {"Yes replaces the key of a listed name", "zed\r\n", Answer::Yes},
        {"Yes lists a name whose key was there unlisted", "", Answer::Yes},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dir.writeFile("users.cfg", row.users);
        dir.writeFile("zed/zed.key", "old key");
        Desk d(session);
        d.ask.answerInput("zed").answerMessage(row.answer);
        const bool replaced = row.answer == Answer::Yes;
        if (replaced)
            d.ask.answerMessage(Answer::Ok);
        EXPECT_EQ(d.run(kNewKey), replaced);
        EXPECT_EQ(d.boxes()[0], "zed already has a key. Replace it? Messages encrypted with the old key can no longer "
                                "be decrypted.");
        EXPECT_EQ(d.ask.boxes()[0].buttons, qb::MessageButtons::YesNo);
        EXPECT_EQ(d.ask.boxes()[0].defaultButton, qb::DefaultButton::No);
        EXPECT_EQ(dir.readFile("zed/zed.key").size(), replaced ? 1000u : 7u);
        EXPECT_EQ(dir.readFile("users.cfg"), replaced ? "zed\r\n" : row.users);
    }
}

TEST_F(CorrespondentCommandsTest, NamesThatCannotBeOneFolderOrOneLineAreRefusedBeforeAnythingIsTouched)
{
    const std::string names[] = {
        "a/b",   "..",      ".",         "x\ny",     "x\ry",     "a\032b",   "a\tb",
        "a\x7f", ".hidden", "users.cfg", "MAIL.CFG", "Untitled", "unTITLed", std::string("a\0b", 3),
        "Ben ",  " Ben"};
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

TEST_F(CorrespondentCommandsTest, ImportCopiesTheChosenFileUpToItsFirstEndOfDataMarkAndSaysWhatItKept)
{
    const std::string refused = dir.file("received.bin") + " holds no usable key (a key ends at its first byte 26).";
    const std::string kept = "A new Directory and key has been imported for ";
    const struct
    {
        std::string name;
        std::string source;
        std::optional<std::string> key; // none: refused
        std::string told;
    } rows[] = {{"empty", "", std::nullopt, refused},
                {"marked", "\032abc", std::nullopt, refused},
                {"cut", "ab\032cd", "ab", kept + "cut\nOnly the first 2 bytes of the file are used as the key."},
                {"bytes", std::string("l1\r\n\0\xff", 6), std::string("l1\r\n\0\xff", 6), kept + "bytes"},
                {"long", std::string(300, 'k'), std::string(300, 'k'), kept + "long"}};
    for (const auto& row : rows) {
        const std::string& name = row.name;
        SCOPED_TRACE(name);
        dir.writeFile("received.bin", row.source);
        Desk d(session);
        d.ask.answerInput(name).acceptOpen(dir.file("received.bin")).answerMessage(Answer::Ok);
        if (&row == rows) // no list yet: created without a question
            d.ask.answerMessage(Answer::Ok);
        EXPECT_EQ(d.run(kImportKey), row.key.has_value());
        EXPECT_EQ(d.ask.inputBoxes()[0], InputBox("Import New Key", "Enter a name for person"));
        EXPECT_EQ(d.boxes().back(), row.told);
        EXPECT_EQ(d.ask.boxes().back().kind, row.key ? MessageKind::Information : MessageKind::Warning);
        EXPECT_EQ(dir.exists(name), row.key.has_value()) << "a refused import left a folder";
        if (row.key) {
            EXPECT_EQ(dir.readFile(name + "/" + name + ".key"), *row.key);
        }
    }
    EXPECT_EQ(dir.readFile("users.cfg"), "cut\r\nbytes\r\nlong\r\n");
}

TEST_F(CorrespondentCommandsTest, ImportOntoAnExistingKeyKeepsItSaysSoAndListsTheNameOnce)
{
    dir.writeFile("amy/amy.key", "old key");
    dir.writeFile("received.bin", "new key");
    for (const char* users : {"amy\r\n", ""}) {
        dir.writeFile("users.cfg", users);
        Desk d(session);
        // Said before any file is asked for: none would be imported.
        d.ask.answerInput("amy").answerMessage(Answer::Ok);
        EXPECT_FALSE(d.run(kImportKey));
        EXPECT_EQ(d.boxes(), Texts{"amy already has a key. It was kept."});
        EXPECT_EQ(session.currentuser, "amy");
        EXPECT_EQ(d.ask.boxes()[0].kind, MessageKind::Warning);
        EXPECT_EQ(dir.readFile("amy/amy.key"), "old key");
        EXPECT_EQ(dir.readFile("users.cfg"), "amy\r\n");
    }
}

TEST_F(CorrespondentCommandsTest, ImportThatGetsNoKeyListsNothingAndLeavesNothingBehind)
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
    EXPECT_FALSE(dir.exists("cancelled") || dir.exists("unreadable")) << "a folder was left behind";
}

TEST_F(CorrespondentCommandsTest, AKeyThatCannotBeCreatedIsReportedAndTheNameIsNotListed)
{
    dir.writeFile("users.cfg", "");
    dir.writeFile("carol", "a plain file where the folder belongs");
    dir.writeFile("received.bin", "a key");
    Desk d(session);
    for (const Command command : {kNewKey, kImportKey}) {
        d.ask.answerInput("carol");
        if (command == kImportKey)
            d.ask.acceptOpen(dir.file("received.bin"));
        EXPECT_FALSE(d.run(command));
    }
    EXPECT_EQ(d.ask.errors().size(), 2u);
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_EQ(dir.readFile("users.cfg"), "");
}

} // namespace
