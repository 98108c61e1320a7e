#include "Errors.h"
#include "MessageCipher.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Command = void (qb::MessageCipher::*)();
const std::vector<std::pair<const char*, Command>> kCommands = {{"Encrypt", &qb::MessageCipher::Encrypt1Click},
                                                                {"Decrypt", &qb::MessageCipher::Decrypt1Click}};

std::string randomBytes(std::size_t size, unsigned seed, int highest = 255)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> byte(0, highest);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(engine));
    return bytes;
}

// The reference: each byte combined with the key byte at the same place, the key repeating.
std::string xorRepeating(const std::string& message, const std::string& key)
{
    std::string out = message;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] =
            static_cast<char>(static_cast<unsigned char>(out[i]) ^ static_cast<unsigned char>(key[i % key.size()]));
    return out;
}

// Forwards to the scripted bar, records each batch and runs an action once, while the command's files are open.
class HookedProgress : public qb::ProgressControl
{
public:
    explicit HookedProgress(qb::ProgressControl& inner) : m_inner(inner) {}
    void setMaximum(std::int64_t maximum) override { m_inner.setMaximum(maximum); }
    void setPosition(std::int64_t position) override { m_inner.setPosition(position); }
    void stepPositions(std::int64_t first, std::int64_t last) override
    {
        steps.emplace_back(first, last);
        m_inner.stepPositions(first, last);
        if (auto action = std::exchange(duringRun, nullptr))
            action();
    }

    std::function<void()> duringRun;
    std::vector<std::pair<std::int64_t, std::int64_t>> steps;

private:
    qb::ProgressControl& m_inner;
};

class CipherView : public qbtest::ScriptedMainView
{
public:
    qb::ProgressControl& progressBar3() override { return hooked; }
    HookedProgress hooked{progress};
};

class MessageCipherTest : public ::testing::Test
{
protected:
    MessageCipherTest()
    {
        session.currentdirectory = dir.path();
        session.currentuser = "bob";
        dir.makeFolder("bob");
        view.pathField.setText(messagePath());
    }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a file was left open"; }

    std::string messagePath() const { return dir.file("bob/newmail.txt"); }
    std::string tempPath() const { return dir.file("bob/newmail.tmp"); }
    std::string message() const { return dir.readFile("bob/newmail.txt"); }
    void setKey(const std::string& key) const { dir.writeFile("bob/bob.key", key); }

    // Encrypt takes its message from the editor; Decrypt from the file, the editor only needs to be non-empty.
    void run(Command command, const std::string& bytes)
    {
        if (command == &qb::MessageCipher::Encrypt1Click) {
            view.editor.type(bytes);
        } else {
            dir.writeFile("bob/newmail.txt", bytes);
            view.editor.type("ciphertext");
        }
        (cipher.*command)();
    }
    void expectWarning()
    {
        ASSERT_EQ(view.scripted.boxes().size(), 1u);
        EXPECT_EQ(view.scripted.boxes()[0].text, "Please select a Recipiant/Sender!");
        EXPECT_EQ(view.scripted.boxes()[0].kind, qb::MessageKind::Warning);
        EXPECT_EQ(view.scripted.boxes()[0].buttons, qb::MessageButtons::Ok);
    }

    qbtest::TempDir dir;
    qb::Session session;
    CipherView view;
    qb::MessageCipher cipher{session, view};
};

TEST_F(MessageCipherTest, CombinesEachByteWithTheKeyUpToItsEndOfData)
{
    struct Case
    {
        const char* name;
        std::string key, message, expected;
    };
    const Case cases[] = {
        {"empty key acts as 26", "", "Hello", "R\x7fvvu"},
        {"key used up to its 26", std::string("\x01\x02\x1a\x07", 4), "ABCDE", "@@BFD"},
        {"key beginning with 26", "\x1a\x05", "Hi", "Rs"},
        {"26 in the message carried", "\x01",
         "A\x1a"
         "B",
         "@\x1b"
         "C"},
        {"26 in the ciphertext carried", "\x01", "\x1b\x1b\x1bz", "\x1a\x1a\x1a{"},
        {"0, LF and CR kept", "\x07", "\x07\x0d\x0a", std::string("\x00\x0a\x0d", 3)},
    };
    for (const auto& [commandName, command] : kCommands) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(commandName) + ": " + c.name);
            setKey(c.key);
            run(command, c.message);
            EXPECT_EQ(message(), c.expected);
            EXPECT_FALSE(dir.exists("bob/newmail.tmp"));
        }
    }
}

TEST_F(MessageCipherTest, RestartsTheKeyForEachPassAndStepsTheProgressOverEveryByte)
{
    const std::string key = randomBytes(1000, 1, 9);
    const std::string text = randomBytes(2500, 2, 94);
    for (const auto& [commandName, command] : kCommands) {
        SCOPED_TRACE(commandName);
        CipherView freshView;
        qb::MessageCipher freshCipher(session, freshView);
        setKey(key);
        dir.writeFile("bob/newmail.txt", text);
        freshView.pathField.setText(messagePath());
        freshView.editor.type(text);
        (freshCipher.*command)();

        const std::string result = message();
        ASSERT_EQ(result.size(), 2500u);
        for (std::size_t i = 0; i < 2500; ++i) {
            const std::size_t keyIndex = i < 1000 ? i : i < 2000 ? i - 1000 : i - 2000;
            ASSERT_EQ(result[i], static_cast<char>(text[i] ^ key[keyIndex])) << "byte " << i;
        }
        std::vector<std::int64_t> expected;
        for (std::int64_t p = 0; p < 2500; ++p)
            expected.push_back(p);
        expected.push_back(0);
        EXPECT_EQ(freshView.progress.maximum(), 2500);
        EXPECT_EQ(freshView.progress.positions(), expected);
    }
}

TEST_F(MessageCipherTest, ReopensTheKeyFileForEveryPass)
{
    setKey(""); // one byte per pass
    view.hooked.duringRun = [&] { setKey("\x01"); };
    const std::string text(300, 'a');
    run(&qb::MessageCipher::Decrypt1Click, text);
    ASSERT_FALSE(view.hooked.steps.empty());
    const std::size_t changedAt = static_cast<std::size_t>(view.hooked.steps[0].second) + 1;
    EXPECT_EQ(message(), std::string(changedAt, 'a' ^ 26) + std::string(300 - changedAt, 'a' ^ 1));
}

TEST_F(MessageCipherTest, ReportsProgressInBatchesOfAtMostAPercent)
{
    setKey(randomBytes(1000, 3, 9));
    for (const std::int64_t size : {std::int64_t(1) << 20, std::int64_t(8) << 20}) {
        SCOPED_TRACE(size);
        view.hooked.steps.clear();
        run(&qb::MessageCipher::Decrypt1Click, std::string(static_cast<std::size_t>(size), 'm'));
        const std::int64_t limit = std::min<std::int64_t>(size / 100, 64 * 1024);
        std::int64_t next = 0;
        for (const auto& [first, last] : view.hooked.steps) {
            ASSERT_EQ(first, next);
            ASSERT_LE(last - first + 1, limit);
            next = last + 1;
        }
        EXPECT_EQ(next, size);
        EXPECT_LE(view.hooked.steps.size(), std::size_t(size / limit + 1));
    }
}

TEST_F(MessageCipherTest, EncryptThenDecryptRestoresBinaryFilesByteForByte)
{
    const struct
    {
        std::size_t size;
        std::string key;
    } cases[] = {{70000, randomBytes(1000, 4, 9)}, {3001, randomBytes(777, 5)}, {5000, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string original = randomBytes(c.size, 6);
        original[0] = '\x1a';
        for (const char special : {'\0', '\n', '\r', '\x1a'})
            ASSERT_NE(original.find(special), std::string::npos);
        const std::size_t mark = c.key.find('\x1a');
        const std::string usedKey = mark == 0 || c.key.empty() ? "\x1a" : c.key.substr(0, mark);
        setKey(c.key);

        run(&qb::MessageCipher::Encrypt1Click, original);
        EXPECT_EQ(message(), xorRepeating(original, usedKey));
        view.editor.type("ciphertext as shown");
        cipher.Decrypt1Click();
        EXPECT_EQ(message(), original);
    }
}

TEST_F(MessageCipherTest, ReloadsTheEditorWithTheResultAndMarksItModified)
{
    setKey("\x07");
    const std::string ciphertext("Ab\ncd\0ef", 8);
    view.editor.type(xorRepeating(ciphertext, "\x07"));
    view.editor.setModified(false);
    cipher.Encrypt1Click();
    EXPECT_TRUE(view.editor.isModified());
    EXPECT_EQ(view.editor.text(), "Ab\r\ncd");
    EXPECT_EQ(message(), ciphertext);

    view.editor.setModified(false);
    dir.writeFile("bob/newmail.txt", xorRepeating("line one\r\nline two", "\x07"));
    cipher.Decrypt1Click();
    EXPECT_EQ(view.editor.text(), "line one\r\nline two");
    EXPECT_TRUE(view.editor.isModified());
}

TEST_F(MessageCipherTest, DecryptSavesTheEditorOnlyForTheExactPathUntitled)
{
    setKey("\x01");
    dir.makeFolder("work");
    qbtest::ScopedWorkingDirectory inWork(dir.file("work"));
    for (const char* name : {"Untitled", "untitled"}) {
        SCOPED_TRACE(name);
        const bool saved = std::string(name) == "Untitled";
        dir.writeFile(std::string("work/") + name, "Jgnnq"); // "Kfoop" under the key
        view.pathField.setText(name);
        view.editor.type("Idmmn");
        cipher.Decrypt1Click();
        EXPECT_EQ(dir.readFile(std::string("work/") + name), saved ? "Hello" : "Kfoop");
        EXPECT_EQ(view.editor.text(), saved ? "Hello" : "Kfoop");
    }
    EXPECT_FALSE(dir.exists("bob/newmail.txt"));
}

TEST_F(MessageCipherTest, DecryptOfAnEmptyFileChangesNothing)
{
    setKey("\x01");
    EXPECT_THROW(run(&qb::MessageCipher::Decrypt1Click, ""), qb::EAbort);
    EXPECT_EQ(message(), "");
    EXPECT_EQ(view.editor.text(), "ciphertext");
    EXPECT_EQ(view.progress.maximum(), 100);
    EXPECT_TRUE(view.progress.positions().empty());
    EXPECT_TRUE(view.scripted.boxes().empty());
}

TEST_F(MessageCipherTest, CountsTheSizeOfAFileOver4GiBIn64Bits)
{
    const std::int64_t size = (std::int64_t(1) << 32) + 3;
    dir.writeFile("bob/newmail.txt", "");
    ASSERT_EQ(::truncate(messagePath().c_str(), size), 0);
    view.editor.type("ciphertext");
    view.scripted.answerMessage(qb::Answer::Ok); // no key: stops before reading anything
    EXPECT_THROW(cipher.Decrypt1Click(), qb::EAbort);
    expectWarning();
    EXPECT_EQ(view.progress.maximum(), size);
    struct stat info
    {
    };
    ASSERT_EQ(::stat(messagePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_size, size);
}

TEST_F(MessageCipherTest, EmptyEditorOrPathFieldTouchesNoFile)
{
    for (const auto& [commandName, command] : kCommands) {
        SCOPED_TRACE(commandName);
        CipherView freshView;
        qb::MessageCipher freshCipher(session, freshView);
        freshView.pathField.setText(messagePath());
        EXPECT_THROW((freshCipher.*command)(), qb::EAbort);
        EXPECT_TRUE(freshView.scripted.boxes().empty());

        freshView.pathField.setText("");
        freshView.editor.type("text");
        freshView.scripted.answerMessage(qb::Answer::Ok);
        EXPECT_THROW((freshCipher.*command)(), qb::EAbort);
        ASSERT_EQ(freshView.scripted.boxes().size(), 1u);
        EXPECT_EQ(freshView.scripted.boxes()[0].text, "Please select a Recipiant/Sender!");
        EXPECT_FALSE(dir.exists("bob/newmail.txt"));
    }
}

TEST_F(MessageCipherTest, WithoutAKeyWarnsAndKeepsTheFilesAsTheyWere)
{
    view.scripted.answerMessage(qb::Answer::Ok);
    EXPECT_THROW(run(&qb::MessageCipher::Encrypt1Click, "plain text"), qb::EAbort);
    expectWarning();
    EXPECT_EQ(message(), "plain text");
    EXPECT_FALSE(dir.exists("bob/newmail.tmp")) << "the temporary file it created must go";
    EXPECT_EQ(view.progress.maximum(), 10);

    CipherView decryptView;
    decryptView.pathField.setText(messagePath());
    decryptView.editor.type("x");
    decryptView.scripted.answerMessage(qb::Answer::Ok);
    EXPECT_THROW(qb::MessageCipher(session, decryptView).Decrypt1Click(), qb::EAbort);
    EXPECT_EQ(message(), "plain text");
}

TEST_F(MessageCipherTest, EncryptFailingBeforeTheCopyBackRemovesOnlyATemporaryFileItCreated)
{
    setKey("\x01");
    // The message file is held open while the key loop runs, so the copy-back cannot rewrite it.
    std::unique_ptr<qb::TextFile> reader;
    view.hooked.duringRun = [&] {
        reader = std::make_unique<qb::TextFile>(session.io);
        reader->assign(messagePath());
        reader->reset();
    };
    try {
        run(&qb::MessageCipher::Encrypt1Click, "plain text");
        FAIL() << "no error";
    } catch (const qb::EInOutError& e) {
        EXPECT_EQ(e.code(), 32);
    }
    reader.reset();
    EXPECT_EQ(message(), "plain text");
    EXPECT_FALSE(dir.exists("bob/newmail.tmp"));

    // A temporary file it cannot open is someone else's: it stays as it was.
    dir.writeFile("bob/newmail.tmp", "keep");
    reader = std::make_unique<qb::TextFile>(session.io);
    reader->assign(tempPath());
    reader->reset();
    try {
        run(&qb::MessageCipher::Encrypt1Click, "more text");
        FAIL() << "no error";
    } catch (const qb::EInOutError& e) {
        EXPECT_EQ(e.code(), 32);
    }
    reader.reset();
    EXPECT_EQ(dir.readFile("bob/newmail.tmp"), "keep");
}

TEST_F(MessageCipherTest, EncryptFailingDuringTheCopyBackKeepsTheTemporaryFile)
{
    setKey("\x01");
    // The temporary name comes to point at something that fails when read, after the ciphertext was written.
    view.hooked.duringRun = [&] {
        ASSERT_EQ(::unlink(tempPath().c_str()), 0);
        ASSERT_EQ(::symlink("/proc/self/mem", tempPath().c_str()), 0);
    };
    EXPECT_THROW(run(&qb::MessageCipher::Encrypt1Click, "plain text"), qb::EInOutError);
    struct stat info
    {
    };
    EXPECT_EQ(::lstat(tempPath().c_str(), &info), 0) << "removed while the message file was incomplete";
    ::unlink(tempPath().c_str());
}

TEST_F(MessageCipherTest, EncryptRefusesAMessageThatIsItsOwnTemporaryFile)
{
    setKey("\x01");
    dir.writeFile("bob/draft.tmp", "old");
    view.pathField.setText(dir.file("bob/draft.tmp"));
    view.editor.type("new text");
    try {
        cipher.Encrypt1Click();
        FAIL() << "no error";
    } catch (const qb::EInOutError& e) {
        EXPECT_STREQ(e.what(), "I/O error 32");
    }
    EXPECT_EQ(dir.readFile("bob/draft.tmp"), "old");
}

TEST_F(MessageCipherTest, DecryptOfAMissingFileReportsFileNotFound)
{
    setKey("\x01");
    view.editor.type("x");
    try {
        cipher.Decrypt1Click();
        FAIL() << "no error";
    } catch (const qb::EInOutError& e) {
        EXPECT_EQ(e.code(), 2);
    }
}

} // namespace
