#include "EditorFile.h"
#include "Errors.h"
#include "LineBreaks.h"
#include "ListFiles.h"
#include "ScriptedUi.h"
#include "StoredFiles.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using qbtest::errorTextOf;
using qbtest::ioCodeOf;
using Conversions = std::vector<std::pair<std::string, std::string>>;

class FileOpsTest : public ::testing::Test
{
protected:
    qbtest::TempDir dir;
    qb::IoContext io;
};

TEST(TempPathFor, ReplacesTheExtensionOfTheLastComponentOnly)
{
    const Conversions rows = {
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
    for (const auto& [in, out] : rows)
        EXPECT_EQ(qb::tempPathFor(in), out) << in;
}

TEST_F(FileOpsTest, FileExistsIsTrueOnlyForFilesWithWildcardsInTheLastComponent)
{
    dir.writeFile("mail.cfg", "");
    dir.writeFile("[x].cfg", "");
    dir.makeFolder("folder");
    dir.makeFolder("sub.d");
    ASSERT_EQ(::symlink("mail.cfg", dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink("gone", dir.file("dangling").c_str()), 0);
    for (const char* name :
         {"mail.cfg", "link", "*.cfg", "?ail.cfg", "m*", "[x].cfg", "[x]*", "*", "folder/../mail.cfg"})
        EXPECT_TRUE(qb::fileExists(io, dir.file(name))) << name;
    for (const char* name : {"folder", "missing", "dangling", "*.key", "sub*", "f?lder", "x*", "nofolder/*"})
        EXPECT_FALSE(qb::fileExists(io, dir.file(name))) << name;
    EXPECT_FALSE(qb::fileExists(io, ""));
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    EXPECT_TRUE(qb::fileExists(io, "*.cfg"));
    EXPECT_TRUE(qb::fileExists(io, "mail.cfg"));
    EXPECT_FALSE(qb::fileExists(io, "folder"));
}

TEST_F(FileOpsTest, FileSizeCheckedGivesTheFullSizeOrRaisesTheCode)
{
    dir.writeFile("empty", "");
    dir.writeFile("five", "ab\x1a\r\n");
    dir.makeFolder("folder");
    const std::int64_t past4GiB = (std::int64_t(5) << 30) + 3;
    qbtest::makeSparseFile(dir.file("sparse"), past4GiB);
    const auto held = qbtest::openFile(io, dir.file("five")); // the sharing table does not matter
    const std::tuple<std::string, std::int64_t, int> rows[] = {
        {dir.file("empty"), 0, 0},
        {dir.file("five"), 5, 0},
        {dir.file("sparse"), past4GiB, 0},
        {dir.file("missing"), -1, 2},
        {dir.file("nofolder/x"), -1, 3},
        {dir.file("folder"), -1, 5},
        {"", -1, 2},
    };
    for (const auto& [name, size, code] : rows) {
        std::int64_t got = -1;
        EXPECT_EQ(ioCodeOf([&] { got = qb::fileSizeChecked(io, name); }), code) << name;
        EXPECT_EQ(got, size) << name;
    }
    EXPECT_EQ(io.pending(), 0);
    EXPECT_EQ(io.openFiles().count(), 1);
    EXPECT_EQ(errorTextOf([&] { qb::fileSizeChecked(io, dir.file("missing")); }), "File not found");
}

TEST_F(FileOpsTest, FileSizeCheckedRefusesAReadOnlyFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    dir.writeFile("msg", "hello");
    ASSERT_EQ(::chmod(dir.file("msg").c_str(), 0444), 0);
    EXPECT_EQ(ioCodeOf([&] { qb::fileSizeChecked(io, dir.file("msg")); }), 5);
}

TEST_F(FileOpsTest, LongNamesAreUsedWholeUpToLinuxLimitsAndRefusedPastThem)
{
    const std::string folder = dir.file(std::string(255, 'd'));
    qb::createDirectory(io, folder);
    const std::string longName = folder + "/" + std::string(251, 'n') + ".key";
    const auto key = qbtest::openFile(io, longName, &qb::TextFile::rewrite);
    key->writeString("key");
    key->close();
    ASSERT_EQ(io.ioResult(), 0);
    EXPECT_TRUE(qb::fileExists(io, longName));
    EXPECT_EQ(qb::fileSizeChecked(io, longName), 3);
    qbtest::FakeEditor editor;
    qb::loadEditorFromFile(io, editor, longName);
    EXPECT_EQ(editor.text(), "key");

    // One byte more in a component, or a path past 4095 bytes, names no file: nothing is cut to fit.
    std::string deep = dir.path();
    while (deep.size() < qb::kMaxPathLength)
        deep += "/" + std::string(200, 'p');
    for (const std::string& tooLong : {folder + "/" + std::string(256, 'n'), deep}) {
        SCOPED_TRACE(tooLong.size());
        qbtest::openFile(io, tooLong, &qb::TextFile::rewrite);
        EXPECT_EQ(io.ioResult(), 3);
        EXPECT_EQ(ioCodeOf([&] { qb::fileSizeChecked(io, tooLong); }), 3);
        EXPECT_FALSE(qb::fileExists(io, tooLong));
    }
}

TEST_F(FileOpsTest, CreateDirectoryMakesOneLevelAndReportsNothing)
{
    qb::createDirectory(io, dir.file("bob"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("bob")));
    qb::createDirectory(io, dir.file("bob"));
    qb::createDirectory(io, dir.file("a/b"));
    EXPECT_FALSE(dir.exists("a"));
}

TEST(NormalizeLineBreaks, LoneCrAndLoneLfBecomeCrLf)
{
    const Conversions rows = {
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
    for (const auto& [in, out] : rows)
        EXPECT_EQ(qb::normalizeLineBreaks(in), out) << ::testing::PrintToString(in);
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
                ASSERT_EQ(qb::normalizeLineBreaks(text), qbtest::widenedByHand(text)) << ::testing::PrintToString(text);
            }
        }
    }
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
        ++m_operations;
    }
    void takeAllBytes(std::string&& bytes) override { setText(bytes); }
    void clear() override { m_text.clear(); }
    bool isModified() const override { return m_operations > 0; }
    void setModified(bool) override {}
    void setFocus() override {}
    std::uint64_t revision() const override { return static_cast<std::uint64_t>(m_operations); }
    int changeNotifications() const { return m_operations; }

private:
    std::string m_text;
    int m_operations = 0;
};

// An editor whose text cannot be turned into bytes (a character outside the code page).
class UnencodableEditor : public MinimalEditor
{
public:
    std::string text() const override { throw qb::Error("The message holds a character that cannot be saved"); }
};

// Both kinds of editor: one that hands its bytes over directly and one with only the basic operations.
template <typename Check> void forEachEditor(const Check& check)
{
    qbtest::FakeEditor fake;
    MinimalEditor minimal;
    {
        SCOPED_TRACE("editor with direct access");
        check(fake);
    }
    SCOPED_TRACE("editor with the basic operations only");
    check(minimal);
}

TEST_F(FileOpsTest, SaveEditorWritesTheTextExactlyAndTruncates)
{
    forEachEditor([&](qb::Editor& editor) {
        for (const std::string& text :
             std::vector<std::string>{"", "one line", "a\r\nb", "a\r\n\r\n", std::string("x\0y\x1a", 4)}) {
            dir.writeFile("msg.txt", std::string(500, 'o'));
            editor.setText(text);
            qb::saveEditorPiecesAsFile(io, editor, dir.file("msg.txt"));
            EXPECT_EQ(dir.readFile("msg.txt"), text);
        }
        EXPECT_EQ(io.openFiles().count(), 0);
    });
}

TEST_F(FileOpsTest, SaveEditorFailuresNameTheFileAndTouchNothing)
{
    dir.makeFolder("folder");
    dir.writeFile("msg.txt", "ciphertext");
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    qbtest::FakeEditor editor;
    editor.type("plain");
    for (const std::string& name : {dir.file("nofolder/msg.txt"), dir.file("folder"), std::string()})
        EXPECT_EQ(errorTextOf([&] { qb::saveEditorPiecesAsFile(io, editor, name); }), "Cannot create file " + name);
    // Held open for reading or writing, the file is refused under another spelling too, and not truncated.
    for (const auto open : {&qb::TextFile::reset, &qb::TextFile::append}) {
        const auto held = qbtest::openFile(io, dir.file("msg.txt"), open);
        ASSERT_EQ(io.ioResult(), 0);
        EXPECT_THROW(qb::saveEditorPiecesAsFile(io, editor, dir.path() + "/./msg.txt"), qb::EFCreateError);
        EXPECT_EQ(dir.readFile("msg.txt"), "ciphertext");
    }
    // An editor that cannot give its bytes leaves the file and the folder as they were.
    UnencodableEditor unencodable;
    EXPECT_THROW(qb::saveEditorPiecesAsFile(io, unencodable, dir.file("msg.txt")), qb::Error);
    EXPECT_THROW(qb::saveEditorPiecesAsFile(io, unencodable, dir.file("new.txt")), qb::Error);
    EXPECT_EQ(dir.readFile("msg.txt"), "ciphertext");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "only folder and msg.txt";

    qb::saveEditorPiecesAsFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(dir.readFile("msg.txt"), "plain");
}

TEST_F(FileOpsTest, LoadEditorAdjustsBreaksCutsAtZeroAndNotifiesOnlyOfChangedText)
{
    const std::string withZero("a\nb\rc\x1a\r\nd\0hidden\n", 17);
    // One editor through the rows in turn; its text starts as "one\r\ntwo" (one notification).
    const std::tuple<std::string, std::string, int> rows[] = {
        {"one\ntwo", "one\r\ntwo", 1}, // unchanged text: no notification
        {"three\r", "three\r\n", 2},           {"", "", 3}, {withZero, "a\r\nb\r\nc\x1a\r\nd", 4},
        {withZero, "a\r\nb\r\nc\x1a\r\nd", 5}, // compared in full, so a file with a 0 always reloads
    };
    forEachEditor([&](auto& editor) {
        editor.setText("one\r\ntwo");
        for (const auto& [bytes, text, notifications] : rows) {
            dir.writeFile("msg.txt", bytes);
            qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
            EXPECT_EQ(editor.text(), text);
            EXPECT_EQ(editor.changeNotifications(), notifications);
            EXPECT_EQ(dir.readFile("msg.txt"), bytes);
        }
    });
}

TEST_F(FileOpsTest, LoadEditorAdjustsLargeFilesWholeWhateverBufferIsGiven)
{
    std::mt19937 random(5);
    std::string bytes = textWithBreaks(random, 700000, 2, 0);
    // Pairs and lone breaks at the boundaries of 64 KiB and 256 KiB stretches, where reads may split.
    bytes.replace(65535, 2, "\r\n");
    bytes.replace(262143, 2, "\r\n");
    bytes.replace(524287, 2, "\rx");
    bytes.replace(589823, 2, "x\n");
    dir.writeFile("msg.txt", bytes);
    for (const std::size_t storage : {std::size_t(0), std::size_t(800000), std::size_t(100), bytes.size()}) {
        qbtest::FakeEditor editor;
        qb::loadEditorFromFile(io, editor, dir.file("msg.txt"), std::string(storage, 'z'));
        ASSERT_EQ(editor.text(), qbtest::widenedByHand(bytes)) << storage;
        EXPECT_EQ(editor.changeNotifications(), 1);
    }
    // A byte 0 far in: the editor shows the adjusted text before it.
    bytes[600001] = '\0';
    dir.writeFile("msg.txt", bytes);
    qbtest::FakeEditor editor;
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.text(), qbtest::widenedByHand(bytes.substr(0, 600001)));
    // Loading the same file again: the full adjusted text differs from the shown one, so it reloads.
    qb::loadEditorFromFile(io, editor, dir.file("msg.txt"));
    EXPECT_EQ(editor.changeNotifications(), 2);
    EXPECT_EQ(dir.readFile("msg.txt"), bytes);
}

TEST_F(FileOpsTest, LoadEditorFailuresNameTheFileAndLeaveTheEditorAlone)
{
    dir.makeFolder("folder");
    dir.writeFile("held.txt", "x");
    const auto held = qbtest::openFile(io, dir.file("held.txt"));
    // One byte past the capacity on disk: refused by its size before it is read.
    qbtest::makeSparseFile(dir.file("big"), qb::kMemoCapacity + 1);
    qbtest::FakeEditor editor;
    editor.type("kept");
    const std::pair<std::string, std::string> rows[] = {
        {dir.file("missing.txt"), "Cannot open file " + dir.file("missing.txt")},
        {dir.file("folder"), "Cannot open file " + dir.file("folder")},
        {"", "Cannot open file "},
        {dir.file("held.txt"), "Cannot open file " + dir.file("held.txt")},
        {dir.file("big"), "Text exceeds memo capacity"},
    };
    for (const auto& [name, message] : rows)
        EXPECT_EQ(errorTextOf([&] { qb::loadEditorFromFile(io, editor, name); }), message);
    EXPECT_EQ(editor.text(), "kept");
    EXPECT_EQ(editor.changeNotifications(), 1);
}

} // namespace
