#include "Errors.h"
#include "TempDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using qb::IoContext;
using qb::TextFile;
using qbtest::TempDir;

const std::string kMark(1, '\x1a');

// Reads a list file the way the list readers do: read a line, then test for the end.
std::vector<std::string> readListLines(IoContext& io, const std::string& path, std::size_t bufferSize)
{
    TextFile file(io, TextFile::Reading::Text, bufferSize);
    file.assign(path);
    file.reset();
    EXPECT_EQ(io.ioResult(), 0);
    std::vector<std::string> lines;
    do
        lines.push_back(file.readLine());
    while (!file.eof() && lines.size() < 100);
    file.close();
    return lines;
}

struct LineCase
{
    std::string bytes;
    std::vector<std::string> lines;
};

class ReadLineTable : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(ReadLineTable, SplitsOnCrOrCrLfAndStopsAtTheMark)
{
    const std::vector<LineCase> cases = {
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
    TempDir dir;
    IoContext io;
    for (const LineCase& row : cases) {
        dir.writeFile("list.cfg", row.bytes);
        EXPECT_EQ(readListLines(io, dir.file("list.cfg"), GetParam()), row.lines) << "bytes: " << row.bytes;
    }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, ReadLineTable, ::testing::Values(1, 2, 128, 65536));

TEST(TextFileRead, EndOfDataMarkIsReturnedAndNeverPassed)
{
    TempDir dir;
    dir.writeFile("key", "a\r\n" + kMark + "b");
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("key"));
    file.reset();
    EXPECT_FALSE(file.eof());
    EXPECT_EQ(file.readByte(), 'a');
    EXPECT_EQ(file.readByte(), '\r');
    EXPECT_EQ(file.readByte(), '\n');
    EXPECT_TRUE(file.eof());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(file.readByte(), 26);
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(file.readLine(), "");
    EXPECT_EQ(file.readLine(), "");
    file.close();
    EXPECT_EQ(io.ioResult(), 0);

    dir.writeFile("empty", "");
    file.assign(dir.file("empty"));
    file.reset();
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(io.ioResult(), 0);
}

TEST(TextFileRead, ReadBytesStopsAtTheMarkInTextMode)
{
    TempDir dir;
    dir.writeFile("m", "hello" + kMark + "world");
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("m"));
    file.reset();
    unsigned char out[32] = {};
    EXPECT_EQ(file.readBytes(out, sizeof out), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), "hello");
    EXPECT_EQ(file.readBytes(out, sizeof out), 0u);
    EXPECT_EQ(file.readByte(), 26);
}

TEST(TextFileRead, LargeReadsStopAtTheMarkWhichStaysForEveryLaterRead)
{
    TempDir dir;
    dir.writeFile("m", std::string(600, 'a') + kMark + std::string(399, 'b'));
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("m"));
    file.reset();
    std::string out(1000, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    EXPECT_EQ(file.readBytes(bytes, out.size()), 600u);
    EXPECT_EQ(out.substr(0, 600), std::string(600, 'a'));
    EXPECT_EQ(file.readBytes(bytes, out.size()), 0u);
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(file.readLine(), "");
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(io.ioResult(), 0);
}

TEST(TextFileCopy, CopiesPlainBytesAfterWhatIsBufferedOnEitherSide)
{
    TempDir dir;
    std::mt19937 random(11);
    std::string bytes(300000, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xff);
    dir.writeFile("from", bytes);
    IoContext io;
    TextFile from(io, TextFile::Reading::PlainBytes);
    from.assign(dir.file("from"));
    from.reset();
    TextFile to(io);
    to.assign(dir.file("to"));
    to.rewrite();
    to.writeString("head");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(from.readByte(), static_cast<unsigned char>(bytes[i]));
    EXPECT_EQ(from.copyTo(to, 200000), 200000u);
    // Asked for more than is left: copies the rest and says how much that was.
    EXPECT_EQ(from.copyTo(to, 1000000), bytes.size() - 200003);
    EXPECT_EQ(from.copyTo(to, 10), 0u);
    to.close();
    from.close();
    EXPECT_EQ(io.ioResult(), 0);
    EXPECT_EQ(dir.readFile("to"), "head" + bytes.substr(3));
}

TEST(TextFileCopy, TextModeStopsAtTheMarkAndClosedFilesCopyNothing)
{
    TempDir dir;
    dir.writeFile("from", "abc" + kMark + "def");
    IoContext io;
    TextFile from(io);
    from.assign(dir.file("from"));
    TextFile to(io);
    to.assign(dir.file("to"));
    to.rewrite();
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

TEST(TextFilePlainBytes, CarriesTheMarkAndEndsOnlyAtThePhysicalEnd)
{
    TempDir dir;
    const std::string bytes = "a" + kMark + "\r" + kMark;
    dir.writeFile("cipher", bytes);
    IoContext io;
    TextFile file(io, TextFile::Reading::PlainBytes);
    file.assign(dir.file("cipher"));
    file.reset();
    std::string got;
    while (!file.eof())
        got.push_back(static_cast<char>(file.readByte()));
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(file.readByte(), 26); // at the physical end: 26, without moving
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(io.ioResult(), 0);
}

TEST(TextFilePlainBytes, BulkReadReturnsEveryByteAcrossBufferAndDirectReads)
{
    TempDir dir;
    std::mt19937 random(7);
    std::string bytes(300000, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xff);
    dir.writeFile("big", bytes);
    IoContext io;
    TextFile file(io, TextFile::Reading::PlainBytes);
    file.assign(dir.file("big"));
    file.reset();
    std::string got(bytes.size() + 10, '\0');
    auto* out = reinterpret_cast<unsigned char*>(got.data());
    std::size_t done = 0;
    // A few single bytes first, so the bulk read starts from a part-used buffer.
    for (int i = 0; i < 3; ++i)
        out[done++] = file.readByte();
    done += file.readBytes(out + done, 50);
    done += file.readBytes(out + done, got.size() - done);
    got.resize(done);
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(file.eof());
}

TEST(TextFileWrite, WritesBytesUnchangedAndLinesWithCrLf)
{
    TempDir dir;
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("out"));
    file.rewrite();
    file.writeLine("alice");
    file.writeString(std::string("\n\r\0", 3) + kMark);
    file.writeByte(0);
    file.writeByte(255);
    file.writeLine("");
    file.close();
    EXPECT_EQ(io.ioResult(), 0);
    EXPECT_EQ(dir.readFile("out"), std::string("alice\r\n\n\r\0\x1a\0\xff\r\n", 15));
}

TEST(TextFileWrite, OutputReachesTheFileWhenTheBufferFillsAndOnClose)
{
    TempDir dir;
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("out"));
    file.rewrite();
    file.writeLine("short");
    EXPECT_EQ(dir.readFile("out"), ""); // no flushing per line
    std::string expected = "short\r\n";
    for (int i = 0; i < 200; ++i) {
        file.writeByte(static_cast<unsigned char>('a' + i % 26));
        expected.push_back(static_cast<char>('a' + i % 26));
    }
    EXPECT_EQ(dir.readFile("out"), expected.substr(0, 128));
    const std::string bulk(1000, 'z');
    file.writeString(bulk);
    expected += bulk;
    file.close();
    EXPECT_EQ(dir.readFile("out"), expected);
}

TEST(TextFileWrite, RewriteTruncatesAnExistingFile)
{
    TempDir dir;
    dir.writeFile("out", "old contents");
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("out"));
    file.rewrite();
    file.writeString("new");
    file.close();
    EXPECT_EQ(dir.readFile("out"), "new");
}

TEST(TextFileWrite, DestructorClosesFlushesAndReleasesTheFile)
{
    TempDir dir;
    IoContext io;
    {
        TextFile file(io);
        file.assign(dir.file("out"));
        file.rewrite();
        file.writeString("kept");
        EXPECT_EQ(io.openFiles().count(), 1);
    }
    EXPECT_EQ(io.openFiles().count(), 0);
    EXPECT_EQ(dir.readFile("out"), "kept");
    TextFile again(io);
    again.assign(dir.file("out"));
    again.rewrite();
    EXPECT_EQ(io.ioResult(), 0);
}

struct AppendCase
{
    const char* what;
    std::string before;
    std::string after;
};

TEST(TextFileAppend, CutsAtTheFirstMarkAmongTheLastBufferOfBytes)
{
    const std::string longTail(127, 't');
    const std::vector<AppendCase> cases = {
        {"no mark", "a\r\n", "a\r\nX"},
        {"mark at the end", "a\r\n" + kMark, "a\r\nX"},
        {"first of two marks", "ab" + kMark + "cd" + kMark + "ef", "abX"},
        {"mark first in a short file", kMark + "abc", "X"},
        {"mark exactly 128 from the end", "head" + kMark + longTail, "headX"},
        {"mark 129 from the end is kept", "head" + kMark + longTail + "u", "head" + kMark + longTail + "uX"},
        {"empty file", "", "X"},
    };
    TempDir dir;
    IoContext io;
    for (const AppendCase& row : cases) {
        dir.writeFile("list.cfg", row.before);
        TextFile file(io);
        file.assign(dir.file("list.cfg"));
        file.append();
        file.writeString("X");
        file.close();
        EXPECT_EQ(io.ioResult(), 0) << row.what;
        EXPECT_EQ(dir.readFile("list.cfg"), row.after) << row.what;
    }
}

TEST(TextFileAppend, NeedsAnExistingFileAndCreatesNothing)
{
    TempDir dir;
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("missing.cfg"));
    file.append();
    EXPECT_EQ(io.ioResult(), 2);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(dir.exists("missing.cfg"));
    file.assign(dir.file("nofolder/x.cfg"));
    file.append();
    EXPECT_EQ(io.ioResult(), 3);
    EXPECT_FALSE(dir.exists("nofolder"));
}

struct OpenCase
{
    const char* what;
    std::string relative;
    int resetCode;
    int rewriteCode;
};

TEST(TextFileCodes, OperatingSystemFailuresMapToTheProgramsCodes)
{
    TempDir dir;
    dir.writeFile("plain", "x");
    dir.makeFolder("folder");
    const std::vector<OpenCase> cases = {
        {"missing file", "nothere", 2, 0},
        {"missing folder", "nofolder/file", 3, 3},
        {"missing folders", "no/such/file", 3, 3},
        {"a file used as a folder", "plain/file", 3, 3},
        {"a folder", "folder", 5, 5},
    };
    for (const OpenCase& row : cases) {
        IoContext io;
        TextFile file(io);
        file.assign(dir.file(row.relative));
        file.reset();
        EXPECT_EQ(io.ioResult(), row.resetCode) << row.what;
        file.close();
        EXPECT_EQ(io.ioResult(), row.resetCode == 0 ? 0 : 103) << row.what;
        file.rewrite();
        EXPECT_EQ(io.ioResult(), row.rewriteCode) << row.what;
        file.close();
        io.ioResult();
    }
}

TEST(TextFileCodes, ReadOnlyFolderDeniesCreation)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    TempDir dir;
    dir.makeFolder("locked");
    ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0500), 0);
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("locked/new.cfg"));
    file.rewrite();
    EXPECT_EQ(io.ioResult(), 5);
}

TEST(TextFileCodes, OnePendingCodeOverwrittenByEachFailureAndClearedWhenTaken)
{
    TempDir dir;
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("missing"));
    file.reset();
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

TEST(TextFileCodes, WrongDirectionAndClosedFiles)
{
    TempDir dir;
    dir.writeFile("in", "abc");
    IoContext io;
    TextFile file(io);
    file.assign(dir.file("in"));
    EXPECT_EQ(file.readByte(), 26);
    EXPECT_EQ(io.ioResult(), 103);
    file.writeByte('x');
    EXPECT_EQ(io.ioResult(), 103);
    file.reset();
    file.writeString("x");
    EXPECT_EQ(io.ioResult(), 105);
    file.writeByte('x');
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

TEST(TextFileNames, EmptyNameFailsWithoutTouchingAnyFile)
{
    TempDir dir;
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    IoContext io;
    TextFile file(io);
    file.assign("");
    file.reset();
    EXPECT_EQ(io.ioResult(), 2);
    file.rewrite();
    EXPECT_EQ(io.ioResult(), 2);
    file.append();
    EXPECT_EQ(io.ioResult(), 2);
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TextFileNames, LongNamesAreCutTo259Characters)
{
    TempDir dir;
    const std::string folder = dir.file(std::string(120, 'd'));
    std::filesystem::create_directory(folder);
    const std::string cut = folder + "/" + std::string(qb::kMaxFileNameLength - folder.size() - 1, 'f');
    ASSERT_EQ(cut.size(), 259u);
    IoContext io;
    TextFile file(io);
    file.assign(cut + "-and-more-that-is-dropped");
    EXPECT_EQ(file.name(), cut);
    file.rewrite();
    file.close();
    EXPECT_EQ(io.ioResult(), 0);
    EXPECT_TRUE(std::filesystem::exists(cut));
}

// Sharing: the same file reached through other spellings is still the same file.
class SharingSpelling : public ::testing::TestWithParam<const char*>
{
};

TEST_P(SharingSpelling, WriterIsRefusedWhileReadingAndDoesNotTruncate)
{
    TempDir dir;
    dir.makeFolder("sub");
    dir.writeFile("users.cfg", "alice\r\nbob\r\n");
    ASSERT_EQ(::symlink(dir.file("users.cfg").c_str(), dir.file("link.cfg").c_str()), 0);
    qbtest::ScopedWorkingDirectory cwd(dir.path());
    std::string other = GetParam();
    if (other == "ABSOLUTE")
        other = dir.file("users.cfg");

    IoContext io;
    TextFile reader(io);
    reader.assign("users.cfg");
    reader.reset();
    ASSERT_EQ(io.ioResult(), 0);

    TextFile writer(io);
    writer.assign(other);
    writer.rewrite();
    EXPECT_EQ(io.ioResult(), 32);
    writer.append();
    EXPECT_EQ(io.ioResult(), 32);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(dir.readFile("users.cfg"), "alice\r\nbob\r\n");
    EXPECT_EQ(reader.readLine(), "alice");

    TextFile secondReader(io);
    secondReader.assign(other);
    secondReader.reset();
    EXPECT_EQ(io.ioResult(), 0);
    secondReader.close();

    reader.close();
    writer.rewrite();
    EXPECT_EQ(io.ioResult(), 0);
    reader.reset();
    EXPECT_EQ(io.ioResult(), 32);
    TextFile secondWriter(io);
    secondWriter.assign("users.cfg");
    secondWriter.append();
    EXPECT_EQ(io.ioResult(), 32);
}

INSTANTIATE_TEST_SUITE_P(Spellings, SharingSpelling,
                         ::testing::Values("users.cfg", "ABSOLUTE", "./users.cfg", "sub/../users.cfg", "link.cfg"));

} // namespace
