#include "CommandRunner.h"
#include "CorrespondentCommands.h"
#include "FailingFileOperations.h"
#include "MailPrograms.h"
#include "MessageCipher.h"
#include "MessageFiles.h"
#include "PosixFile.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qb::Answer;
using Tree = std::map<std::string, std::string>;        // path under the data directory -> bytes, regular files only
using States = std::vector<std::optional<std::string>>; // whole contents a file may have; nullopt: no file

// Far more changes than any of these commands makes: reaching it means the command never completes.
constexpr std::uint64_t kMostCrashPoints = 10000;

std::string xorRepeating(const std::string& message, const std::string& key)
{
    std::string out = message;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
    return out;
}

// Letters only: no line break or end-of-data mark, and still no control byte once combined with a 0..9 key.
std::string letters(std::size_t size, unsigned seed)
{
    std::string text = qbtest::randomBytes(size, seed, 25);
    for (char& c : text)
        c = static_cast<char>('a' + c);
    return text;
}

const std::string kKey = qbtest::randomBytes(1000, 11, 9);
const std::string kPlaintext = letters(300 * 1024, 12); // several 64 KiB writes
const std::string kCiphertext = xorRepeating(kPlaintext, kKey);
const std::string kOldDraft = "an older draft";
const std::string kUsers = "alice\r\nbob\r\n";
const std::string kOldBobKey(1000, 'K');                         // outside 0..9, so never taken for a generated key
const std::string kImported = qbtest::randomBytes(5000, 13, 25); // no end-of-data mark: copied whole
const std::string kPrograms = "Pine\r\n/usr/bin/pine\r\nElm\r\n/usr/bin/elm\r\n";
const std::string kProgramPath = "/opt/mail/" + std::string(290, 'p');
const std::string kSaveSource = qbtest::randomBytes(300 * 1024, 14);
const std::string kOldTarget = "the target as it was";

bool isGeneratedKey(const std::string& key)
{
    return key.size() == 1000 &&
           key.find_first_not_of(std::string("\0\1\2\3\4\5\6\7\x08\x09", 10)) == std::string::npos;
}

bool isLeftoverTemporary(const std::string& path)
{
    const std::string leaf = fs::path(path).filename().string();
    return leaf == "newmail.tmp" || (leaf.rfind(".quillbox-", 0) == 0 && fs::path(leaf).extension() == ".new");
}

Tree readTree(const std::string& root)
{
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            tree[fs::relative(entry.path(), root).string()] = qbtest::readBytes(entry.path().string());
    }
    return tree;
}

// The data directory as prepared and as a crash left it. A row's check takes the files it judges; every other file
// must be as prepared, or a temporary file the command made.
struct Files
{
    Tree before, after;
    std::optional<std::string> take(const std::string& path)
    {
        before.erase(path);
        const auto found = after.find(path);
        if (found == after.end())
            return std::nullopt;
        std::string bytes = std::move(found->second);
        after.erase(found);
        return bytes;
    }
};

// "" when the file is one of the whole states allowed (nullopt: no file), else what is wrong.
std::string oneOf(const std::string& path, const std::optional<std::string>& actual, const States& allowed)
{
    for (const auto& state : allowed) {
        if (state == actual)
            return "";
    }
    return path + (actual ? " holds " + std::to_string(actual->size()) + " bytes that are" : " is missing, which is") +
           " none of the whole states allowed";
}

// A command's process: its session and windows built as the command tests build them.
struct Desk
{
    explicit Desk(const std::string& directory) : dir(directory)
    {
        session.currentdirectory = directory;
        view.correspondents.setSorted(true);
    }
    std::string file(const std::string& relative) const { return dir + "/" + relative; }

    std::string dir;
    qb::Session session;
    qbtest::ScriptedMainView view;
    qbtest::ScriptedDialogs& ask = view.scripted;
};

void prepareCipher(const qbtest::TempDir& dir, const std::string& message)
{
    dir.makeFolder("bob");
    dir.writeFile("bob/bob.key", kKey);
    dir.writeFile("bob/newmail.txt", message);
}

void prepareUsers(const qbtest::TempDir& dir)
{
    dir.makeFolder("alice");
    dir.writeFile("alice/alice.key", kKey);
    dir.makeFolder("bob");
    dir.writeFile("bob/bob.key", kOldBobKey);
    dir.writeFile("users.cfg", kUsers);
}

void runCipher(Desk& d, void (qb::MessageCipher::*command)(), const std::string& path, const std::string& text)
{
    d.session.currentuser = "bob";
    d.view.pathField.setText(path);
    if (!text.empty())
        d.view.editor.type(text);
    qb::MessageCipher cipher(d.session, d.view);
    (cipher.*command)();
}

void runCorrespondentCommand(Desk& d, void (qb::CorrespondentCommands::*command)())
{
    qb::CorrespondentCommands commands(d.session, d.view);
    (commands.*command)();
}

// A generated key for `name`, listed in users.cfg (once: a name listed already stays as it is) only once the key is
// whole.
std::string judgeNewKey(Files& files, bool completed, const std::string& name, const std::optional<std::string>& old)
{
    const std::string listed = kUsers.find(name + "\r\n") == std::string::npos ? kUsers + name + "\r\n" : kUsers;
    const std::optional<std::string> users = files.take("users.cfg");
    const std::optional<std::string> key = files.take(name + "/" + name + ".key");
    const bool isNew = key && isGeneratedKey(*key);
    if (std::string fault = oneOf("users.cfg", users, completed ? States{listed} : States{kUsers, listed});
        !fault.empty())
        return fault;
    if (key != old && !isNew)
        return "the key of " + name + " is neither its old key nor a whole generated one";
    if ((completed || listed != kUsers) && users == listed && !isNew)
        return name + " is listed without its whole new key";
    return "";
}

struct Row
{
    const char* name;
    void (*prepare)(const qbtest::TempDir& dir);
    void (*run)(Desk& d);
    // "" when the files hold whole states; `completed`: the command ran to its end, so only the final state holds.
    std::string (*judge)(Files& files, bool completed);
};

const Row kRows[] = {
    {"Encrypt", [](const qbtest::TempDir& dir) { prepareCipher(dir, kOldDraft); },
     [](Desk& d) { runCipher(d, &qb::MessageCipher::Encrypt1Click, d.file("bob/newmail.txt"), kPlaintext); },
     [](Files& files, bool completed) {
         return oneOf("bob/newmail.txt", files.take("bob/newmail.txt"),
                      completed ? States{kCiphertext} : States{kOldDraft, kPlaintext, kCiphertext});
     }},
    {"Decrypt", [](const qbtest::TempDir& dir) { prepareCipher(dir, kCiphertext); },
     [](Desk& d) {
         qb::MessageFiles(d.session, d.view).openfile(d.file("bob/newmail.txt"));
         runCipher(d, &qb::MessageCipher::Decrypt1Click, d.file("bob/newmail.txt"), "");
     },
     [](Files& files, bool completed) {
         return oneOf("bob/newmail.txt", files.take("bob/newmail.txt"),
                      completed ? States{kPlaintext} : States{kCiphertext, kPlaintext});
     }},
    {"Decrypt Untitled",
     [](const qbtest::TempDir& dir) {
         prepareCipher(dir, kOldDraft);
         dir.writeFile("Untitled", kOldDraft);
     },
     [](Desk& d) {
         qbtest::ScopedWorkingDirectory inData(d.dir);
         runCipher(d, &qb::MessageCipher::Decrypt1Click, "Untitled", kCiphertext);
     },
     [](Files& files, bool completed) {
         return oneOf("Untitled", files.take("Untitled"),
                      completed ? States{kPlaintext} : States{kOldDraft, kPlaintext});
     }},
    {"New Recipiant", prepareUsers,
     [](Desk& d) {
         d.ask.answerInput("carol").answerMessage(Answer::Ok);
         runCorrespondentCommand(d, &qb::CorrespondentCommands::NewKey1Click);
     },
     [](Files& files, bool completed) { return judgeNewKey(files, completed, "carol", std::nullopt); }},
    {"New Recipiant re-keying", prepareUsers,
     [](Desk& d) {
         d.ask.answerInput("bob").answerMessage(Answer::Yes).answerMessage(Answer::Ok);
         runCorrespondentCommand(d, &qb::CorrespondentCommands::NewKey1Click);
     },
     [](Files& files, bool completed) { return judgeNewKey(files, completed, "bob", kOldBobKey); }},
    {"Import Key",
     [](const qbtest::TempDir& dir) {
         prepareUsers(dir);
         dir.writeFile("received.bin", kImported);
     },
     [](Desk& d) {
         d.ask.answerInput("dave").acceptOpen(d.file("received.bin")).answerMessage(Answer::Ok);
         runCorrespondentCommand(d, &qb::CorrespondentCommands::ImportKey1Click);
     },
     [](Files& files, bool completed) {
         const std::string listed = kUsers + "dave\r\n";
         const std::optional<std::string> users = files.take("users.cfg");
         const std::optional<std::string> key = files.take("dave/dave.key");
         if (std::string fault = oneOf("users.cfg", users, completed ? States{listed} : States{kUsers, listed});
             !fault.empty())
             return fault;
         if (users == listed && key != kImported)
             return std::string("dave is listed without the whole imported key");
         return oneOf("dave/dave.key", key, {std::nullopt, kImported});
     }},
    {"Add Program", [](const qbtest::TempDir& dir) { dir.writeFile("mail.cfg", kPrograms); },
     [](Desk& d) {
         d.ask.answerInput("Mutt").acceptOpen(kProgramPath).answerMessage(Answer::Ok);
         qbtest::ScriptedMailProgramsView window;
         qbtest::RecordingProcessStarter starter;
         qb::MailPrograms(d.session, d.ask, window, starter).AddProgram1Click();
     },
     [](Files& files, bool completed) {
         const std::string added = kPrograms + "Mutt\r\n" + kProgramPath + "\r\n";
         return oneOf("mail.cfg", files.take("mail.cfg"), completed ? States{added} : States{kPrograms, added});
     }},
    {"New Recipiant File", prepareUsers,
     [](Desk& d) {
         d.ask.answerMessage(Answer::Yes).answerMessage(Answer::Ok);
         runCorrespondentCommand(d, &qb::CorrespondentCommands::newrecipiantfile);
     },
     [](Files& files, bool completed) {
         return oneOf("users.cfg", files.take("users.cfg"), completed ? States{""} : States{kUsers, ""});
     }},
    {"Save As onto an existing file",
     [](const qbtest::TempDir& dir) {
         dir.writeFile("source.msg", kSaveSource);
         dir.writeFile("target.msg", kOldTarget);
     },
     [](Desk& d) {
         d.view.pathField.setText(d.file("source.msg"));
         d.ask.acceptSave(d.file("target.msg")).answerMessage(Answer::Yes);
         qb::MessageFiles(d.session, d.view).SaveAs1Click();
     },
     [](Files& files, bool completed) {
         return oneOf("target.msg", files.take("target.msg"),
                      completed ? States{kSaveSource} : States{kOldTarget, kSaveSource});
     }},
};

// Writes in the leftover's folder as the program next would: Encrypt of that message for Encrypt's own temporary
// file, a new file beside any other.
void writeNextTo(const std::string& directory, const std::string& leftover)
{
    Desk d(directory);
    const fs::path folder = fs::path(d.file(leftover)).parent_path();
    if (fs::path(leftover).filename() == "newmail.tmp")
        return runCipher(d, &qb::MessageCipher::Encrypt1Click, (folder / "newmail.txt").string(), "next");
    qb::TextFile next(d.session.io);
    qb::rewriteChecked(next, (folder / "next").string());
    qb::closeChecked(next);
}

// Runs the row's command in a child process that ends before its k-th change to the file system.
// Returns the child's exit status: kEndedAtChange, 0 when the command completed, 1 when it failed.
int runChild(const Row& row, const std::string& directory, std::uint64_t k)
{
    std::fflush(nullptr); // or the child's report of an unexpected dialog repeats what the parent had buffered
    const pid_t child = ::fork();
    if (child == 0) {
        bool completed = false;
        try {
            qbtest::FailingFileOperations crashing;
            crashing.endAtChange(k);
            Desk d(directory);
            d.session.io.useFileOperations(crashing);
            completed = qb::runCommand(d.ask, [&] { row.run(d); }) && d.ask.allAnswersUsed() && d.ask.errors().empty();
        } catch (...) {
        }
        ::_exit(completed ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CrashSafety, EveryCrashPointLeavesEachFileWholeAndOldOrNew)
{
    // One row: every crash point in turn, stopping at the first fault so the other rows still report.
    const auto crashEveryWhere = [](const Row& row) {
        std::uint64_t k = 1;
        for (; k <= kMostCrashPoints; ++k) {
            qbtest::TempDir dir;
            row.prepare(dir);
            Files files{readTree(dir.path()), {}};
            const int status = runChild(row, dir.path(), k);
            ASSERT_TRUE(status == 0 || status == qbtest::kEndedAtChange) << "child status " << status << " at k=" << k;
            const bool completed = status == 0;
            files.after = readTree(dir.path());
            ASSERT_EQ(row.judge(files, completed), "") << "ended before change " << k;
            for (const auto& [path, bytes] : files.before) {
                const auto found = files.after.find(path);
                ASSERT_TRUE(found != files.after.end() && found->second == bytes)
                    << path << " changed, ended before change " << k;
                files.after.erase(found);
            }
            // Only the one named temporary file that a crash between its link and the rename leaves, which the next
            // write in its folder removes.
            ASSERT_LE(files.after.size(), completed ? 0u : 1u) << "more than one file left at k=" << k;
            for (const auto& [path, bytes] : files.after) {
                ASSERT_TRUE(isLeftoverTemporary(path)) << "stray file " << path << " at k=" << k;
                writeNextTo(dir.path(), path);
                ASSERT_FALSE(dir.exists(path)) << path << " outlived the next write, k=" << k;
            }
            if (completed)
                break;
        }
        ASSERT_LE(k, kMostCrashPoints) << "the command never completed";
        // A sweep that never ended the command checked nothing: the file layer bypassed the injected changes.
        ASSERT_GT(k, 1u) << "no change went through the injected file changes";
        std::cout << "[ crash    ] " << row.name << ": " << k - 1 << " crash points checked, completed at k=" << k
                  << "\n";
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        crashEveryWhere(row);
    }
}

} // namespace
