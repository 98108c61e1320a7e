#include "CommandRunner.h"
#include "EditCommands.h"
#include "Errors.h"
#include "KeyFingerprint.h"
#include "MailText.h"
#include "MessageCipher.h"
#include "MessageFiles.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using qbtest::randomBytes;
using Command = void (qb::MessageCipher::*)();
const Command kEncrypt = &qb::MessageCipher::Encrypt1Click;
const Command kDecrypt = &qb::MessageCipher::Decrypt1Click;
const std::pair<const char*, Command> kCommands[] = {{"Encrypt", kEncrypt}, {"Decrypt", kDecrypt}};
const char* const kNoCorrespondent = "Please select a Recipiant/Sender!";

// The reference: each byte combined with the key byte at the same place, the key repeating.
std::string xorRepeating(const std::string& message, const std::string& key)
{
    std::string out = message;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
    return out;
}

// Forwards to the scripted bar, records each batch and runs an action once, while the command's files are open.
class HookedProgress : public qb::ProgressControl
{
public:
    explicit HookedProgress(qb::ProgressControl& inner) : m_inner(inner) {}
    void setMaximum(std::int64_t maximum) override
    {
        m_inner.setMaximum(maximum);
        if (auto action = std::exchange(atMaximum, nullptr))
            action();
    }
    void setPosition(std::int64_t position) override { m_inner.setPosition(position); }
    void stepPositions(std::int64_t first, std::int64_t last) override
    {
        steps.emplace_back(first, last);
        m_inner.stepPositions(first, last);
        if (auto action = std::exchange(duringRun, nullptr))
            action();
    }

    std::function<void()> duringRun;
    std::function<void()> atMaximum;
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
        renew();
    }
    void TearDown() override { EXPECT_TRUE(session.io.openFiles().empty()) << "a file was left open"; }

    // A new window (its dialogs check every queued answer was used) with the path field on bob's message.
    void renew()
    {
        cipher.reset();
        view = std::make_unique<CipherView>();
        cipher = std::make_unique<qb::MessageCipher>(session, *view);
        view->pathField.setText(messagePath());
    }
    std::string messagePath() const { return dir.file("bob/newmail.txt"); }
    std::string tempPath() const { return dir.file("bob/newmail.tmp"); }
    std::string message() const { return dir.readFile("bob/newmail.txt"); }
    void setKey(const std::string& key) const { dir.writeFile("bob/bob.key", key); }

    // Encrypt takes its message from the editor; Decrypt from the file, which the editor shows as File > Open left it.
    void run(Command command, const std::string& bytes)
    {
        if (command == kEncrypt) {
            view->editor.type(bytes);
        } else {
            dir.writeFile("bob/newmail.txt", bytes);
            openMessage();
        }
        ((*cipher).*command)();
    }
    void openMessage(const std::string& path = {})
    {
        qb::MessageFiles(session, *view).openfile(path.empty() ? messagePath() : path);
    }
    // Both commands stop with this warning when no key or no message file can be named.
    void expectNoCorrespondentWarning() const
    {
        ASSERT_EQ(view->scripted.boxes().size(), 1u);
        EXPECT_EQ(view->scripted.boxes()[0].text, kNoCorrespondent);
        EXPECT_EQ(view->scripted.boxes()[0].kind, qb::MessageKind::Warning);
        EXPECT_EQ(view->scripted.boxes()[0].buttons, qb::MessageButtons::Ok);
    }

    qbtest::TempDir dir;
    qb::Session session;
    std::unique_ptr<CipherView> view;
    std::unique_ptr<qb::MessageCipher> cipher;
};

TEST_F(MessageCipherTest, CombinesEachByteWithTheKeyUpToItsEndOfData)
{
    const struct
    {
        const char* name;
        std::string key, message, expected;
    } rows[] = {
        {"empty key acts as 26", "", "Hello", "R\x7fvvu"},
        {"key used up to its 26", std::string("\x01\x02\x1a\x07", 4), "ABCDE", "@@BFD"},
        {"key beginning with 26", "\x1a\x05", "Hi", "Rs"},
        {"26 in the message carried", "\x01", "A\032B", "@\033C"},
        {"26 in the ciphertext carried", "\x01", "\x1b\x1b\x1bz", "\x1a\x1a\x1a{"},
        {"0, LF and CR kept", "\x07", "\x07\x0d\x0a", std::string("\x00\x0a\x0d", 3)},
    };
    for (const auto& [commandName, command] : kCommands) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(commandName) + ": " + row.name);
            setKey(row.key);
            run(command, row.message);
            EXPECT_EQ(message(), row.expected);
            EXPECT_FALSE(dir.exists("bob/newmail.tmp"));
        }
    }
}

TEST_F(MessageCipherTest, RestartsTheKeyForEachPassAndStepsTheProgressOverEveryByte)
{
    const std::string key = randomBytes(1000, 1, 9);
    const std::string text = randomBytes(2500, 2, 94);
    std::vector<std::int64_t> positions;
    for (std::int64_t p = 0; p < 2500; ++p)
        positions.push_back(p);
    positions.push_back(0);
    for (const auto& [commandName, command] : kCommands) {
        SCOPED_TRACE(commandName);
        renew();
        setKey(key);
        dir.writeFile("bob/newmail.txt", text);
        view->editor.type(text);
        if (command == kDecrypt)
            openMessage();
        ((*cipher).*command)();
        EXPECT_EQ(message(), xorRepeating(text, key));
        EXPECT_EQ(view->progress.maximum(), 2500);
        EXPECT_EQ(view->progress.positions(), positions);
    }
}

// A large text is taken from the editor piece by piece, once to save it and once to encrypt it, and the ciphertext is
// read back to be shown: the same files, text shown, progress and notice as the whole text taken at once.
TEST_F(MessageCipherTest, EncryptsALargeTextPieceByPieceAsTheWholeTextAtOnce)
{
    const std::string key = randomBytes(1000, 3, 9);
    const std::string text = randomBytes(200000, 4);
    setKey(key);
    struct Outcome
    {
        std::string file, shown;
        bool allBytes;
        std::vector<std::int64_t> positions;
        std::vector<std::string> notices;
    };
    const auto encrypt = [&](std::size_t piecewiseAbove) {
        view = std::make_unique<CipherView>();
        cipher = std::make_unique<qb::MessageCipher>(session, *view, piecewiseAbove);
        view->pathField.setText(messagePath());
        view->editor.holdsCharacters = true;
        view->editor.type(text);
        cipher->Encrypt1Click();
        return Outcome{message(), view->editor.text(), view->editor.showsAllBytes(), view->progress.positions(),
                       view->statusMessages};
    };
    const Outcome whole = encrypt(text.size());
    const Outcome pieces = encrypt(0);
    EXPECT_EQ(pieces.file, xorRepeating(text, key));
    EXPECT_EQ(pieces.file, whole.file);
    EXPECT_EQ(pieces.shown, whole.shown);
    EXPECT_TRUE(pieces.allBytes);
    EXPECT_EQ(pieces.positions, whole.positions);
    EXPECT_EQ(pieces.notices, whole.notices);
    EXPECT_FALSE(dir.exists("bob/newmail.tmp"));
}

TEST_F(MessageCipherTest, KeysOfEveryLengthAgainstTheReadBufferRepeatAcrossChunkEdges)
{
    // The key is combined 64 KiB of message at a time and held whole up to a 1 MiB piece, a longer one read a piece at
    // a time: lengths either side of those edges, with 26 ending the key's data inside or past a step or a piece.
    struct Row
    {
        const char* what;
        std::size_t keyLength;
        std::size_t markAt; // where a 26 is put into the key file, npos for none
        std::size_t messageLength;
    };
    constexpr std::size_t kStep = 64 * 1024;
    constexpr std::size_t npos = std::string::npos;
    const Row rows[] = {
        {"one byte", 1, npos, 3 * kStep + 5},
        {"shorter than a step", 999, npos, 2 * kStep + 1},
        {"one less than a step", kStep - 1, npos, 3 * kStep},
        {"exactly a step", kStep, npos, 2 * kStep + 3},
        {"one more than a step", kStep + 1, npos, 3 * kStep + 7},
        {"26 inside the second step", 3 * kStep, kStep + 10, 4 * kStep + 1},
        {"longer than the message", 5 * kStep, npos, kStep + 9},
        {"exactly a piece", 16 * kStep, npos, 32 * kStep + 1},
        {"longer than a piece", 16 * kStep + 3, npos, 40 * kStep + 11},
        {"26 past the first piece", 20 * kStep, 17 * kStep + 5, 48 * kStep},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string key = randomBytes(row.keyLength, 11, 25);
        if (row.markAt != npos)
            key[row.markAt] = '\x1a';
        setKey(key);
        const std::string text = randomBytes(row.messageLength, 12);
        const std::string used = key.substr(0, row.markAt);
        for (const auto& [commandName, command] : kCommands) {
            SCOPED_TRACE(commandName);
            renew();
            run(command, text);
            EXPECT_TRUE(message() == xorRepeating(text, used)) << "differs from the byte-by-byte reference";
        }
    }
}

TEST_F(MessageCipherTest, DecryptShowsTheTextWithLoneBreaksWidenedAcrossChunkEdges)
{
    // Decrypt finds the lone breaks chunk by chunk as it combines: breaks and a CR LF pair on chunk edges, long runs
    // without any, and a byte 0 that ends what is shown.
    constexpr std::size_t kChunk = 64 * 1024;
    std::string text = randomBytes(3 * kChunk + 100, 21, 25);
    for (char& c : text)
        c = static_cast<char>('a' + c);
    for (const std::size_t at : {std::size_t(0), kChunk - 2, kChunk, kChunk + 1, 2 * kChunk + 40})
        text[at] = at % 2 ? '\r' : '\n';
    text[2 * kChunk - 1] = '\r';
    text[2 * kChunk] = '\n';
    text[3 * kChunk - 1] = '\r';
    const std::size_t zeroAt = 3 * kChunk + 50;
    text[zeroAt] = '\0';
    const std::string key = randomBytes(1000, 22, 25);
    setKey(key);
    run(kDecrypt, xorRepeating(text, key));
    EXPECT_EQ(message(), text);
    EXPECT_TRUE(view->editor.text() == qbtest::widenedByHand(text.substr(0, zeroAt))) << "differs from the reference";
}

TEST_F(MessageCipherTest, ReportsProgressInBatchesOfAtMostAPercent)
{
    setKey(randomBytes(1000, 3, 9));
    for (const std::int64_t size : {std::int64_t(1) << 20, std::int64_t(8) << 20}) {
        SCOPED_TRACE(size);
        view->hooked.steps.clear();
        run(kDecrypt, std::string(static_cast<std::size_t>(size), 'm'));
        const std::int64_t limit = std::min<std::int64_t>(size / 100, 64 * 1024);
        std::int64_t next = 0;
        for (const auto& [first, last] : view->hooked.steps) {
            ASSERT_EQ(first, next);
            ASSERT_LE(last - first + 1, limit);
            next = last + 1;
        }
        EXPECT_EQ(next, size);
        EXPECT_LE(view->hooked.steps.size(), std::size_t(size / limit + 1));
    }
}

TEST_F(MessageCipherTest, EncryptThenDecryptRestoresBinaryFilesByteForByte)
{
    const std::pair<std::size_t, std::string> rows[] = {
        {70000, randomBytes(1000, 4, 9)}, {3001, randomBytes(777, 5)}, {5000, ""}};
    for (const auto& [size, key] : rows) {
        SCOPED_TRACE(size);
        std::string original = randomBytes(size, 6);
        original[0] = '\x1a';
        for (const char special : {'\0', '\n', '\r', '\x1a'})
            ASSERT_NE(original.find(special), std::string::npos);
        const std::size_t mark = key.find('\x1a');
        setKey(key);
        run(kEncrypt, original);
        EXPECT_EQ(message(), xorRepeating(original, mark == 0 || key.empty() ? "\x1a" : key.substr(0, mark)));
        cipher->Decrypt1Click();
        EXPECT_EQ(message(), original);
    }
}

TEST_F(MessageCipherTest, ReloadsTheEditorWithTheResultAndMarksItModified)
{
    setKey("\x07");
    const std::string ciphertext("Ab\ncd\0ef", 8);
    view->editor.type(xorRepeating(ciphertext, "\x07"));
    view->editor.setModified(false);
    cipher->Encrypt1Click();
    EXPECT_TRUE(view->editor.isModified());
    // The ciphertext is shown whole: lone line breaks and what follows a byte 0 stay as they are.
    EXPECT_TRUE(view->editor.showsAllBytes());
    EXPECT_EQ(view->editor.text(), ciphertext);
    EXPECT_EQ(message(), ciphertext);
    EXPECT_EQ(view->statusMessages,
              std::vector<std::string>{
                  "Encrypted with bob's key. Copy as Mail Text (Ctrl+Shift+C) to send it. Classic: anyone "
                  "holding several such messages can read them without the key; see "
                  "Encrypt/Decrypt > Strong Encryption."});
    // So encrypting what the editor shows gives the plaintext back exactly.
    view->scripted.answerMessage(qb::Answer::Yes);
    cipher->Encrypt1Click();
    EXPECT_EQ(message(), xorRepeating(ciphertext, "\x07"));

    dir.writeFile("bob/newmail.txt", xorRepeating("line one\nline two", "\x07"));
    openMessage();
    cipher->Decrypt1Click();
    EXPECT_EQ(view->editor.text(), "line one\r\nline two") << "plaintext is loaded as lines";
    EXPECT_FALSE(view->editor.showsAllBytes());
    EXPECT_TRUE(view->editor.isModified());
    EXPECT_EQ(view->statusMessages.back(), "Decrypted with bob's key.");
}

TEST_F(MessageCipherTest, DecryptTakesWhatTheEditorShows)
{
    setKey("\x01");
    dir.writeFile("other", "Jgnnq");
    const struct
    {
        const char* name;
        std::string opened;                  // the file opened first, if any
        const char* typed;                   // then typed or pasted, if anything
        std::string path;                    // the path field then
        std::string result;                  // the path field's file and the editor
        const char* changedOnDisk = nullptr; // what another program then writes to the path field's file
    } rows[] = {
        {"pasted under a named path", "", "Idmmn", messagePath(), "Hello"},
        {"pasted into an untitled message", "", "Idmmn", "Untitled", "Hello"},
        {"an opened file, every byte of it", messagePath(), nullptr, messagePath(), std::string("Hello\x01 ", 7)},
        {"an opened file, edited", messagePath(), "Idmmn", messagePath(), "Hello"},
        {"another file than the path field names", dir.file("other"), nullptr, messagePath(), "Kfoop"},
        {"an opened file changed on disk since", messagePath(), nullptr, messagePath(), "Hello", "Jgnnq"},
    };
    dir.makeFolder("work");
    qbtest::ScopedWorkingDirectory inWork(dir.file("work"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        renew();
        dir.writeFile("bob/newmail.txt", std::string("Idmmn\0!", 7)); // more than the editor shows of it
        if (!row.opened.empty())
            openMessage(row.opened);
        if (row.typed)
            view->editor.type(row.typed);
        if (row.changedOnDisk)
            dir.writeFile("bob/newmail.txt", row.changedOnDisk);
        view->pathField.setText(row.path);
        cipher->Decrypt1Click();
        EXPECT_EQ(row.path == "Untitled" ? dir.readFile("work/Untitled") : message(), row.result);
        EXPECT_EQ(view->editor.text(), row.result);
    }
}

TEST_F(MessageCipherTest, DecryptTakesTheBytesOfMailTextInTheEditorOrTheFile)
{
    const std::string key = randomBytes(1000, 7, 9);
    const std::string plaintext = "Dear Bob,\r\nthe key works.\r\n\r\nAlice";
    // Quoted in a reply, with CR LF line ends.
    std::string quoted = "> " + qb::armorMailText(xorRepeating(plaintext, key));
    for (std::size_t at = 0; (at = quoted.find('\n', at)) != std::string::npos && at + 1 < quoted.size(); at += 3)
        quoted.replace(at, 1, "\r\n> ");
    setKey(key);
    dir.makeFolder("work");
    qbtest::ScopedWorkingDirectory inWork(dir.file("work"));
    for (const std::string& path : {std::string("Untitled"), messagePath()}) {
        SCOPED_TRACE(path);
        renew();
        view->pathField.setText(path);
        if (path == "Untitled") {
            view->editor.type("Hello,\r\n" + quoted);
        } else {
            dir.writeFile("bob/newmail.txt", "Hello,\n" + quoted);
            openMessage();
        }
        cipher->Decrypt1Click();
        EXPECT_EQ(view->editor.text(), plaintext);
        EXPECT_EQ(path == "Untitled" ? dir.readFile("work/Untitled") : message(), plaintext);
        EXPECT_EQ(view->progress.maximum(), static_cast<std::int64_t>(plaintext.size()));
    }
}

TEST_F(MessageCipherTest, DamagedOrDoubledMailTextIsRefusedWithNothingWritten)
{
    setKey("\x01");
    std::string damaged = qb::armorMailText("ciphertext");
    damaged[damaged.find("\n\n") + 2] ^= 1;
    const std::string doubled = qb::armorMailText("one") + qb::armorMailText("two");
    dir.makeFolder("work");
    qbtest::ScopedWorkingDirectory inWork(dir.file("work"));
    for (const std::string& path : {std::string("Untitled"), messagePath()}) {
        for (const auto& [text, error] : {std::pair{damaged, "The mail text is damaged (checksum mismatch)."},
                                          std::pair{doubled, "The mail text holds more than one message."}}) {
            SCOPED_TRACE(path + ": " + error);
            dir.writeFile("work/Untitled", "old untitled");
            dir.writeFile("bob/newmail.txt", path == "Untitled" ? "old message" : text);
            view->pathField.setText(path);
            view->editor.type(text);
            EXPECT_EQ(qbtest::errorTextOf([&] { cipher->Decrypt1Click(); }), error);
            EXPECT_EQ(dir.readFile("work/Untitled"), "old untitled");
            EXPECT_EQ(message(), path == "Untitled" ? "old message" : text);
        }
    }
}

TEST_F(MessageCipherTest, MailTextNamingAnotherKeyIsRefusedWithAWarningAndNothingWritten)
{
    setKey("bob's key");
    dir.writeFile("users.cfg", "bob\r\ncarol\r\nalice\r\nann\r\n");
    dir.writeFile("alice/alice.key", "the key alice and ann share");
    dir.writeFile("ann/ann.key", "the key alice and ann share");
    dir.makeFolder("work");
    qbtest::ScopedWorkingDirectory inWork(dir.file("work"));
    const std::string alices = "This message was encrypted with alice's key. Select alice and choose Decrypt again.";
    const struct
    {
        std::string selected, key, warning;
    } rows[] = {
        {"bob", qb::keyFingerprint("the key alice and ann share"), alices},
        {"", qb::keyFingerprint("the key alice and ann share"), alices}, // nobody chosen: the holder is named
        {"bob", "0000 1111 2222 3333",
         "None of your correspondents holds the key this message was encrypted with (Key: 0000 1111 2222 3333)."},
        {"", "0000 1111 2222 3333", kNoCorrespondent}};
    for (const auto& [selected, key, warning] : rows) {
        SCOPED_TRACE(warning);
        session.currentuser = selected;
        renew();
        view->pathField.setText("Untitled");
        view->editor.type(qb::armorMailText("ciphertext", key));
        view->scripted.answerMessage(qb::Answer::Ok);
        EXPECT_THROW(cipher->Decrypt1Click(), qb::EAbort);
        ASSERT_EQ(view->scripted.boxes().size(), 1u);
        EXPECT_EQ(view->scripted.boxes()[0].text, warning);
        EXPECT_EQ(view->scripted.boxes()[0].kind, qb::MessageKind::Warning);
        EXPECT_FALSE(dir.exists("work/Untitled"));
    }
}

TEST_F(MessageCipherTest, CopyAsMailTextAndEncryptAskWhenTheEditorDoesNotShowWhatTheyExpect)
{
    setKey("\x01");
    const std::string notEncrypted = "The message is not encrypted. Copy it as mail text anyway?";
    const std::string encrypted =
        "The message is already encrypted. Encrypting it again gives back the plain text. Go on?";
    const std::string ciphertextMail = "-----BEGIN QUILLBOX 97 MESSAGE-----\nKey: 4BF5 122F 3445 54C5\n\nSWRtbW4=\n"
                                       "=nE/2\n-----END QUILLBOX 97 MESSAGE-----\n";
    const std::string plainMail =
        "-----BEGIN QUILLBOX 97 MESSAGE-----\n\nSGVsbG8=\n=EHJM\n-----END QUILLBOX 97 MESSAGE-----\n";
    const struct
    {
        const char* name;
        bool encryptFirst; // else the editor holds typed text
        bool copy;         // else Encrypt
        std::optional<qb::Answer> answer;
        std::string box, clipboard, file;
    } rows[] = {
        {"copy ciphertext", true, true, {}, "", ciphertextMail, "Idmmn"},
        {"copy plain text, No", false, true, qb::Answer::No, notEncrypted, "", "old"},
        {"copy plain text, Yes", false, true, qb::Answer::Yes, notEncrypted, plainMail, "old"},
        {"encrypt plain text", false, false, {}, "", "", "Idmmn"},
        {"encrypt ciphertext, No", true, false, qb::Answer::No, encrypted, "", "Idmmn"},
        {"encrypt ciphertext, Yes", true, false, qb::Answer::Yes, encrypted, "", "Hello"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        renew();
        dir.writeFile("bob/newmail.txt", "old");
        view->editor.type("Hello");
        if (row.encryptFirst)
            cipher->Encrypt1Click();
        if (row.answer)
            view->scripted.answerMessage(*row.answer);
        qb::runCommand(view->scripted, [&] {
            if (row.copy)
                qb::EditCommands(*view, session.shownMessage).CopyAsMailText1Click();
            else
                cipher->Encrypt1Click();
        });
        EXPECT_EQ(view->scripted.boxTexts(), row.box.empty() ? std::vector<std::string>{} : std::vector{row.box});
        if (!row.box.empty()) {
            EXPECT_EQ(view->scripted.boxes()[0].defaultButton, qb::DefaultButton::No);
        }
        EXPECT_EQ(view->systemClipboard.text(), row.clipboard);
        EXPECT_EQ(message(), row.file);
    }
}

TEST_F(MessageCipherTest, EncryptCombinesTheBytesItSavedWhateverTheFileHoldsMeanwhile)
{
    setKey("\x01");
    // Another program writes the message file between the save and the combining.
    view->hooked.atMaximum = [&] { dir.writeFile("bob/newmail.txt", "Written by someone else"); };
    run(kEncrypt, "Hello");
    EXPECT_EQ(message(), "Idmmn");
    EXPECT_EQ(view->editor.text(), "Idmmn");
}

TEST_F(MessageCipherTest, CountsTheSizeOfAFileOver4GiBIn64BitsAndRefusesItBeforeReading)
{
    const std::int64_t size = (std::int64_t(1) << 32) + 3;
    dir.writeFile("bob/newmail.txt", "ciphertext");
    openMessage();
    qbtest::makeSparseFile(messagePath(), size); // grown since it was opened, unnoticed (a race)
    session.shownMessage.showFile(view->editor, messagePath(), qb::currentIdentity(session.io, messagePath()));
    setKey("\x01");
    // Larger than the editor can show: refused before anything is read or written.
    EXPECT_THROW(cipher->Decrypt1Click(), qb::EOutOfResources);
    EXPECT_EQ(view->progress.maximum(), size);
    EXPECT_EQ(std::filesystem::file_size(messagePath()), static_cast<std::uintmax_t>(size));
}

TEST_F(MessageCipherTest, WithoutTextPathOrKeyStopsAndKeepsTheFilesAsTheyWere)
{
    for (const auto& [commandName, command] : kCommands) {
        SCOPED_TRACE(commandName);
        std::filesystem::remove(messagePath());
        renew();
        EXPECT_THROW(((*cipher).*command)(), qb::EAbort); // empty editor: silently nothing to do
        EXPECT_TRUE(view->scripted.boxes().empty());

        renew();
        view->pathField.setText("");
        view->editor.type("text");
        view->scripted.answerMessage(qb::Answer::Ok);
        EXPECT_THROW(((*cipher).*command)(), qb::EAbort);
        expectNoCorrespondentWarning();
        EXPECT_FALSE(dir.exists("bob/newmail.txt"));

        renew(); // no key file
        view->scripted.answerMessage(qb::Answer::Ok);
        EXPECT_THROW(run(command, "plain text"), qb::EAbort);
        expectNoCorrespondentWarning();
        // Encrypt never writes the plain text; Decrypt's input stays as it was.
        if (command == kEncrypt)
            EXPECT_FALSE(dir.exists("bob/newmail.txt"));
        else
            EXPECT_EQ(message(), "plain text");
        EXPECT_FALSE(dir.exists("bob/newmail.tmp")) << "the temporary file it created must go";
        EXPECT_EQ(view->progress.maximum(), 10);
        EXPECT_TRUE(view->statusMessages.empty()) << "a command that stopped says it did nothing";
    }
}

TEST_F(MessageCipherTest, EncryptFailingBeforeTheRenameRemovesOnlyATemporaryFileItCreated)
{
    setKey("\x01");
    dir.writeFile("bob/newmail.txt", "old message");
    // The message file is held open while the key loop runs, so the ciphertext cannot replace it.
    std::unique_ptr<qb::TextFile> reader;
    view->hooked.duringRun = [&] { reader = qbtest::openFile(session.io, messagePath()); };
    EXPECT_EQ(qbtest::ioCodeOf([&] { run(kEncrypt, "plain text"); }), 32);
    reader.reset();
    EXPECT_EQ(message(), "old message");
    EXPECT_FALSE(dir.exists("bob/newmail.tmp"));

    // A leftover temporary file that is held open is not removed from under its reader.
    dir.writeFile("bob/newmail.tmp", "keep");
    reader = qbtest::openFile(session.io, tempPath());
    EXPECT_EQ(qbtest::ioCodeOf([&] { run(kEncrypt, "more text"); }), 32);
    reader.reset();
    EXPECT_EQ(dir.readFile("bob/newmail.tmp"), "keep");
}

TEST_F(MessageCipherTest, EncryptNeverRenamesOrRemovesATemporaryNameThatIsNoLongerItsOwn)
{
    setKey("\x01");
    dir.writeFile("bob/newmail.txt", "old message");
    // Something else takes the temporary file's name while the ciphertext is written: it is not what was written,
    // so it is neither renamed over the message nor removed.
    view->hooked.duringRun = [&] { ASSERT_EQ(::symlink("/proc/self/mem", tempPath().c_str()), 0); };
    EXPECT_THROW(run(kEncrypt, "plain text"), qb::EInOutError);
    EXPECT_TRUE(std::filesystem::is_symlink(tempPath())) << "removed what the command had not made";
    EXPECT_EQ(message(), "old message");
    ::unlink(tempPath().c_str());
}

TEST_F(MessageCipherTest, OwnTemporaryFileFailsWithItsIoError)
{
    setKey("\x01");
    dir.writeFile("bob/draft.tmp", "old");
    view->pathField.setText(dir.file("bob/draft.tmp"));
    view->editor.type("new text");
    view->scripted.answerMessage(qb::Answer::Yes); // replace draft.tmp, which the editor does not show
    EXPECT_EQ(qbtest::errorTextOf([&] { cipher->Encrypt1Click(); }), "I/O error 32");
    EXPECT_EQ(dir.readFile("bob/draft.tmp"), "old");
}

// Encrypt and Decrypt write over the working file, or a file the editor shows unchanged, unasked; any other file only
// once the user says so, No the default.
TEST_F(MessageCipherTest, AFileTheEditorDoesNotShowIsReplacedOnlyWhenTheUserSaysSo)
{
    setKey("\x01");
    const struct
    {
        const char* what;
        Command command;
        const char* file;
        bool shown; // the editor shows the file as Open left it
        std::optional<qb::Answer> answer;
        const char* after;
    } rows[] = {
        {"working file", kEncrypt, "bob/newmail.txt", false, {}, "Idmmn"},
        {"file shown unchanged", kDecrypt, "older.txt", true, {}, "Idmmn"},
        {"other file, No", kDecrypt, "older.txt", false, qb::Answer::No, "a 60-byte record"},
        {"other file, Yes", kDecrypt, "older.txt", false, qb::Answer::Yes, "Idmmn"},
        {"other file, Encrypt, No", kEncrypt, "older.txt", false, qb::Answer::No, "a 60-byte record"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        renew();
        dir.writeFile(row.file, "a 60-byte record");
        view->pathField.setText(dir.file(row.file));
        if (row.shown) {
            dir.writeFile(row.file, "Hello");
            openMessage(dir.file(row.file));
        } else {
            view->editor.type("Hello");
        }
        if (row.answer)
            view->scripted.answerMessage(*row.answer);
        qb::runCommand(view->scripted, [&] { ((*cipher).*row.command)(); });
        const std::string question = std::string("Replace ") + dir.file(row.file) + " with the " +
                                     (row.command == kEncrypt ? "encrypted" : "decrypted") + " message?";
        EXPECT_EQ(view->scripted.boxTexts(),
                  row.answer ? std::vector<std::string>{question} : std::vector<std::string>{});
        if (row.answer) {
            EXPECT_EQ(view->scripted.boxes()[0].defaultButton, qb::DefaultButton::No);
        }
        EXPECT_EQ(dir.readFile(row.file), row.after);
        if (row.answer == qb::Answer::No) {
            EXPECT_EQ(view->editor.text(), "Hello") << "the editor keeps its text";
        }
    }
}

} // namespace
