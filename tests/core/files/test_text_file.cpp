#include "Errors.h"
#include "ListText.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using qb::IoContext;
using qb::TextFile;
using Reading = qb::TextFile::Reading;

const std::string kMark(1, '\x1a');
const auto kReset = &TextFile::reset;
const auto kRewrite = &TextFile::rewrite;
const auto kAppend = &TextFile::append;

class TextFileTest : public ::testing::Test
{
protected:
    // A file of the temporary folder, opened by `how`; it stays open until closed or the test ends.
    TextFile& open(const std::string& relative, void (TextFile::*how)() = kReset, Reading reading = Reading::Text,
                   std::size_t bufferSize = qb::kTextBufferSize)
    {
        m_files.push_back(qbtest::openFile(io, dir.file(relative), how, reading, bufferSize));
        return *m_files.back();
    }

    qbtest::TempDir dir;
    IoContext io;

private:
    std::vector<std::unique_ptr<TextFile>> m_files;
};

class ReadLineTable : public TextFileTest, public ::testing::WithParamInterface<std::size_t>
{
};

// Lists' bytes and the lines the list readers take from them.
std::vector<std::pair<std::string, std::vector<std::string>>> listRows()
{
    return {
        {"", {""}},
        {"\r\n", {""}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"one\ntwo\r\n", {"one\ntwo"}},
        {"a\rb\r\n", {"a", "b"}},
        {"a\n\rb", {"a\n", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"ab" + kMark + "cd\r\n", {"ab"}},
        {"a\r" + kMark + "\nb", {"a"}},
        {kMark + "a\r\n", {""}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
        {std::string(127, 'x') + "\r\ny", {std::string(127, 'x'), "y"}},
        {std::string(128, 'x') + "\r\ny", {std::string(128, 'x'), "y"}},
    };
}

// The list readers read a line, then test for the end; every buffer size must give the same lines.
TEST_P(ReadLineTable, SplitsOnCrOrCrLfAndStopsAtTheMark)
{
    for (const auto& [bytes, expected] : listRows()) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        dir.writeFile("list.cfg", bytes);
        TextFile& file = open("list.cfg", kReset, Reading::Text, GetParam());
        EXPECT_EQ(io.ioResult(), 0);
        std::vector<std::string> lines;
        do
            lines.push_back(file.readLine());
        while (!file.eof() && lines.size() < 100);
        EXPECT_EQ(lines, expected);
        file.close();
    }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, ReadLineTable, ::testing::Values(1, 2, 128, 65536));

// A list is split into lines in one pass and searched for a line without being split at all; both must agree with
// reading it a line at a time, also where a line stands across two of the pieces a long list is searched in.
TEST_F(TextFileTest, ListSplitAndLineSearchAgreeWithReadingLineByLine)
{
    std::vector<std::pair<std::string, std::vector<std::size_t>>> lists;
    for (const auto& row : listRows())
        lists.push_back({row.first, {}});
    // Lines of every length mod 16 and line ends of both kinds; the ones to look for lie at the pieces' edges.
    std::string longList;
    std::vector<std::size_t> nearEdges;
    for (std::size_t index = 0, edge = qb::LineSearch::kPiece; edge < 3 * qb::LineSearch::kPiece; ++index) {
        if (longList.size() + 40 > edge) {
            nearEdges.push_back(index);
            if (longList.size() > edge + 4)
                edge += qb::LineSearch::kPiece;
        }
        longList += (index % 7 == 0 ? "\n" : "") + std::string(index % 16, '-') + "name" + std::to_string(index) +
                    (index % 3 == 0 ? "\r" : "\r\n");
    }
    lists.push_back({longList, nearEdges});
    for (const auto& [bytes, lookFor] : lists) {
        SCOPED_TRACE(::testing::PrintToString(bytes.substr(0, 40)));
        dir.writeFile("list.cfg", bytes);
        TextFile& reader = open("list.cfg");
        std::vector<std::string> lines;
        do
            lines.push_back(reader.readLine());
        while (!reader.eof());
        reader.close();

        std::size_t lastLineStart = 0;
        const qb::ListLines split = qb::splitListLines(bytes, lastLineStart);
        std::vector<std::string> splitLines;
        for (std::size_t index = 0; index < split.size(); ++index)
            splitLines.emplace_back(split[index]);
        EXPECT_EQ(splitLines, lines);
        EXPECT_EQ(bytes.compare(lastLineStart, lines.back().size(), lines.back()), 0);

        TextFile& list = open("list.cfg", kAppend);
        std::vector<std::size_t> indexes = lookFor;
        if (indexes.empty()) {
            for (std::size_t index = 0; index < lines.size(); ++index)
                indexes.push_back(index);
        }
        for (const std::size_t index : indexes) {
            const std::string& line = lines[index];
            EXPECT_TRUE(list.holdsLine(line)) << line;
            for (const std::string& other :
                 {line + "x", line.substr(line.empty() ? 0 : 1), "\n" + line, line + "\r", std::string()}) {
                const bool held = std::find(lines.begin(), lines.end(), other) != lines.end();
                EXPECT_EQ(list.holdsLine(other), held) << ::testing::PrintToString(other);
            }
        }
        EXPECT_EQ(io.ioResult(), 0);
        list.close();
    }
}

TEST_F(TextFileTest, ReadsStopAtTheEndOfDataAndEveryLaterReadStaysThere)
{
    const std::string as(600, 'a');
    const struct
    {
        const char* what;
        Reading reading;
        bool bulk;
        std::string bytes, before;
    } rows[] = {
        {"byte reads up to the mark", Reading::Text, false, "a\r\n" + kMark + "b", "a\r\n"},
        {"empty file", Reading::Text, false, "", ""},
        {"bulk read up to the mark", Reading::Text, true, "hello" + kMark + "world", "hello"},
        {"bulk read over the buffer", Reading::Text, true, as + kMark + std::string(399, 'b'), as},
        {"plain bytes carry the mark", Reading::PlainBytes, false, "a" + kMark + "\r" + kMark,
         "a" + kMark + "\r" + kMark},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        dir.writeFile("m", row.bytes);
        TextFile& file = open("m", kReset, row.reading);
        std::string got(1000, '\0');
        if (row.bulk) {
            got.resize(file.readBytes(reinterpret_cast<unsigned char*>(got.data()), got.size()));
        } else {
            got.clear();
            while (!file.eof() && got.size() < 1000)
                got.push_back(static_cast<char>(file.readByte()));
        }
        EXPECT_EQ(got, row.before);
        unsigned char rest[16];
        EXPECT_EQ(file.readBytes(rest, sizeof rest), 0u);
        EXPECT_TRUE(file.eof());
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(file.readByte(), 26);
        EXPECT_EQ(file.readLine(), "");
        EXPECT_EQ(file.readLine(), "");
        EXPECT_TRUE(file.eof());
        EXPECT_EQ(io.ioResult(), 0);
    }
}

TEST_F(TextFileTest, PlainBytesPassWholeThroughBulkReadsAndCopies)
{
    const std::string bytes = qbtest::randomBytes(300000, 7);
    dir.writeFile("big", bytes);
    TextFile& file = open("big", kReset, Reading::PlainBytes);
    TextFile& from = open("big", kReset, Reading::PlainBytes);
    TextFile& to = open("to", kRewrite);
    to.writeString("head");
    std::string got(bytes.size() + 10, '\0');
    auto* out = reinterpret_cast<unsigned char*>(got.data());
    // A few single bytes first, so bulk reads and copies start from a part-used buffer.
    std::size_t done = 0;
    for (; done < 3; ++done) {
        out[done] = file.readByte();
        EXPECT_EQ(from.readByte(), static_cast<unsigned char>(bytes[done]));
    }
    done += file.readBytes(out + done, 50);
    done += file.readBytes(out + done, got.size() - done);
    got.resize(done);
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(file.eof());

    EXPECT_EQ(from.copyTo(to, 200000), 200000u);
    // Asked for more than is left: copies the rest and says how much that was.
    EXPECT_EQ(from.copyTo(to, 1000000), bytes.size() - 200003);
    EXPECT_EQ(from.copyTo(to, 10), 0u);
    to.close();
    EXPECT_EQ(io.ioResult(), 0);
    EXPECT_EQ(dir.readFile("to"), "head" + bytes.substr(3));
}

TEST_F(TextFileTest, CopyToStopsAtTheMarkInTextModeAndClosedFilesCopyNothing)
{
    dir.writeFile("from", "abc" + kMark + "def");
    TextFile from(io);
    from.assign(dir.file("from"));
    TextFile& to = open("to", kRewrite);
    EXPECT_EQ(from.copyTo(to, 100), 0u);
    EXPECT_EQ(io.ioResult(), 103);
    from.reset();
    EXPECT_EQ(from.copyTo(to, 100), 3u);
    EXPECT_EQ(io.ioResult(), 0);
    to.close();
    EXPECT_EQ(from.copyTo(to, 100), 0u);
    EXPECT_EQ(io.ioResult(), 103);
    EXPECT_EQ(dir.readFile("to"), "abc");
}

TEST_F(TextFileTest, RewriteReplacesTheContentAtCloseWithBytesUnchangedAndLinesWithCrLf)
{
    dir.writeFile("out", std::string(100, 'o'));
    TextFile& file = open("out", kRewrite);
    file.writeLine("alice");
    file.writeString(std::string("\n\r\0", 3) + kMark);
    file.writeString(std::string("\0\xff", 2));
    file.writeLine("");
    EXPECT_EQ(dir.readFile("out"), std::string(100, 'o')); // the old content stays whole until the close
    std::string expected("alice\r\n\n\r\0\x1a\0\xff\r\n", 15);
    for (int i = 0; i < 200; ++i) {
        const auto byte = static_cast<unsigned char>('a' + i % 26);
        file.writeBytes(&byte, 1);
        expected.push_back(static_cast<char>('a' + i % 26));
    }
    EXPECT_EQ(dir.readFile("out"), std::string(100, 'o'));
    file.writeString(std::string(1000, 'z'));
    file.close();
    EXPECT_EQ(io.ioResult(), 0);
    EXPECT_EQ(dir.readFile("out"), expected + std::string(1000, 'z'));
}

TEST_F(TextFileTest, DestructorReleasesTheFileAndWhatWasNotClosedChangesNothing)
{
    dir.writeFile("out", "old");
    for (const auto how : {kRewrite, kAppend}) {
        auto file = qbtest::openFile(io, dir.file("out"), how);
        file->writeString(std::string(300, 'x'));
        EXPECT_GE(io.openFiles().count(), 1);
    }
    EXPECT_EQ(io.openFiles().count(), 0);
    EXPECT_EQ(dir.readFile("out"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no new file left beside it";
    open("out", kRewrite);
    EXPECT_EQ(io.ioResult(), 0);
}

TEST_F(TextFileTest, AppendCutsAtTheFirstMarkAmongTheLastBufferOfBytes)
{
    const std::string longTail(127, 't');
    const std::pair<std::string, std::string> rows[] = {
        {"a\r\n", "a\r\nX"},                                                 // no mark
        {"a\r\n" + kMark, "a\r\nX"},                                         // mark at the end
        {"ab" + kMark + "cd" + kMark + "ef", "abX"},                         // first of two marks
        {kMark + "abc", "X"},                                                // mark first in a short file
        {"head" + kMark + longTail, "headX"},                                // mark exactly 128 from the end
        {"head" + kMark + longTail + "u", "head" + kMark + longTail + "uX"}, // 129 from the end: kept
        {"", "X"},
    };
    for (const auto& [before, after] : rows) {
        SCOPED_TRACE(::testing::PrintToString(before));
        dir.writeFile("list.cfg", before);
        TextFile& file = open("list.cfg", kAppend);
        file.writeString("X");
        file.close();
        EXPECT_EQ(io.ioResult(), 0);
        EXPECT_EQ(dir.readFile("list.cfg"), after);
    }
}

TEST_F(TextFileTest, OperatingSystemFailuresMapToTheProgramsCodesAndAppendCreatesNothing)
{
    dir.writeFile("plain", "x");
    dir.makeFolder("folder");
    const struct
    {
        const char* relative;
        int resetCode, appendCode, rewriteCode;
    } rows[] = {
        {"missing", 2, 2, 0},    {"nofolder/file", 3, 3, 3}, {"no/such/file", 3, 3, 3},
        {"plain/file", 3, 3, 3}, {"folder", 5, 5, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.relative);
        TextFile& file = open(row.relative);
        EXPECT_EQ(io.ioResult(), row.resetCode);
        file.close();
        EXPECT_EQ(io.ioResult(), 103);
        const bool existed = dir.exists(row.relative);
        file.append();
        EXPECT_EQ(io.ioResult(), row.appendCode);
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(dir.exists(row.relative), existed);
        file.rewrite();
        EXPECT_EQ(io.ioResult(), row.rewriteCode);
        file.close();
        io.ioResult();
    }
    EXPECT_FALSE(dir.exists("nofolder") || dir.exists("no"));
}

TEST_F(TextFileTest, ReadOnlyFolderDeniesCreation)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    dir.makeFolder("locked");
    ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0500), 0);
    open("locked/new.cfg", kRewrite);
    EXPECT_EQ(io.ioResult(), 5);
}

TEST_F(TextFileTest, OnePendingCodeOverwrittenByEachFailureAndClearedWhenTaken)
{
    TextFile& file = open("missing");
    EXPECT_EQ(io.pending(), 2);
    file.assign(dir.file("nofolder/missing"));
    file.reset(); // not skipped although a code is pending
    EXPECT_EQ(io.pending(), 3);
    file.close();
    EXPECT_EQ(io.ioResult(), 103);
    EXPECT_EQ(io.ioResult(), 0);
    file.close();
    EXPECT_THROW(io.check(), qb::EInOutError);
    EXPECT_EQ(io.pending(), 0);
}

TEST_F(TextFileTest, WrongDirectionAndClosedFiles)
{
    dir.writeFile("in", "abc");
    TextFile file(io);
    file.assign(dir.file("in"));
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(io.ioResult(), 103);
    file.writeString("x");
    EXPECT_EQ(io.ioResult(), 103);
    file.reset();
    file.writeString("x");
    EXPECT_EQ(io.ioResult(), 105);
    EXPECT_EQ(file.readByte(), 'a'); // the failed write left the input alone
    file.rewrite();
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(io.ioResult(), 104);
    EXPECT_EQ(file.readLine(), "");
    EXPECT_EQ(io.ioResult(), 104);
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(io.ioResult(), 104);
}

TEST_F(TextFileTest, EmptyNameFailsWithoutTouchingAnyFile)
{
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    TextFile file(io);
    file.assign("");
    for (const auto how : {kReset, kRewrite, kAppend}) {
        (file.*how)();
        EXPECT_EQ(io.ioResult(), 2);
    }
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Sharing: the same file reached through other spellings is still the same file.
class SharingSpelling : public TextFileTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(SharingSpelling, WriterIsRefusedWhileReadingAndDoesNotTruncate)
{
    dir.makeFolder("sub");
    dir.writeFile("users.cfg", "alice\r\nbob\r\n");
    ASSERT_EQ(::symlink(dir.file("users.cfg").c_str(), dir.file("link.cfg").c_str()), 0);
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    const std::string other = std::string(GetParam()) == "ABSOLUTE" ? dir.file("users.cfg") : GetParam();

    const auto reader = qbtest::openFile(io, "users.cfg");
    ASSERT_EQ(io.ioResult(), 0);
    TextFile writer(io);
    writer.assign(other);
    writer.rewrite();
    EXPECT_EQ(io.ioResult(), 32);
    writer.append();
    EXPECT_EQ(io.ioResult(), 32);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(dir.readFile("users.cfg"), "alice\r\nbob\r\n");
    EXPECT_EQ(reader->readLine(), "alice");
    qbtest::openFile(io, other)->close();
    EXPECT_EQ(io.ioResult(), 0) << "a second reader is let in";

    reader->close();
    writer.rewrite();
    EXPECT_EQ(io.ioResult(), 0);
    reader->reset();
    EXPECT_EQ(io.ioResult(), 32);
    qbtest::openFile(io, "users.cfg", kAppend);
    EXPECT_EQ(io.ioResult(), 32);
}

INSTANTIATE_TEST_SUITE_P(Spellings, SharingSpelling,
                         ::testing::Values("users.cfg", "ABSOLUTE", "./users.cfg", "sub/../users.cfg", "link.cfg"));

} // namespace

namespace {

// A replaced file keeps its bits only when it is the caller's: another user's, planted open to all, is replaced as a
// new file would be made, so whoever planted it cannot read what replaces it.
TEST_F(TextFileTest, AReplacedFileKeepsItsBitsOnlyWhenItIsTheCallersOwn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    const mode_t old = ::umask(077);
    for (const bool planted : {false, true}) {
        SCOPED_TRACE(planted ? "another user's file" : "the caller's own file");
        dir.writeFile("shared", "old");
        ::chmod(dir.file("shared").c_str(), 0666);
        if (planted) {
            ASSERT_EQ(::chown(dir.file("shared").c_str(), 65534, 65534), 0);
        }
        TextFile& file = open("shared", kRewrite);
        file.writeString("secret");
        file.close();
        ASSERT_EQ(io.ioResult(), 0);
        struct stat info
        {
        };
        ASSERT_EQ(::stat(dir.file("shared").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, planted ? 0600u : 0666u);
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(dir.readFile("shared"), "secret");
    }
    ::umask(old);
}

} // namespace
