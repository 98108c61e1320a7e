#include "CliProcess.h"
#include "CorrespondentCommands.h"
#include "EditCommands.h"
#include "MailText.h"
#include "MessageCipher.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "StrongCipher.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace {

using qbtest::randomBytes;
using Arguments = std::vector<std::string>;
const std::string kDamaged = "quillbox-cli: The mail text is damaged (checksum mismatch).\n";

// What the window's Encrypt makes of `message` typed into the editor, with `key` as bob's key: the file, and what
// Copy as Mail Text then puts on the clipboard.
std::pair<std::string, std::string> windowEncrypt(const std::string& message, const std::string& key)
{
    qbtest::TempDir folder;
    folder.writeFile("bob/bob.key", key);
    qb::Session session;
    session.currentdirectory = folder.path();
    session.currentuser = "bob";
    qbtest::ScriptedMainView view;
    qb::MessageCipher cipher(session, view);
    view.pathField.setText(folder.file("bob/newmail.txt"));
    view.editor.type(message);
    cipher.Encrypt1Click();
    qb::EditCommands(view, session.shownMessage).CopyAsMailText1Click();
    return {folder.readFile("bob/newmail.txt"), view.systemClipboard.text()};
}

class CliTest : public ::testing::Test
{
protected:
    CliTest()
    {
        dir.writeFile("data/users.cfg", "bob\r\ncarol\r\n");
        dir.makeFolder("data/carol"); // listed, but without a key
        dir.writeFile("msg", "a message");
    }
    std::string data() const { return dir.file("data"); }
    // quillbox-cli --data DATA ARGUMENTS...
    qbtest::CliRun cli(Arguments arguments, const std::string& input = "", const std::string& output = "") const
    {
        arguments.insert(arguments.begin(), {"--data", data()});
        return qbtest::runCli(arguments, dir.path(), input, output);
    }
    void setKey(const std::string& key) const { dir.writeFile("data/bob/bob.key", key); }

    qbtest::TempDir dir;
};

TEST_F(CliTest, EncryptGivesTheBytesOfTheWindowsEncrypt)
{
    const struct
    {
        const char* name;
        std::string message;
        std::string key;
    } rows[] = {
        {"26, CR, LF and byte 0 in the message", std::string("A\x1a\r\n\0B\r\r\n\n\x1a", 11) + randomBytes(5000, 1),
         randomBytes(1000, 2, 9)},
        {"a key with 26 inside", randomBytes(3000, 3), std::string("key\x1a", 4) + "not used"},
        {"a key longer than the 64 KiB read buffer", randomBytes(300000, 4), randomBytes(70000, 5, 25)},
        {"an empty key, which acts as 26", "plain text", ""},
        {"a message of several 1 MiB chunks", randomBytes((5 << 20) / 2, 6), randomBytes(999, 7, 9)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        setKey(row.key);
        dir.writeFile("message", row.message);
        const auto [expected, mailText] = windowEncrypt(row.message, row.key);

        const qbtest::CliRun toFile = cli({"encrypt", "-r", "bob", "-o", dir.file("out"), dir.file("message")});
        EXPECT_EQ(toFile.status, 0) << toFile.err;
        EXPECT_TRUE(dir.readFile("out") == expected) << "differs from the window's ciphertext";

        const qbtest::CliRun piped = cli({"encrypt", "-r", "bob"}, dir.file("message"));
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_TRUE(piped.out == expected) << "differs from the window's ciphertext";

        const qbtest::CliRun armored = cli({"encrypt", "-r", "bob", "--armor", dir.file("message")});
        EXPECT_TRUE(armored.out == mailText) << "differs from Copy as Mail Text";
    }
}

TEST_F(CliTest, DecryptTakesRawBytesOrMailTextBack)
{
    setKey(randomBytes(1000, 8, 9));
    const std::string message = std::string("Dear Alice,\r\n\0\x1a", 15) + randomBytes(40000, 9);
    dir.writeFile("message", message);
    const std::string armored = cli({"encrypt", "-r", "bob", "--armor", dir.file("message")}).out;
    const std::string raw = cli({"encrypt", "-r", "bob", dir.file("message")}).out;
    std::string quoted = "From: Alice\n\nHello,\n";
    for (std::size_t start = 0, end; (end = armored.find('\n', start)) != std::string::npos; start = end + 1)
        quoted += "> " + armored.substr(start, end - start) + "\r\n";
    const struct
    {
        const char* name;
        std::string input;
    } rows[] = {{"raw bytes", raw},
                {"mail text", armored},
                {"a quoted mail with text around", quoted + "Bye\n"},
                {"mail text after more text than is read at a time", std::string(3 << 20, '-') + "\n" + armored}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dir.writeFile("input", row.input);
        const qbtest::CliRun piped = cli({"decrypt", "-r", "bob"}, dir.file("input"));
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_TRUE(piped.out == message) << "not the message back";
        EXPECT_EQ(cli({"decrypt", "-r", "bob", "-o", dir.file("out"), dir.file("input")}).status, 0);
        EXPECT_TRUE(dir.readFile("out") == message) << "not the message back";
    }
}

TEST_F(CliTest, DamagedOrDoubledMailTextIsRefusedWithNothingWritten)
{
    setKey("\x01");
    std::string damaged = qb::armorMailText(randomBytes(3000, 10));
    damaged[damaged.find("\n\n") + 100] ^= 1;
    const std::string doubled = qb::armorMailText("one") + qb::armorMailText("two");
    const struct
    {
        const char* name;
        std::string input;
        std::string error;
    } rows[] = {
        {"a changed character", damaged, kDamaged},
        {"cut before its end", damaged.substr(0, damaged.size() / 2), kDamaged},
        {"two blocks", doubled, "quillbox-cli: The mail text holds more than one message.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        dir.writeFile("input", "Text before it\n" + row.input);
        dir.writeFile("out/old", "old content");
        const qbtest::CliRun toFile = cli({"decrypt", "-r", "bob", "-o", dir.file("out/old"), dir.file("input")});
        EXPECT_EQ(toFile.status, 1);
        EXPECT_EQ(toFile.err, row.error);
        EXPECT_EQ(dir.readFile("out/old"), "old content");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("out")), {}), 1) << "a file was left";

        const qbtest::CliRun piped = cli({"decrypt", "-r", "bob"}, dir.file("input"));
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.err, row.error);
        EXPECT_EQ(piped.out, "") << "wrote to standard output";
    }
}

TEST_F(CliTest, DecryptTakesTheKeyTheMailTextNamesAndRefusesAnotherWithNothingWritten)
{
    dir.writeFile("data/users.cfg", "bob\r\ncarol\r\nalice\r\nann\r\n");
    setKey(randomBytes(1000, 12, 9));
    dir.writeFile("data/alice/alice.key", "the key alice and ann share");
    dir.writeFile("data/ann/ann.key", "the key alice and ann share");
    dir.writeFile("message", "Dear Bob");
    std::string mail = "Hi,\n" + cli({"encrypt", "-r", "ann", "--armor", dir.file("message")}).out;
    dir.writeFile("mail", mail);
    dir.writeFile("unknown", mail.replace(mail.find("Key: ") + 5, 19, "0000 1111 2222 3333"));
    const std::string out = dir.file("out");
    const std::string noHolder = "None of your correspondents holds the key this message was encrypted with (Key: ";
    // The command line, what it says and what OUT holds after it: "old" when it failed, exit status 1.
    const std::tuple<Arguments, std::string, std::string> rows[] = {
        {{"decrypt", "-o", out, dir.file("mail")}, "decrypted with alice's key", "Dear Bob"},
        {{"decrypt", "-r", "bob", "-o", out, dir.file("mail")},
         "the message was encrypted with alice's key, not bob's",
         "old"},
        {{"decrypt", "-o", out, dir.file("unknown")}, noHolder + "0000 1111 2222 3333)", "old"},
        {{"decrypt", "-r", "bob", "--armor", "-o", out, dir.file("message")}, "no mail text found", "old"},
        {{"decrypt", "--armor", "-o", out, dir.file("message")}, "no mail text found", "old"},
    };
    for (const auto& [arguments, error, result] : rows) {
        SCOPED_TRACE(error);
        dir.writeFile("out", "old");
        const qbtest::CliRun run = cli(arguments);
        EXPECT_EQ(run.status, result == "old" ? 1 : 0);
        EXPECT_EQ(run.err, "quillbox-cli: " + error + "\n");
        EXPECT_EQ(dir.readFile("out"), result);
    }
}

TEST_F(CliTest, FailuresExitWithTheirStatusAndTheProgramsText)
{
    setKey("\x01");
    const std::string missing = dir.file("missing");
    const std::string marked = dir.file("marked");
    dir.writeFile("marked", "\x1a"
                            "after the end of data");
    const std::string out = dir.file("out");
    const std::string intoGone = dir.file("gone/out");
    const std::string tryHelp = "Try 'quillbox-cli --help' for more information.\n";
    // Another user's folder, and another user's link to it in a folder anyone may write to.
    dir.makeFolder("theirs");
    dir.makeFolder("shared");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(dir.file("theirs").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01777), 0);
        ASSERT_EQ(::chown(dir.file("shared").c_str(), 65533, 65533), 0);
        ASSERT_EQ(::symlink(dir.file("theirs").c_str(), dir.file("shared/qbdata").c_str()), 0);
        ASSERT_EQ(::lchown(dir.file("shared/qbdata").c_str(), 65534, 65534), 0);
    }
    const struct
    {
        const char* name;
        Arguments arguments;
        int status;
        std::string error;
    } rows[] = {
        {"unknown recipient",
         {"encrypt", "-r", "zed", "-o", out, dir.file("msg")},
         1,
         "quillbox-cli: unknown recipient zed (see quillbox-cli recipients)\n"},
        {"a name that is no folder",
         {"decrypt", "-r", "../bob", "-o", out, dir.file("msg")},
         1,
         "quillbox-cli: ../bob: Invalid filename\n"},
        {"missing key",
         {"decrypt", "-r", "carol", "-o", out, dir.file("msg")},
         1,
         "quillbox-cli: no key for carol (" + data() + "/carol/carol.key: No such file or directory)\n"},
        {"missing input",
         {"encrypt", "-r", "bob", "-o", out, missing},
         1,
         "quillbox-cli: " + missing + ": No such file or directory\n"},
        {"a folder as input",
         {"encrypt", "-r", "bob", "-o", out, data()},
         1,
         "quillbox-cli: " + data() + ": Is a directory\n"},
        {"output into a missing folder",
         {"encrypt", "-r", "bob", "-o", intoGone, dir.file("msg")},
         1,
         "quillbox-cli: " + intoGone + ": No such file or directory\n"},
        {"the input as its own output",
         {"encrypt", "-r", "bob", "-o", dir.file("msg"), dir.file("msg")},
         1,
         "quillbox-cli: " + dir.file("msg") + ": input and output are the same file\n"},
        {"the key as export's output",
         {"export", "bob", "-o", data() + "/bob/bob.key"},
         1,
         "quillbox-cli: " + data() + "/bob/bob.key is one of Quillbox's own files\n"},
        {"export into a missing folder",
         {"export", "bob", "-o", intoGone},
         1,
         "quillbox-cli: " + intoGone + ": No such file or directory\n"},
        {"a key file that cannot be read, its name shown without its control character",
         {"import", "dave", missing + "\x1b"},
         1,
         "quillbox-cli: " + missing + "\\x1B: No such file or directory\n"},
        {"import of a file with no usable byte",
         {"import", "dave", marked},
         1,
         "quillbox-cli: " + marked + " holds no usable key (a key ends at its first byte 26).\n"},
        {"import onto a key",
         {"import", "bob", marked},
         1,
         "quillbox-cli: bob already has a key. It was kept; " + marked + " was not imported.\n"},
        {"add onto a key", {"add", "bob"}, 1, "quillbox-cli: bob already has a key; use --force to replace it\n"},
        {"unknown option",
         {"encrypt", "-r", "bob", "--frob"},
         2,
         "quillbox-cli: unrecognized option '--frob'\n" + tryHelp},
        {"option without its value",
         {"encrypt", "-o"},
         2,
         "quillbox-cli: option '-o' requires an argument\n" + tryHelp},
        {"a bad option inside a cluster",
         {"encrypt", "-r", "bob", "-xa", dir.file("msg")},
         2,
         "quillbox-cli: invalid option -- 'x'\n" + tryHelp},
        {"two recipients",
         {"encrypt", "-r", "bob", "-r", "carol", dir.file("msg")},
         2,
         "quillbox-cli: -r NAME given more than once\n" + tryHelp},
        {"no recipient", {"encrypt", dir.file("msg")}, 2, "quillbox-cli: encrypt: -r NAME is required\n" + tryHelp},
        {"a name kept for the program's own files",
         {"add", "Mail.cfg"},
         1,
         "quillbox-cli: Mail.cfg: Invalid filename\n"},
        {"a name with a control character", {"add", "tab\there"}, 1, "quillbox-cli: tab\\x09here: Invalid filename\n"},
        {"a name with a trailing blank", {"add", "Ben "}, 1, "quillbox-cli: Ben : Invalid filename\n"},
        {"another user's data directory",
         {"--data", dir.file("theirs"), "recipients"},
         1,
         "quillbox-cli: " + dir.file("theirs") + ": the data directory belongs to another user\n"},
        {"a data directory through another user's link",
         {"--data", dir.file("shared/qbdata"), "recipients"},
         1,
         "quillbox-cli: " + dir.file("shared/qbdata") + ": a symbolic link that is not followed here\n"},
        {"a data directory that cannot be made",
         {"--data", dir.file("msg") + "/data", "add", "dave"},
         1,
         "quillbox-cli: " + dir.file("msg") + "/data: Not a directory\n"},
        {"a name the window could not show",
         {"import", "sn\xE2\x98\x83w", marked},
         1,
         "quillbox-cli: sn\xE2\x98\x83w: holds a character the window cannot show: U+2603\n"},
        {"surplus operand", {"add", "dave", "eve"}, 2, "quillbox-cli: add: extra operand 'eve'\n" + tryHelp},
        {"no command", {}, 2, "quillbox-cli: no command given\n" + tryHelp},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!root && std::string(row.name).find("another user") != std::string::npos)
            continue; // only root can give a folder or a link to another user
        const qbtest::CliRun run = cli(row.arguments);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err, row.error);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(dir.exists("out")) << "an output was written";
    }
    EXPECT_EQ(dir.readFile("data/users.cfg"), "bob\r\ncarol\r\n") << "a failed import listed a name";
    EXPECT_EQ(dir.readFile("data/bob/bob.key"), "\x01") << "a refused command changed a key";
    EXPECT_FALSE(dir.exists("data/dave")) << "a refused import left a folder";

    const qbtest::CliRun full = cli({"encrypt", "-r", "bob", dir.file("msg")}, "", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "quillbox-cli: standard output: No space left on device\n");
}

TEST_F(CliTest, ImportWritesTheFilesTheWindowsImportKeyWrites)
{
    const struct
    {
        const char* name;
        std::string source;
    } rows[] = {{"plain key", randomBytes(1000, 11, 9)}, {"26 ends its data", std::string("KEY\x1a", 4) + "more"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        qbtest::TempDir window;
        qbtest::TempDir command;
        window.writeFile("source.key", row.source);
        {
            qb::Session session;
            session.currentdirectory = window.path();
            qbtest::ScriptedMainView view;
            qb::CorrespondentCommands commands(session, view);
            // The missing list is created on the way, as the command line does it unasked.
            view.scripted.answerInput("dave").answerMessage(qb::Answer::Ok);
            view.scripted.acceptOpen(window.file("source.key")).answerMessage(qb::Answer::Ok);
            commands.ImportKey1Click();
        }
        command.writeFile("source.key", row.source);
        const qbtest::CliRun run = qbtest::runCli(
            {"--data", command.file("data"), "import", "dave", command.file("source.key")}, command.path());
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(command.readFile("data/users.cfg"), window.readFile("users.cfg"));
        EXPECT_EQ(command.readFile("data/dave/dave.key"), window.readFile("dave/dave.key"));
    }
}

TEST_F(CliTest, AddMakesThePrivateDataDirectoryAndAGeneratedKeyAsNewRecipiantDoes)
{
    const std::string fresh = dir.file("new/data");
    const qbtest::CliRun run = qbtest::runCli({"--data", fresh, "add", "alice"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat info
    {
    };
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(qbtest::readBytes(fresh + "/users.cfg"), "alice\r\n");
    EXPECT_EQ(qbtest::readBytes(fresh + "/alice/alice.key").size(), 1000u);
}

TEST_F(CliTest, KeysAreCheckedByFingerprintHandedOverWholeAndReplacedOnlyByForce)
{
    // Fingerprints from Python's hashlib: SHA-256 of "abc", and of the single byte 26 an empty key acts as.
    const std::string key = std::string("abc\x1a", 4) + "after the end of data";
    setKey(key);
    dir.writeFile("data/users.cfg", "bob\r\ncarol\r\ndave\r\n");
    dir.writeFile("data/dave/dave.key", "");
    EXPECT_EQ(cli({"fingerprint", "bob"}).out, "BA78 16BF 8F01 CFEA\n");
    EXPECT_EQ(cli({"recipients", "--long"}).out,
              "bob\tBA78 16BF 8F01 CFEA\t3\tclassic\ncarol\t(no key)\ndave\t58F7 B078 0592 032E\t0\tclassic\n");

    dir.writeFile("given.key", "an older copy");
    EXPECT_EQ(cli({"export", "bob", "-o", dir.file("given.key")}).status, 0);
    EXPECT_EQ(dir.readFile("given.key"), key);
    EXPECT_EQ(cli({"export", "bob"}).out, key);

    const qbtest::CliRun forced = cli({"add", "--force", "bob"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(dir.readFile("data/bob/bob.key").size(), 1000u);
    EXPECT_EQ(dir.readFile("data/users.cfg"), "bob\r\ncarol\r\ndave\r\n") << "a name listed twice";
}

TEST_F(CliTest, StrongMessagesGoBothWaysAndTheSettingGuardsTheKey)
{
    setKey(std::string(1000, '\x05'));
    EXPECT_EQ(cli({"cipher", "bob"}).out, "classic\n");
    const qbtest::CliRun kept = cli({"cipher", "bob", "strong"});
    EXPECT_NE(kept.err.find("bob's key is kept"), std::string::npos) << kept.err;
    EXPECT_EQ(dir.readFile("data/bob/bob.cipher"), "strong\n");
    EXPECT_NE(cli({"recipients", "--long"}).out.find("\t1000\tstrong\n"), std::string::npos);

    // Made by quillbox-cli, read back whole; cut short, it gives out only the pieces verified and fails.
    const std::string plain(200000, 'p');
    dir.writeFile("plain", plain);
    ASSERT_EQ(cli({"encrypt", "-r", "bob", "-o", dir.file("sealed"), dir.file("plain")}).status, 0);
    const std::string sealed = dir.readFile("sealed");
    EXPECT_TRUE(qb::isStrongMessage(sealed));
    EXPECT_EQ(cli({"decrypt", "-r", "bob", dir.file("sealed")}).out, plain);
    dir.writeFile("cut", sealed.substr(0, sealed.size() - 1));
    const qbtest::CliRun cut = cli({"decrypt", "-r", "bob", dir.file("cut")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.out, plain.substr(0, 3 * qb::kStrongPiece));
    dir.writeFile("old", "old");
    EXPECT_EQ(cli({"decrypt", "-r", "bob", "-o", dir.file("old"), dir.file("cut")}).status, 1);
    EXPECT_EQ(dir.readFile("old"), "old") << "replaced before the whole was verified";

    // While bob is set to strong, his key makes and takes no classic message unasked.
    EXPECT_EQ(cli({"encrypt", "-r", "bob", "--classic", dir.file("msg")}).status, 1);
    dir.writeFile("classic", windowEncrypt("a message", std::string(1000, '\x05')).first);
    const qbtest::CliRun suspect = cli({"decrypt", "-r", "bob", dir.file("classic")});
    EXPECT_EQ(suspect.err,
              "quillbox-cli: bob uses strong encryption; the input is classic; use --classic to decrypt it anyway\n");
    EXPECT_EQ(cli({"decrypt", "-r", "bob", "--classic", dir.file("classic")}).out, "a message");

    // Mail text carries strong messages too, and reading one turns strong on where it was off.
    dir.writeFile("mail", cli({"encrypt", "-r", "bob", "--armor", dir.file("msg")}).out);
    EXPECT_EQ(cli({"cipher", "bob", "classic"}).status, 0);
    EXPECT_FALSE(dir.exists("data/bob/bob.cipher"));
    const qbtest::CliRun read = cli({"decrypt"}, dir.file("mail"));
    EXPECT_EQ(read.out, "a message");
    EXPECT_EQ(read.err, "quillbox-cli: decrypted with bob's key\nquillbox-cli: strong encryption is now on for bob\n");
    EXPECT_EQ(cli({"cipher", "bob"}).out, "strong\n");
}

// The program's own files are never an output, under any name: a key, the list, a hard link to a key, or standard
// output a shell opened onto a key.
TEST_F(CliTest, TheProgramsOwnFilesAreNoOutputs)
{
    setKey("bob's key");
    ASSERT_EQ(::link(dir.file("data/bob/bob.key").c_str(), dir.file("hard.key").c_str()), 0);
    const struct
    {
        const char* what;
        Arguments arguments;
        std::string output; // standard output, opened for appending
        std::string refused;
    } rows[] = {
        {"a key",
         {"encrypt", "-r", "bob", "-o", dir.file("data/bob/bob.key"), dir.file("msg")},
         "",
         dir.file("data/bob/bob.key")},
        {"the list",
         {"decrypt", "-r", "bob", "-o", dir.file("data/users.cfg"), dir.file("msg")},
         "",
         dir.file("data/users.cfg")},
        {"a hard link to a key",
         {"encrypt", "-r", "bob", "-o", dir.file("hard.key"), dir.file("msg")},
         "",
         dir.file("hard.key")},
        {">> onto a key", {"export", "bob"}, dir.file("data/bob/bob.key"), dir.file("data/bob/bob.key")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Arguments arguments = row.arguments;
        arguments.insert(arguments.begin(), {"--data", data()});
        const qbtest::CliRun run = qbtest::runCli(arguments, dir.path(), "", row.output, true);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "quillbox-cli: " + row.refused + " is one of Quillbox's own files\n");
        EXPECT_EQ(dir.readFile("data/bob/bob.key"), "bob's key");
        EXPECT_EQ(dir.readFile("data/users.cfg"), "bob\r\ncarol\r\n");
    }
}

// Lists that are no files are said to be what they are, and a line no name can be is skipped, never cut into one.
TEST_F(CliTest, OddListFilesAreSaidForWhatTheyAre)
{
    const struct
    {
        const char* what;
        const char* list;
        void (*make)(const std::string& path);
        Arguments arguments;
        std::string reason;
    } rows[] = {
        {"mail.cfg a FIFO",
         "mail.cfg",
         [](const std::string& path) { ::mkfifo(path.c_str(), 0600); },
         {"programs"},
         "a FIFO, not a file"},
        {"mail.cfg a folder",
         "mail.cfg",
         [](const std::string& path) { ::mkdir(path.c_str(), 0700); },
         {"programs"},
         "Is a directory"},
        {"mail.cfg a link",
         "mail.cfg",
         [](const std::string& path) { ::symlink("/etc/hostname", path.c_str()); },
         {"programs"},
         "a symbolic link that is not followed here"},
        {"users.cfg a FIFO",
         "users.cfg",
         [](const std::string& path) {
             std::filesystem::remove(path);
             ::mkfifo(path.c_str(), 0600);
         },
         {"recipients"},
         "a FIFO, not a file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = data() + "/" + row.list;
        row.make(path);
        const qbtest::CliRun run = cli(row.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "quillbox-cli: " + path + ": " + row.reason + "\n");
        std::filesystem::remove(path);
    }
    dir.writeFile("data/users.cfg", "bob\r\n" + std::string(256, 'x') + "\r\n" + std::string(255, 'y') + "\r\n");
    const qbtest::CliRun run = cli({"recipients", "--long"});
    EXPECT_EQ(run.out, "bob\t(no key)\n" + std::string(255, 'y') + "\t(no key)\n");
    EXPECT_EQ(run.err, "quillbox-cli: users.cfg: line 2 is longer than a name can be; skipped\n");
}

// The lists and the data directory an older version left readable by others become their owner's alone the first
// time a command uses them, as keys and correspondents' folders already do.
TEST_F(CliTest, ListsAndTheDataDirectoryBecomePrivateOnFirstUse)
{
    dir.writeFile("data/mail.cfg", "mutt\r\nmutt\r\n");
    for (const auto& [path, mode] :
         {std::pair{data(), 0755}, {data() + "/users.cfg", 0644}, {data() + "/mail.cfg", 0644}})
        ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
    ASSERT_EQ(cli({"recipients"}).status, 0);
    ASSERT_EQ(cli({"programs"}).status, 0);
    for (const auto& [path, mode] :
         {std::pair{data(), 0700}, {data() + "/users.cfg", 0600}, {data() + "/mail.cfg", 0600}}) {
        struct stat info
        {
        };
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, static_cast<mode_t>(mode)) << path;
    }
}

TEST_F(CliTest, ListsNamesAndMailProgramsInTheirFilesOrder)
{
    dir.writeFile("data/users.cfg", "zoe\r\nbob\x1b[2J\tx\r\n");
    dir.writeFile("data/mail.cfg", "mutt\r\nmutt -y\r\nelm\r\n/usr/bin/elm\r\n");
    EXPECT_EQ(cli({"recipients"}).out, "zoe\nbob\\x1B[2J\\x09x\n") << "control characters reached the terminal";
    EXPECT_EQ(cli({"programs"}).out, "mutt\tmutt -y\nelm\t/usr/bin/elm\n");
    dir.writeFile("data/users.cfg", "");
    EXPECT_EQ(cli({"recipients"}).out, "");
}

TEST(CliTogether, ConcurrentAddsListEachNameOnceWithOneWholeKey)
{
    const struct
    {
        const char* name;
        int runs;
        bool sameName;
    } rows[] = {{"distinct names", 2 * 25, false}, {"the same name: one key, the others refused", 8, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        qbtest::TempDir dir;
        const std::string data = dir.file("data");
        std::vector<pid_t> runs;
        std::set<std::string> added;
        for (int i = 0; i < row.runs; ++i) {
            const std::string name = row.sameName ? "ann" : (i % 2 ? "a" : "b") + std::to_string(i / 2);
            runs.push_back(qbtest::startCli({"--data", data, "add", name}));
            added.insert(name);
        }
        int succeeded = 0;
        for (const pid_t run : runs)
            succeeded += qbtest::waitForCli(run) == 0;
        EXPECT_EQ(succeeded, row.sameName ? 1 : row.runs) << "a key replaced without --force, or an add refused";
        const std::string listed = qbtest::runCli({"--data", data, "recipients"}, dir.path()).out;
        std::vector<std::string> names;
        for (std::size_t start = 0, end; (end = listed.find('\n', start)) != std::string::npos; start = end + 1) {
            names.push_back(listed.substr(start, end - start));
            EXPECT_EQ(qbtest::readBytes(data + "/" + names.back() + "/" + names.back() + ".key").size(), 1000u);
        }
        EXPECT_EQ(names.size(), added.size()) << "a name listed twice or not at all";
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), added);
    }
}

// Run as root, as CI is: root can give a link to another user. Unprivileged, those rows cannot be laid, and the test
// says it skipped them.
TEST_F(CliTest, OutputThroughALinkIsFollowedOnlyWhereTheProtectedSymlinksRuleWould)
{
    setKey("\x01");
    const struct
    {
        const char* name;
        mode_t folderMode;
        uid_t linkOwner; // 0: the caller
        bool followed;
    } rows[] = {
        {"own link in a sticky folder anyone may write to", 01777, 0, true},
        {"another user's link in a sticky folder anyone may write to", 01777, 65534, false},
        {"another user's link in a folder of the caller's", 0755, 65534, true},
    };
    bool skipped = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.linkOwner != 0 && ::geteuid() != 0) {
            skipped = true;
            continue;
        }
        std::filesystem::remove_all(dir.file("shared"));
        dir.makeFolder("shared");
        ASSERT_EQ(::chmod(dir.file("shared").c_str(), row.folderMode), 0);
        dir.writeFile("target", "old");
        const std::string link = dir.file("shared/out");
        ASSERT_EQ(::symlink(dir.file("target").c_str(), link.c_str()), 0);
        if (row.linkOwner != 0) {
            ASSERT_EQ(::lchown(link.c_str(), row.linkOwner, row.linkOwner), 0);
        }
        const qbtest::CliRun run = cli({"encrypt", "-r", "bob", "-o", link, dir.file("msg")});
        EXPECT_EQ(run.status, row.followed ? 0 : 1) << run.err;
        EXPECT_EQ(run.err.rfind("quillbox-cli: " + link + ": ", 0) == 0, !row.followed) << run.err;
        EXPECT_EQ(dir.readFile("target") == "old", !row.followed);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
    if (skipped)
        GTEST_SKIP() << "another user's link can be laid only by root";
}

TEST_F(CliTest, FilesAndOutputsOfEveryKindAreReadAndWrittenAsTheyCome)
{
    setKey(randomBytes(1000, 21, 9));
    dir.writeFile("message", randomBytes(200000, 22));
    const std::string expected = windowEncrypt(dir.readFile("message"), dir.readFile("data/bob/bob.key")).first;
    const std::string run = "\"$CLI\" --data \"$DATA\" encrypt -r bob ";
    const struct
    {
        const char* name;
        std::string script; // bash, in the test's folder; its standard output must be the ciphertext
    } rows[] = {
        {"a pipe named as /dev/stdin", "cat message | " + run + "/dev/stdin"},
        {"a pipe from a process substitution", run + "<(cat message)"},
        {"a FIFO", "mkfifo in && { cat message > in & } && " + run + "in"},
        {"standard input as -", run + "- < message"},
        {"/dev/null as OUT, then - as OUT", run + "-o /dev/null message && " + run + "-o - message"},
        {"a FIFO as OUT", "mkfifo out && { " + run + "-o out message & } && cat out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(dir.file("in"));
        std::filesystem::remove(dir.file("out"));
        dir.writeFile("script", row.script);
        const std::string command = "cd '" + dir.path() + "' && CLI='" + QUILLBOX_CLI + "' DATA='" + data() +
                                    "' bash script > result 2> errors";
        EXPECT_EQ(std::system(command.c_str()), 0) << dir.readFile("errors");
        EXPECT_TRUE(dir.readFile("result") == expected) << "not the window's ciphertext";
    }
}

TEST_F(CliTest, TextModeGivesTheBytesTheWindowSavesForTheSameText)
{
    // The name as the window stores it, and the text as its editor saves it: windows-1252 with CR LF.
    dir.writeFile("data/users.cfg", "Jos\xE9\r\n");
    dir.writeFile("data/Jos\xE9/Jos\xE9.key", randomBytes(1000, 23, 9));
    const std::string utf8 = "caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9Cquotes\xE2\x80\x9D\nline 2\r\n\n";
    const std::string windowsText = "caf\xE9 \x96 \x93quotes\x94\r\nline 2\r\n\r\n";
    dir.writeFile("text", utf8);
    const qbtest::CliRun encrypted =
        cli({"encrypt", "-t", "-r", "Jos\xC3\xA9", "-o", dir.file("out"), dir.file("text")});
    EXPECT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_TRUE(dir.readFile("out") == windowEncrypt(windowsText, dir.readFile("data/Jos\xE9/Jos\xE9.key")).first);
    EXPECT_EQ(cli({"decrypt", "--text", "-r", "Jos\xC3\xA9", dir.file("out")}).out,
              "caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9Cquotes\xE2\x80\x9D\nline 2\n\n");
    EXPECT_EQ(cli({"recipients"}).out, "Jos\xC3\xA9\n");

    dir.writeFile("text", "one\ntwo \xE2\x98\x83\n");
    const qbtest::CliRun refused = cli({"encrypt", "-t", "-r", "Jos\xC3\xA9", dir.file("text")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "quillbox-cli: " + dir.file("text") + ": line 2 holds a character that cannot be saved: U+2603\n");
}

} // namespace

// The manual page's synopsis and the usage text both come from the command table: a command added, renamed or given
// another option shows in one and must show in the other.
TEST(CliUsage, TheManualPagesSynopsisNamesEachCommandAsTheUsageTextDoes)
{
    qbtest::TempDir dir;
    const std::string help = qbtest::runCli({"--help"}, dir.path()).out;
    std::vector<std::string> usage;
    std::istringstream helpLines(
        help.substr(help.find("Commands:\n"), help.find("\nOptions:") - help.find("Commands:")));
    for (std::string line; std::getline(helpLines, line);) {
        if (line.size() <= 2 || line.rfind("  ", 0) != 0 || line[2] == ' ')
            continue;
        // A synopsis short enough has its description beside it, from the 25th column.
        std::string head = line.size() > 24 && line.compare(22, 2, "  ") == 0 ? line.substr(2, 20) : line.substr(2);
        usage.push_back(head.erase(head.find_last_not_of(' ') + 1));
    }
    std::vector<std::string> synopsis;
    std::ifstream page(QUILLBOX_CLI_MANUAL);
    ASSERT_TRUE(page) << QUILLBOX_CLI_MANUAL;
    const std::string prefix = "[--data DIR] ";
    for (std::string line; std::getline(page, line) && line.rfind(".SH DESCRIPTION", 0) != 0;) {
        for (const std::string font : {"\\fB", "\\fR", "\\fI"}) {
            for (std::size_t at; (at = line.find(font)) != std::string::npos;)
                line.erase(at, font.size());
        }
        for (std::size_t at; (at = line.find("\\-")) != std::string::npos;)
            line.erase(at, 1);
        if (line.rfind(prefix, 0) == 0)
            synopsis.push_back(line.substr(prefix.size()));
    }
    EXPECT_EQ(synopsis, usage);
    EXPECT_EQ(usage.size(), 9u);
}
