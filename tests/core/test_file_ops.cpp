#include "Errors.h"
#include "FileOps.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using qb::IoContext;
using qbtest::TempDir;

struct PathCase
{
    std::string in;
    std::string out;
};

TEST(TempPathFor, ReplacesTheExtensionOfTheLastComponentOnly)
{
    const std::vector<PathCase> cases = {
        {"/data/bob/newmail.txt", "/data/bob/newmail.tmp"},
        {"newmail.txt", "newmail.tmp"},
        {"Untitled", "Untitled.tmp"},
        {"a/b.c/file", "a/b.c/file.tmp"},
        {"archive.tar.gz", "archive.tar.tmp"},
        {"dir/name.", "dir/name.tmp"},
        {"dir/.hidden", "dir/.tmp"},
        {"x.tmp", "x.tmp"},
        {"C:name.txt", "C:name.tmp"},
        {"a.b:c/d", "a.b:c/d.tmp"},
        {"", ".tmp"},
    };
    for (const PathCase& row : cases)
        EXPECT_EQ(qb::tempPathFor(row.in), row.out) << row.in;
}

TEST(FileExists, TrueOnlyForFilesWithWildcardsInTheLastComponent)
{
    TempDir dir;
    dir.writeFile("mail.cfg", "");
    dir.writeFile("[x].cfg", "");
    dir.makeFolder("folder");
    dir.makeFolder("sub.d");
    ASSERT_EQ(::symlink("mail.cfg", dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink("gone", dir.file("dangling").c_str()), 0);
    const std::vector<std::pair<std::string, bool>> cases = {
        {"mail.cfg", true},
        {"folder", false},
        {"missing", false},
        {"link", true},
        {"dangling", false},
        {"*.cfg", true},
        {"?ail.cfg", true},
        {"m*", true},
        {"*.key", false},
        {"sub*", false},
        {"f?lder", false},
        {"[x].cfg", true},
        {"[x]*", true},
        {"x*", false},
        {"*", true},
        {"nofolder/*", false},
        {"folder/../mail.cfg", true},
    };
    for (const auto& [relative, expected] : cases)
        EXPECT_EQ(qb::fileExists(dir.file(relative)), expected) << relative;
    EXPECT_FALSE(qb::fileExists(""));
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    EXPECT_TRUE(qb::fileExists("*.cfg"));
    EXPECT_TRUE(qb::fileExists("mail.cfg"));
    EXPECT_FALSE(qb::fileExists("folder"));
}

int codeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qb::EInOutError& error) {
        return error.code();
    }
    return 0;
}

TEST(FileSizeChecked, ReportsTheFullSizeAndChecksEachStep)
{
    TempDir dir;
    dir.writeFile("empty", "");
    dir.writeFile("five", "ab\x1a\r\n");
    dir.makeFolder("folder");
    IoContext io;
    EXPECT_EQ(qb::fileSizeChecked(io, dir.file("empty")), 0);
    EXPECT_EQ(qb::fileSizeChecked(io, dir.file("five")), 5);
    EXPECT_EQ(codeOf([&] { qb::fileSizeChecked(io, dir.file("missing")); }), 2);
    EXPECT_EQ(codeOf([&] { qb::fileSizeChecked(io, dir.file("nofolder/x")); }), 3);
    EXPECT_EQ(codeOf([&] { qb::fileSizeChecked(io, dir.file("folder")); }), 5);
    EXPECT_EQ(codeOf([&] { qb::fileSizeChecked(io, ""); }), 2);
    EXPECT_EQ(io.pending(), 0);
    try {
        qb::fileSizeChecked(io, dir.file("missing"));
        FAIL() << "no error";
    } catch (const qb::EInOutError& error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
}

TEST(FileSizeChecked, SizesPast4GiBAreNotTruncated)
{
    TempDir dir;
    const std::int64_t size = (std::int64_t(5) << 30) + 3;
    {
        const int fd = ::open(dir.file("sparse").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
    IoContext io;
    EXPECT_EQ(qb::fileSizeChecked(io, dir.file("sparse")), size);
}

TEST(FileSizeChecked, IgnoresTheSharingTableButNotPermissions)
{
    TempDir dir;
    dir.writeFile("msg", "hello");
    IoContext io;
    qb::TextFile reader(io);
    reader.assign(dir.file("msg"));
    reader.reset();
    EXPECT_EQ(qb::fileSizeChecked(io, dir.file("msg")), 5);
    EXPECT_EQ(io.openFiles().count(), 1);
    reader.close();

    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    ASSERT_EQ(::chmod(dir.file("msg").c_str(), 0444), 0);
    EXPECT_EQ(codeOf([&] { qb::fileSizeChecked(io, dir.file("msg")); }), 5);
}

TEST(Probes, NonZeroForMissingFilesAndTheCodeIsTaken)
{
    TempDir dir;
    dir.writeFile("users.cfg", "alice\r\n");
    IoContext io;
    // A failed open followed by closing a file that is not open leaves 103.
    EXPECT_EQ(qb::appendProbe(io, dir.file("missing.cfg")), 103);
    EXPECT_EQ(io.pending(), 0);
    EXPECT_EQ(qb::resetProbe(io, dir.file("missing.cfg")), 103);
    EXPECT_EQ(io.pending(), 0);
    EXPECT_FALSE(dir.exists("missing.cfg"));
    EXPECT_EQ(qb::appendProbe(io, dir.file("users.cfg")), 0);
    EXPECT_EQ(qb::resetProbe(io, dir.file("users.cfg")), 0);
    EXPECT_EQ(dir.readFile("users.cfg"), "alice\r\n");
    EXPECT_EQ(io.openFiles().count(), 0);
}

TEST(Probes, AppendProbeFailsOnAFileBeingRead)
{
    TempDir dir;
    dir.writeFile("users.cfg", "alice\r\n");
    IoContext io;
    qb::TextFile reader(io);
    reader.assign(dir.file("users.cfg"));
    reader.reset();
    EXPECT_NE(qb::appendProbe(io, dir.file("users.cfg")), 0);
    EXPECT_EQ(qb::resetProbe(io, dir.file("users.cfg")), 0);
}

TEST(LongNames, EveryOperationSeesTheSameCutName)
{
    TempDir dir;
    IoContext io;
    const std::string folder = dir.file(std::string(200, 'd'));
    qb::createDirectory(folder);
    const std::string longName = folder + "/" + std::string(100, 'n') + ".key";
    ASSERT_GT(longName.size(), qb::kMaxFileNameLength);
    qb::TextFile created(io);
    created.assign(longName);
    created.rewrite();
    created.writeString("key");
    created.close();
    ASSERT_EQ(io.ioResult(), 0);

    EXPECT_TRUE(qb::fileExists(longName));
    EXPECT_EQ(qb::fileSizeChecked(io, longName), 3);
    qbtest::FakeEditor editor;
    qb::loadEditorFromFile(io, editor, longName);
    EXPECT_EQ(editor.text(), "key");
    qb::eraseFileChecked(io, longName);
    EXPECT_FALSE(qb::fileExists(longName));
}

TEST(CreateDirectory, MakesOneLevelAndReportsNothing)
{
    TempDir dir;
    qb::createDirectory(dir.file("bob"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("bob")));
    qb::createDirectory(dir.file("bob"));
    qb::createDirectory(dir.file("a/b"));
    EXPECT_FALSE(dir.exists("a"));
}

TEST(EraseFileChecked, RemovesOrRaises)
{
    TempDir dir;
    dir.writeFile("x.tmp", "data");
    IoContext io;
    qb::eraseFileChecked(io, dir.file("x.tmp"));
    EXPECT_FALSE(dir.exists("x.tmp"));
    EXPECT_EQ(codeOf([&] { qb::eraseFileChecked(io, dir.file("x.tmp")); }), 2);
    EXPECT_EQ(codeOf([&] { qb::eraseFileChecked(io, dir.file("nofolder/x.tmp")); }), 3);

    dir.writeFile("held.tmp", "data");
    qb::TextFile reader(io);
    reader.assign(dir.file("held.tmp"));
    reader.reset();
    EXPECT_EQ(codeOf([&] { qb::eraseFileChecked(io, dir.file("held.tmp")); }), 32);
    EXPECT_TRUE(dir.exists("held.tmp"));
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const qb::Error& error) {
        return error.what();
    }
    return "";
}

TEST(SaveEditor, WritesTheTextExactlyAndTruncates)
{
    TempDir dir;
    IoContext io;
    qbtest::FakeEditor editor;
    for (const std::string& text :
         std::vector<std::string>{"", "one line", "a\r\nb", "a\r\n\r\n", std::string("x\0y\x1a", 4)}) {
        dir.writeFile("msg.txt", std::string(500, 'o'));
        editor.type(text);
        qb::saveEditorToFile(io, editor, dir.file("msg.txt"));
        EXPECT_EQ(dir.readFile("msg.txt"), text);
    }
    EXPECT_EQ(io.openFiles().count(), 0);
}

TEST(SaveEditor, CannotCreateNamesTheFileAndTouchesNothing)
{
    TempDir dir;
    IoContext io;
    qbtest::FakeEditor editor;
    editor.type("text");
    const std::string missing = dir.file("nofolder/msg.txt");
    EXPECT_EQ(messageOf([&] { qb::saveEditorToFile(io, editor, missing); }), "Cannot create file " + missing);
    dir.makeFolder("folder");
    EXPECT_EQ(messageOf([&] { qb::saveEditorToFile(io, editor, dir.file("folder")); }),
              "Cannot create file " + dir.file("folder"));

    qbtest::ScopedWorkingDirectory cwd(dir.path());
    EXPECT_EQ(messageOf([&] { qb::saveEditorToFile(io, editor, ""); }), "Cannot create file ");
    EXPECT_FALSE(std::filesystem::exists(dir.file("nofolder")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SaveEditor, RefusesAFileHeldOpenWithoutTruncatingIt)
{
    TempDir dir;
    dir.writeFile("msg.txt", "ciphertext");
    IoContext io;
    qbtest::FakeEditor editor;
    editor.type("plain");
    for (const bool writing : {false, true}) {
        qb::TextFile held(io);
        held.assign(dir.file("msg.txt"));
        if (writing)
            held.append();
        else
            held.reset();
        ASSERT_EQ(io.ioResult(), 0);
        EXPECT_THROW(qb::saveEditorToFile(io, editor, "./" + dir.file("msg.txt")), qb::EFCreateError);
        EXPECT_EQ(dir.readFile("msg.txt"), "ciphertext");
    }
    qb::saveEditorToFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(dir.readFile("msg.txt"), "plain");
}

TEST(NormalizeLineBreaks, LoneCrAndLoneLfBecomeCrLf)
{
    const std::vector<PathCase> cases = {
        {"", ""},
        {"plain", "plain"},
        {"a\r\nb", "a\r\nb"},
        {"a\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"a\n\rb", "a\r\n\r\nb"},
        {"\r\r\n", "\r\n\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"end\r", "end\r\n"},
        {"end\n", "end\r\n"},
        {"\r\n\n", "\r\n\r\n"},
        {std::string("a\0\nb", 4), std::string("a\0\r\nb", 5)},
    };
    for (const PathCase& row : cases)
        EXPECT_EQ(qb::normalizeLineBreaks(row.in), row.out) << row.in;
}

// The adjustment written out byte by byte, to check the block-wise one against.
std::string adjustedByHand(const std::string& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out += "\r\n";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += bytes[i];
        }
    }
    return out;
}

// Letters with CR, LF and 0 bytes mixed in at the given odds (out of 100), so pairs and lone breaks
// fall at every offset of the blocks the adjustment works in.
std::string textWithBreaks(std::mt19937& random, std::size_t length, unsigned oddsOfBreak, unsigned oddsOfZero)
{
    std::string text(length, 'a');
    for (char& c : text) {
        const unsigned roll = random() % 100;
        if (roll < oddsOfBreak)
            c = random() % 2 ? '\r' : '\n';
        else if (roll < oddsOfBreak + oddsOfZero)
            c = '\0';
        else
            c = static_cast<char>('a' + random() % 26);
    }
    return text;
}

TEST(NormalizeLineBreaks, AgreesWithTheByteByByteAdjustmentWhereverBreaksFall)
{
    std::mt19937 random(97);
    for (const std::size_t length : {1, 2, 15, 16, 17, 18, 19, 33, 64, 100, 1000}) {
        for (const unsigned odds : {3u, 30u, 90u}) {
            for (int round = 0; round < 20; ++round) {
                const std::string text = textWithBreaks(random, length, odds, 2);
                ASSERT_EQ(qb::normalizeLineBreaks(text), adjustedByHand(text)) << ::testing::PrintToString(text);
            }
        }
    }
}

TEST(LoadEditor, LargeFilesAreAdjustedWholeWhateverBufferIsGiven)
{
    TempDir dir;
    std::mt19937 random(5);
    std::string bytes = textWithBreaks(random, 700000, 2, 0);
    // Pairs and lone breaks at the boundaries of 64 KiB and 256 KiB stretches, where reads may split.
    bytes.replace(65535, 2, "\r\n");
    bytes.replace(262143, 2, "\r\n");
    bytes.replace(524287, 2, "\rx");
    bytes.replace(589823, 2, "x\n");
    dir.writeFile("msg.txt", bytes);
    IoContext io;
    const std::vector<std::string> storages = {"", std::string(800000, 'z'), std::string(100, 'z'),
                                               std::string(bytes.size(), 'z')};
    for (const std::string& storage : storages) {
        qbtest::FakeEditor editor;
        qb::loadEditorFromFile(io, editor, dir.file("msg.txt"), std::string(storage));
        ASSERT_EQ(editor.text(), adjustedByHand(bytes)) << storage.size();
        EXPECT_EQ(editor.changeNotifications(), 1);
    }
    // A byte 0 far in: the editor shows the adjusted text before it.
    bytes[600001] = '\0';
    dir.writeFile("msg.txt", bytes);
    qbtest::FakeEditor editor;
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.text(), adjustedByHand(bytes.substr(0, 600001)));
    // Loading the same file again: the full adjusted text differs from the shown one, so it reloads.
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.changeNotifications(), 2);
    EXPECT_EQ(dir.readFile("msg.txt"), bytes);
}

// An editor with only what every editor must have: the file access falls back on text() and setText().
class MinimalEditor : public qb::Editor
{
public:
    std::string text() const override { return m_text; }
    bool isEmpty() const override { return m_text.empty(); }
    void setText(const std::string& text) override
    {
        m_text = text;
        ++changes;
    }
    void clear() override { m_text.clear(); }
    bool isModified() const override { return changes > 0; }
    void setModified(bool) override {}
    void setFocus() override {}
    int changes = 0;

private:
    std::string m_text;
};

// An editor whose text cannot be turned into bytes (a character outside the code page).
class UnencodableEditor : public MinimalEditor
{
public:
    std::string text() const override { throw qb::Error("The message holds a character that cannot be saved"); }
};

TEST(SaveEditor, AnEditorThatCannotGiveItsBytesLeavesTheFileAndFolderAsTheyWere)
{
    TempDir dir;
    dir.writeFile("msg.txt", "ciphertext");
    IoContext io;
    UnencodableEditor editor;
    EXPECT_THROW(qb::saveEditorToFile(io, editor, dir.file("msg.txt")), qb::Error);
    EXPECT_EQ(dir.readFile("msg.txt"), "ciphertext");
    EXPECT_THROW(qb::saveEditorToFile(io, editor, dir.file("new.txt")), qb::Error);
    EXPECT_FALSE(dir.exists("new.txt"));
}

TEST(EditorFileAccess, WorksThroughTheBasicOperationsAlone)
{
    TempDir dir;
    IoContext io;
    MinimalEditor editor;
    editor.setText(std::string("one\r\ntwo\0", 9));
    qb::saveEditorToFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(dir.readFile("msg.txt"), std::string("one\r\ntwo\0", 9));
    dir.writeFile("msg.txt", "one\ntwo");
    editor.setText("one\r\ntwo");
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.changes, 2); // unchanged text: no notification
    dir.writeFile("msg.txt", "three\r");
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.text(), "three\r\n");
    EXPECT_EQ(editor.changes, 3);
}

TEST(LoadEditor, AdjustsBreaksCutsAtZeroAndLeavesTheFileAlone)
{
    TempDir dir;
    const std::string bytes = std::string("a\nb\rc\x1a\r\nd\0hidden\n", 17);
    dir.writeFile("msg.txt", bytes);
    IoContext io;
    qbtest::FakeEditor editor;
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.text(), "a\r\nb\r\nc\x1a\r\nd");
    EXPECT_EQ(editor.changeNotifications(), 1);
    EXPECT_EQ(dir.readFile("msg.txt"), bytes);
    // The comparison is made on the full adjusted text, so a file with a 0 always reloads.
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.changeNotifications(), 2);
}

TEST(LoadEditor, NoNotificationWhenTheTextIsUnchanged)
{
    TempDir dir;
    dir.writeFile("msg.txt", "one\ntwo");
    IoContext io;
    qbtest::FakeEditor editor;
    editor.type("one\r\ntwo");
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.changeNotifications(), 1);
    dir.writeFile("msg.txt", "");
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.text(), "");
    EXPECT_EQ(editor.changeNotifications(), 2);
}

TEST(LoadEditor, CannotOpenNamesTheFile)
{
    TempDir dir;
    dir.makeFolder("folder");
    dir.writeFile("held.txt", "x");
    IoContext io;
    qbtest::FakeEditor editor;
    editor.type("kept");
    for (const std::string& name : {dir.file("missing.txt"), dir.file("folder"), std::string()})
        EXPECT_EQ(messageOf([&] { qb::loadEditorFromFile(io, editor, name); }), "Cannot open file " + name);
    qb::TextFile held(io);
    held.assign(dir.file("held.txt"));
    held.reset();
    EXPECT_EQ(messageOf([&] { qb::loadEditorFromFile(io, editor, dir.file("held.txt")); }),
              "Cannot open file " + dir.file("held.txt"));
    EXPECT_EQ(editor.text(), "kept");
    EXPECT_EQ(editor.changeNotifications(), 1);
}

TEST(LoadEditor, TextBeyondTheCapacityIsRefusedWithoutTouchingTheEditor)
{
    TempDir dir;
    // Exactly the capacity on disk; the final lone LF grows to CR LF and pushes it one byte over.
    {
        const int fd = ::open(dir.file("big").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, qb::kMemoCapacity - 1), 0);
        ASSERT_EQ(::pwrite(fd, "\n", 1, qb::kMemoCapacity - 1), 1);
        ::close(fd);
    }
    IoContext io;
    qbtest::FakeEditor editor;
    editor.type("kept");
    EXPECT_EQ(messageOf([&] { qb::loadEditorFromFile(io, editor, dir.file("big")); }), "Text exceeds memo capacity");
    EXPECT_EQ(editor.text(), "kept");
    EXPECT_EQ(editor.changeNotifications(), 1);
}

} // namespace
