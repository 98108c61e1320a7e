#include "Errors.h"
#include "Session.h"
#include "TempDir.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The message getcurrentdirectory fails with, started in `folder`, or "<no error>".
std::string captureFailure(const std::string& folder, const std::function<void()>& spoil)
{
    const qbtest::ScopedWorkingDirectory inFolder(folder);
    spoil();
    qb::Session session;
    try {
        session.getcurrentdirectory();
    } catch (const qb::EDataDirectory& error) {
        EXPECT_EQ(session.currentdirectory, "");
        return error.what();
    }
    return "<no error>";
}

std::string expectedText(int code)
{
    return std::string("The folder the program was started in cannot be read: ") + std::strerror(code);
}

TEST(DataDirectory, AFolderRemovedAfterStartIsRefused)
{
    qbtest::TempDir dir;
    dir.makeFolder("gone");
    const std::string gone = dir.file("gone");
    EXPECT_EQ(captureFailure(gone, [&] { ASSERT_EQ(::rmdir(gone.c_str()), 0); }), expectedText(ENOENT));
}

TEST(DataDirectory, AFolderThatCannotBeListedIsRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    qbtest::TempDir dir;
    dir.makeFolder("unlisted");
    const std::string unlisted = dir.file("unlisted");
    EXPECT_EQ(captureFailure(unlisted, [&] { ASSERT_EQ(::chmod(unlisted.c_str(), 0300), 0); }), expectedText(EACCES));
    ::chmod(unlisted.c_str(), 0700);
}

TEST(DataDirectory, AFolderThatCannotBeWrittenIsRefusedNamingIt)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    qbtest::TempDir dir;
    dir.makeFolder("read-only");
    const std::string readOnly = dir.file("read-only");
    EXPECT_EQ(captureFailure(readOnly, [&] { ASSERT_EQ(::chmod(readOnly.c_str(), 0500), 0); }),
              "The data directory " + readOnly + " cannot be used: " + std::strerror(EACCES));
    ::chmod(readOnly.c_str(), 0700);
}

} // namespace

namespace {

TEST(DataDirectory, AnotherUsersFolderIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    qbtest::TempDir dir;
    dir.makeFolder("theirs");
    const std::string theirs = dir.file("theirs");
    EXPECT_EQ(captureFailure(theirs, [&] { ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0); }),
              "The data directory " + theirs + " cannot be used: it belongs to another user");
}

} // namespace
