#include "IoCodes.h"
#include "PosixFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every link on a path, wherever it stands, is followed only as the protected-symlinks rule allows: not in a sticky
// folder anyone may write to unless it is the caller's or that folder's owner's, whatever the system's setting.
TEST(Links, EveryLinkOnAPathIsFollowedOnlyWhereTheProtectedSymlinksRuleAllows)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of other users are made as root";
    constexpr uid_t kFolderOwner = 65533;
    constexpr uid_t kOther = 65534;
    qbtest::TempDir dir;
    dir.makeFolder("shared");
    ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01777), 0);
    ASSERT_EQ(::chown(dir.file("shared").c_str(), kFolderOwner, kFolderOwner), 0);
    dir.makeFolder("plain");
    dir.makeFolder("private");
    dir.writeFile("private/passwd", "root's");
    const auto link = [&](const std::string& at, const std::string& to, uid_t owner) {
        ASSERT_EQ(::symlink(to.c_str(), dir.file(at).c_str()), 0);
        ASSERT_EQ(::lchown(dir.file(at).c_str(), owner, owner), 0);
    };
    link("shared/other", dir.file("private"), kOther);
    link("shared/mine", dir.file("private"), 0);
    link("shared/owners", "../private", kFolderOwner);
    link("shared/end", dir.file("private/passwd"), kOther);
    link("shared/dangling", dir.file("private/new"), 0);
    link("plain/other", dir.file("private"), kOther);
    // A chain longer than the kernel follows.
    link("plain/loop0", dir.file("private"), 0);
    for (int i = 1; i <= 40; ++i)
        link("plain/loop" + std::to_string(i), "loop" + std::to_string(i - 1), 0);

    struct stat privateFolder
    {
    };
    ASSERT_EQ(::stat(dir.file("private").c_str(), &privateFolder), 0);
    const struct
    {
        const char* path;
        int result;
        const char* leaf; // followed into the private folder, to this name
    } rows[] = {
        {"shared/other/passwd", qb::kRefusedLink, ""},
        {"shared/mine/passwd", 0, "passwd"},
        {"shared/owners/passwd", 0, "passwd"},
        {"shared/end", qb::kRefusedLink, ""},
        {"shared/dangling", 0, "new"},
        {"plain/other/passwd", 0, "passwd"},
        {"shared/../shared/other/../other/passwd", qb::kRefusedLink, ""},
        {"plain/loop39/passwd", 0, "passwd"},
        {"plain/loop40/passwd", ELOOP, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        qb::FilePlace place;
        ASSERT_EQ(place.locate(dir.file(row.path), "", qb::systemFileOperations()), row.result);
        if (row.result != 0)
            continue;
        EXPECT_EQ(place.leaf(), row.leaf);
        struct stat reached
        {
        };
        ASSERT_EQ(::fstat(place.folderDescriptor(), &reached), 0);
        EXPECT_EQ(reached.st_ino, privateFolder.st_ino) << "not the folder the links lead to";
    }
}

} // namespace
