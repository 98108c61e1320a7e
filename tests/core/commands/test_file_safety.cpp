#include "CommandRunner.h"
#include "CorrespondentCommands.h"
#include "FailingFileOperations.h"
#include "MailPrograms.h"
#include "MessageCipher.h"
#include "MessageFiles.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qb::Answer;
using Texts = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

const std::string kPine = "Pine\r\n/usr/bin/pine\r\n";
const std::string kDenied = "File access denied.";
const std::string kReplaceBob =
    "bob already has a key. Replace it? Messages encrypted with the old key can no longer be decrypted.";

enum class Command { NewList, NewKey, ImportKey, NewProgramList, AddProgram, Encrypt, Decrypt, SaveAs, Open };

// Every entry below `root`, links not followed: a file's bytes, "/" for a folder, "|" for a FIFO, "-> X" for a link.
Tree snapshot(const std::string& root)
{
    Tree tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const fs::file_status status = entry.symlink_status();
        std::string& value = tree[entry.path().lexically_relative(root).string()];
        if (fs::is_symlink(status))
            value = "-> " + fs::read_symlink(entry.path()).string();
        else if (fs::is_directory(status))
            value = "/";
        else
            value = fs::is_fifo(status) ? "|" : qbtest::readBytes(entry.path().string());
    }
    return tree;
}

// Names a replacement or Encrypt leaves behind when it is not cleaned up.
bool hasLeftovers(const Tree& tree)
{
    for (const auto& [name, value] : tree) {
        if (name.find(".quillbox-") != std::string::npos || name.find(".tmp") != std::string::npos)
            return true;
    }
    return false;
}

// A folder `length` bytes long (made of components up to 200 bytes) beginning with `base`.
std::string folderOfLength(std::string path, std::size_t length)
{
    while (path.size() < length) {
        const std::size_t left = length - path.size() - 1;
        path += "/" + std::string(left > 250 ? 200 : left, 'd');
    }
    fs::create_directories(path);
    return path;
}

// A session over `data` with the main window and the Mail Programs window; the editor holds "plain" and the path
// field names bob's message.
struct Desk
{
    explicit Desk(const std::string& data)
    {
        session.currentdirectory = data;
        session.currentuser = "bob";
        view.editor.type("plain");
        view.pathField.setText(data + "/bob/newmail.txt");
    }
    ~Desk() { EXPECT_TRUE(session.io.openFiles().empty()) << "a command left a file open"; }

    // Answers the input box with `name` (bob, or Mutt for Add Program), the file dialog with `file`, the question
    // whether to replace a key that is there (bob's, mostly) and the overwrite question with Yes, and every other box
    // in `boxes` with OK.
    void run(Command command, const std::string& file = "", const Texts& boxes = {}, std::string name = "")
    {
        if (name.empty())
            name = command == Command::AddProgram ? "Mutt" : "bob";
        if (command == Command::NewKey || command == Command::ImportKey || command == Command::AddProgram)
            view.scripted.answerInput(name);
        if (command == Command::NewKey && qb::CorrespondentFiles(session).hasKey(session.correspondent(name)))
            view.scripted.answerMessage(Answer::Yes);
        if (!file.empty())
            command == Command::SaveAs ? view.scripted.acceptSave(file) : view.scripted.acceptOpen(file);
        for (const std::string& box : boxes) {
            if (box.find(" already has a key. Replace it?") == std::string::npos)
                view.scripted.answerMessage(box.rfind("OK to overwrite", 0) == 0 ? Answer::Yes : Answer::Ok);
        }
        qb::runCommand(view.scripted, [&] {
            switch (command) {
            case Command::NewList:
                return correspondents.newrecipiantfile();
            case Command::NewKey:
                return correspondents.NewKey1Click();
            case Command::ImportKey:
                return correspondents.ImportKey1Click();
            case Command::NewProgramList:
                return programs.newprogramfile();
            case Command::AddProgram:
                return programs.AddProgram1Click();
            case Command::Encrypt:
                return cipher.Encrypt1Click();
            case Command::Decrypt:
                return cipher.Decrypt1Click();
            case Command::SaveAs:
                return files.SaveAs1Click();
            case Command::Open:
                return files.Open1Click();
            }
        });
    }
    Texts boxes() const { return view.scripted.boxTexts(); }
    Texts errors() const { return view.scripted.errors(); }

    qb::Session session;
    qbtest::ScriptedMainView view;
    qbtest::ScriptedMailProgramsView programsView;
    qbtest::RecordingProcessStarter starter;
    qb::CorrespondentCommands correspondents{session, view};
    qb::MailPrograms programs{session, view.scripted, programsView, starter};
    qb::MessageCipher cipher{session, view};
    qb::MessageFiles files{session, view};
};

class FileSafetyTest : public ::testing::Test
{
protected:
    static std::string made(const std::string& path)
    {
        fs::create_directories(path);
        return path;
    }
    // The data directory as a user has it: both lists, bob with his key and a ciphertext ("Hello" under the key);
    // beside it a folder of the user's own holding one more ciphertext.
    void lay() const
    {
        for (const std::string& folder : {data, outside}) {
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                fs::remove_all(entry.path());
        }
        dir.writeFile("data/users.cfg", "bob\r\n");
        dir.writeFile("data/mail.cfg", kPine);
        dir.makeFolder("data/bob");
        dir.makeFolder("data/amy");
        dir.writeFile("data/bob/bob.key", "\x01");
        dir.writeFile("data/bob/newmail.txt", "Idmmn");
        dir.writeFile("outside/target", "Idmmn");
    }

    qbtest::TempDir dir;
    const std::string data = made(dir.file("data"));
    const std::string outside = made(dir.file("outside"));
    qbtest::ScopedWorkingDirectory cwd{data};
};

TEST_F(FileSafetyTest, NoSymbolicLinkIsFollowedAmongTheProgramsOwnFiles)
{
    const std::string message = data + "/bob/newmail.txt";
    const struct
    {
        const char* link; // under the temporary folder, to `to`
        const char* to;
        Command command;
        std::string path;  // the path field
        std::string error; // none: the command succeeds and writes the editor's text decrypted to the target
    } rows[] = {
        {"data/users.cfg", "outside/target", Command::NewList, message, kDenied},
        {"data/users.cfg", "outside/target", Command::NewKey, message, kDenied},
        {"data/users.cfg", "outside/target", Command::ImportKey, message, kDenied},
        {"data/mail.cfg", "outside/target", Command::NewProgramList, message, kDenied},
        {"data/mail.cfg", "outside/target", Command::AddProgram, message, kDenied},
        {"data/bob", "outside", Command::NewKey, message, kDenied},
        {"data/bob", "outside", Command::Decrypt, message, kDenied},
        {"data/bob/bob.key", "outside/target", Command::NewKey, message, kDenied},
        {"data/bob/bob.key", "outside/target", Command::ImportKey, message, kDenied},
        {"data/bob/bob.key", "outside/target", Command::Decrypt, message, kDenied},
        {"data/bob/newmail.txt", "outside/target", Command::Encrypt, message, "Cannot create file " + message + "."},
        {"data/bob/newmail.txt", "outside/target", Command::Decrypt, message, kDenied},
        {"data/bob/newmail.tmp", "outside/target", Command::Encrypt, message, kDenied},
        {"data/Untitled", "outside/target", Command::Decrypt, "Untitled", kDenied},
        {"data/Untitled", "outside/target", Command::Encrypt, "Untitled", "Cannot create file Untitled."},
        // A link the user picked outside the data directory is replaced at its target.
        {"outside/link.txt", "outside/target", Command::Decrypt, outside + "/link.txt", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.link) + " for command " + std::to_string(static_cast<int>(row.command)));
        lay();
        fs::remove_all(dir.file(row.link));
        fs::create_symlink(dir.file(row.to), dir.file(row.link));
        Tree expected = snapshot(outside);
        expected["target"] = row.error.empty() ? "qm`ho" : "Idmmn"; // "plain" decrypted, or as it was

        Desk d(data);
        d.view.pathField.setText(row.path);
        // A file of the user's that the editor does not show is replaced only once they say so.
        if (row.error.empty())
            d.view.scripted.answerMessage(qb::Answer::Yes);
        d.run(row.command);
        EXPECT_EQ(d.errors(), row.error.empty() ? Texts{} : Texts{row.error});
        EXPECT_EQ(snapshot(outside), expected) << "written outside the data directory";
        EXPECT_TRUE(fs::is_symlink(dir.file(row.link)));
    }
}

TEST_F(FileSafetyTest, FifosDevicesAndFoldersAreRefusedWithoutWaiting)
{
    enum Kind { Fifo, Device, Folder };
    const struct
    {
        const char* role;
        Command command;
        const char* at; // where the FIFO or folder is made; a device is /dev/zero
        bool asPath;    // the path field names it, else the file dialog does
        Texts boxes;
        const char* error; // "%" stands for its name
    } rows[] = {
        {"message to encrypt", Command::Encrypt, "unusual", true, {}, "Cannot create file %."},
        {"message to decrypt", Command::Decrypt, "unusual", true, {}, "File access denied."},
        {"key", Command::Decrypt, "bob/bob.key", false, {"Please select a Recipiant/Sender!"}, ""},
        // An import source that cannot be read ends the command silently, with no key.
        {"import source", Command::ImportKey, "unusual", false, {}, ""},
        {"Save As source", Command::SaveAs, "unusual", true, {}, "File access denied."},
        {"Open source", Command::Open, "unusual", false, {}, "Cannot open file %."},
    };
    for (const auto& row : rows) {
        for (const Kind kind : {Fifo, Device, Folder}) {
            SCOPED_TRACE(std::string(row.role) + " of kind " + std::to_string(kind));
            if (kind == Device && std::string(row.at) == "bob/bob.key")
                continue; // no device can be made there without privileges
            lay();
            fs::remove_all(row.at);
            if (kind == Fifo) {
                ASSERT_EQ(::mkfifo(row.at, 0600), 0);
            } else if (kind == Folder) {
                fs::create_directory(row.at);
            }
            const std::string name = kind == Device ? "/dev/zero" : row.at;
            const Tree before = snapshot(data);

            Desk d(data);
            if (row.asPath)
                d.view.pathField.setText(name);
            // Save As copies the file when the editor shows it as a command left it.
            if (row.command == Command::SaveAs)
                d.session.shownMessage.showFile(d.view.editor, name, std::nullopt);
            const bool chooses = !row.asPath && row.command != Command::Decrypt;
            d.run(row.command, row.command == Command::SaveAs ? "copy.txt" : chooses ? name : "", row.boxes, "amy");
            std::string error = row.error;
            if (const std::size_t at = error.find('%'); at != std::string::npos)
                error.replace(at, 1, name);
            EXPECT_EQ(d.boxes(), row.boxes);
            EXPECT_EQ(d.errors(), error.empty() ? Texts{} : Texts{error});
            EXPECT_EQ(snapshot(data), before);
            EXPECT_EQ(d.view.editor.text(), "plain");
        }
    }
}

// Sets the process's umask for the test's lifetime.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask) : m_previous(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

mode_t modeOf(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST_F(FileSafetyTest, WhatTheDataDirectoryHoldsIsTheOwnersAloneWhateverTheUmask)
{
    const ScopedUmask usual(022);
    ASSERT_EQ(::chmod(data.c_str(), 0755), 0);
    // A folder and key as an older version left them, readable by others.
    dir.writeFile("data/amy/amy.key", "\x01");
    ASSERT_EQ(::chmod(dir.file("data/amy").c_str(), 0755) | ::chmod(dir.file("data/amy/amy.key").c_str(), 0644), 0);
    {
        Desk d(data);
        d.run(Command::NewList, "", {"New User File created!"});
        d.run(Command::NewKey, "", {"New Directory and Key has been created for bob"});
        d.run(Command::Encrypt);
        d.run(Command::Decrypt);
        d.session.currentuser = "amy";
        d.view.pathField.setText(data + "/amy/newmail.txt");
        d.run(Command::Encrypt);
        d.run(Command::SaveAs, outside + "/saved");
        EXPECT_EQ(d.errors(), Texts{});
    }
    // Encrypt ended at each of its changes in turn: whatever temporary file it leaves is its owner's alone.
    std::set<mode_t> temporaryModes;
    for (std::uint64_t k = 1, completed = 0; !completed && k < 100; ++k) {
        const pid_t child = ::fork();
        if (child == 0) {
            qbtest::FailingFileOperations crashing;
            crashing.endAtChange(k);
            Desk d(data);
            d.session.io.useFileOperations(crashing);
            d.run(Command::Encrypt);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        completed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(data + "/bob")) {
            if (const std::string name = entry.path().filename(); name != "bob.key" && name != "newmail.txt") {
                temporaryModes.insert(modeOf(entry.path()));
                fs::remove(entry.path());
            }
        }
    }
    const struct
    {
        const char* what;
        std::string path;
        mode_t mode;
    } rows[] = {
        {"a new correspondent's folder", data + "/bob", 0700},
        {"its key", data + "/bob/bob.key", 0600},
        {"users.cfg", data + "/users.cfg", 0600},
        {"a message after Decrypt", data + "/bob/newmail.txt", 0600},
        {"an older folder, once used", data + "/amy", 0700},
        {"an older key, once used", data + "/amy/amy.key", 0600},
        {"Save As outside the data directory, as the umask says", outside + "/saved", 0644},
    };
    for (const auto& row : rows)
        EXPECT_EQ(modeOf(row.path), row.mode) << row.what;
    EXPECT_EQ(temporaryModes, std::set<mode_t>{0600}) << "temporary files at Encrypt's crash points";
}

TEST(LongNames, ACorrespondentWhoseFilesWouldNotFitIsRefusedBeforeAnythingIsWritten)
{
    const struct
    {
        const char* what;
        std::size_t dataLength; // 0: a short data directory
        std::size_t nameLength;
        Command command;
        bool accepted;
    } rows[] = {
        {"key name of 256 bytes", 0, 252, Command::NewKey, false},
        {"key name of 256 bytes, imported", 0, 252, Command::ImportKey, false},
        {"key name of 255 bytes", 0, 251, Command::NewKey, true},
        {"key path of 4096 bytes", 3690, 200, Command::NewKey, false},
        {"key path of 4095 bytes", 3689, 200, Command::NewKey, true},
        {"message path of 4096 bytes", 4082, 1, Command::NewKey, false},
        {"message path of 4095 bytes", 4081, 1, Command::NewKey, true},
    };
    qbtest::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string data = folderOfLength(dir.file(std::to_string(&row - rows)), row.dataLength);
        qbtest::writeBytes(data + "/users.cfg", "");
        const Tree before = snapshot(data);
        const std::string name(row.nameLength, 'n');
        const Texts created = {"New Directory and Key has been created for " + name};

        Desk d(data);
        d.run(row.command, "", row.accepted ? created : Texts{}, name);
        EXPECT_EQ(d.errors(), row.accepted ? Texts{} : Texts{"Invalid filename."});
        EXPECT_EQ(d.boxes(), row.accepted ? created : Texts{});
        if (row.accepted) {
            EXPECT_EQ(qbtest::readBytes(data + "/" + name + "/" + name + ".key").size(), 1000u);
            EXPECT_EQ(qbtest::readBytes(data + "/users.cfg"), name + "\r\n");
        } else {
            EXPECT_EQ(snapshot(data), before);
        }
    }
}

// Run unprivileged too (PermissionChecksUnprivileged): root may read any file, so those rows skip as root.
TEST_F(FileSafetyTest, AListThatExistsButCannotBeUsedIsNeverRecreated)
{
    enum Kind { Folder, Unreadable, Held };
    const struct
    {
        const char* list;
        Command command;
    } rows[] = {
        {"users.cfg", Command::NewList},       {"users.cfg", Command::NewKey},    {"users.cfg", Command::ImportKey},
        {"mail.cfg", Command::NewProgramList}, {"mail.cfg", Command::AddProgram},
    };
    bool skipped = false;
    for (const auto& row : rows) {
        for (const Kind kind : {Folder, Unreadable, Held}) {
            SCOPED_TRACE(std::string(row.list) + (kind == Folder ? " as a folder"
                                                  : kind == Held ? " held"
                                                                 : " unreadable"));
            if (kind == Unreadable && ::geteuid() == 0) {
                skipped = true;
                continue;
            }
            lay();
            if (kind == Folder) {
                fs::remove(row.list);
                fs::create_directory(row.list);
            }
            const Tree before = snapshot(data);
            if (kind == Unreadable) {
                ASSERT_EQ(::chmod(row.list, 0), 0);
            }
            // The entry's inode, kind and owner's bits: the same entry when the list was not re-created (others' bits
            // are taken from a list the first time it is used).
            const auto identity = [&] {
                struct stat info = {};
                ::lstat(row.list, &info);
                return std::pair(info.st_ino, info.st_mode & (S_IFMT | 0700));
            };
            const auto was = identity();
            // Another running copy, writing the list past the wait: busy is not broken.
            qb::PosixFile other(::open(row.list, O_RDWR | O_CLOEXEC));
            if (kind == Held) {
                ASSERT_EQ(other.lock(true), 0);
            }

            Desk d(data);
            d.session.io.waitForLocks(std::chrono::milliseconds(20));
            d.run(row.command, "", {}, "amy"); // amy has no key to ask about
            EXPECT_EQ(identity(), was) << "re-created";
            ::chmod(row.list, kind == Folder ? 0755 : 0644);
            EXPECT_EQ(d.errors(), Texts{kind == Held ? "I/O error 32." : kDenied});
            EXPECT_EQ(d.boxes(), Texts{});
            EXPECT_EQ(snapshot(data), before);
        }
    }
    if (skipped)
        GTEST_SKIP() << "the unreadable rows need an unprivileged user";
}

TEST_F(FileSafetyTest, AFailingWriteLeavesTheOldContentWholeAndNothingBehind)
{
    const struct
    {
        const char* what;
        Command command;
        const char* name;     // in the input box; "" for the usual one
        std::uint64_t failAt; // the write that fails
        int error;
        const char* chosen; // in the save or open dialog
        Texts boxes;
        std::string shown;
        const char* file;
        std::string old;
    } rows[] = {
        {"Decrypt's rewrite", Command::Decrypt, "", 1, ENOSPC, "", {}, "Disk full.", "bob/newmail.txt", "Idmmn"},
        {"Decrypt, device fault", Command::Decrypt, "", 1, EIO, "", {}, "I/O error 1005.", "bob/newmail.txt", "Idmmn"},
        {"Save As", Command::SaveAs, "", 1, ENOSPC, "copy", {"OK to overwrite copy"}, "Disk full.", "copy", "old copy"},
        {"Encrypt's ciphertext", Command::Encrypt, "", 1, ENOSPC, "", {}, "Disk full.", "bob/newmail.txt", "Idmmn"},
        {"Encrypt's ciphertext, device fault",
         Command::Encrypt,
         "",
         1,
         EIO,
         "",
         {},
         "Stream write error.",
         "bob/newmail.txt",
         "Idmmn"},
        {"New Recipiant's key", Command::NewKey, "", 1, ENOSPC, "", {kReplaceBob}, "Disk full.", "bob/bob.key", "\x01"},
        {"New Recipiant's record", Command::NewKey, "amy", 2, ENOSPC, "", {}, "Disk full.", "users.cfg", "bob\r\n"},
        {"Add Program's record",
         Command::AddProgram,
         "",
         1,
         ENOSPC,
         "/usr/bin/mutt",
         {},
         "Disk full.",
         "mail.cfg",
         kPine},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        lay();
        dir.writeFile("data/copy", "old copy");
        qbtest::FailingFileOperations failing;
        failing.failWrite(row.failAt, row.error);
        Desk d(data);
        d.session.io.useFileOperations(failing);
        d.run(row.command, row.chosen, row.boxes, row.name);
        EXPECT_EQ(d.boxes(), row.boxes);
        EXPECT_EQ(d.errors(), Texts{row.shown});
        EXPECT_EQ(dir.readFile(std::string("data/") + row.file), row.old);
        EXPECT_EQ(dir.readFile("data/users.cfg"), "bob\r\n");
        EXPECT_EQ(dir.readFile("data/mail.cfg"), kPine);
        EXPECT_FALSE(hasLeftovers(snapshot(data)));
    }
}

TEST_F(FileSafetyTest, AFileAnotherProcessHoldsForReadingIsReplacedOnlyOnceItLetsGoWithinTheWait)
{
    const std::string path = data + "/shared.txt";
    qbtest::writeBytes(path, "old");
    int held[2];
    int stop[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another copy of the program, reading the file until the parent is done.
        ::close(held[0]);
        ::close(stop[1]);
        qb::IoContext io;
        qb::TextFile reader(io);
        reader.assign(path);
        reader.reset();
        const char opened = io.ioResult() == 0 ? 'y' : 'n';
        char ignored = 0;
        const bool told = ::write(held[1], &opened, 1) == 1 && ::read(stop[0], &ignored, 1) >= 0;
        ::_exit(told ? 0 : 1);
    }
    ::close(held[1]);
    ::close(stop[0]);
    char opened = 0;
    const bool heard = ::read(held[0], &opened, 1) == 1;

    qb::Session session;
    session.currentdirectory = data;
    const auto replace = [&](std::chrono::milliseconds wait) {
        session.io.waitForLocks(wait);
        qb::TextFile writer(session.io);
        writer.assign(path);
        writer.rewrite();
        if (const int code = session.io.ioResult())
            return code;
        writer.writeString("new");
        writer.close();
        return session.io.ioResult();
    };
    const int pastTheWait = replace(std::chrono::milliseconds(20));
    const std::string contentWhileHeld = qbtest::readBytes(path);
    // The other process lets go only once the next replacement has found the file held: that one must wait.
    struct LetGoWhenRefused : qb::FileOperations
    {
        int stopWriter = -1;
        bool refused = false;
        int lock(int file, struct flock& range) override
        {
            const int result = FileOperations::lock(file, range);
            const int error = errno;
            if (result != 0 && error == EAGAIN && !refused) {
                refused = true;
                ::close(stopWriter);
            }
            errno = error;
            return result;
        }
    } letGo;
    letGo.stopWriter = stop[1];
    session.io.useFileOperations(letGo);
    const int withinTheWait = replace(std::chrono::seconds(10));
    if (!letGo.refused)
        ::close(stop[1]);
    int status = -1;
    ::waitpid(child, &status, 0);
    ::close(held[0]);

    ASSERT_TRUE(heard && opened == 'y') << "the other process could not open the file";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(pastTheWait, 32);
    EXPECT_EQ(contentWhileHeld, "old");
    EXPECT_TRUE(letGo.refused) << "the replacement never found the file held";
    EXPECT_EQ(withinTheWait, 0) << "not waited for";
    EXPECT_EQ(qbtest::readBytes(path), "new");
}

} // namespace
