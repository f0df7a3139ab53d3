// The stub's two system services: free space of a folder that may not exist yet, and running
// the command line after extraction.

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "support/temp_folder.h"
#include "zipsfx/system_services.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;

TEST(SystemServices, FreeSpaceOfAMissingFolderIsThatOfItsNearestParent) {
    TempFolder folder;
    struct statvfs info {};
    ASSERT_EQ(::statvfs(folder.Path().c_str(), &info), 0);
    const auto expected = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    const auto missing = FreeSpaceFor(folder / "not/made/yet");
    ASSERT_TRUE(missing.has_value());
    // The figure moves with other writers on the machine; the same file system gives about the same.
    const double ratio = static_cast<double>(*missing) / static_cast<double>(expected);
    EXPECT_GT(ratio, 0.99);
    EXPECT_LT(ratio, 1.01);
    EXPECT_TRUE(FreeSpaceFor("relative/missing").has_value());
}

TEST(SystemServices, ParentFolders) {
    EXPECT_EQ(ParentFolder("/opt/x/setup.exe"), "/opt/x");
    EXPECT_EQ(ParentFolder("/setup.exe"), "/");
    EXPECT_EQ(ParentFolder("setup.exe"), ".");
    EXPECT_EQ(ParentFolder("a/b"), "a");
}

TEST(SystemServices, TheCommandRunsInTheFolderAndItsStatusComesBack) {
    TempFolder folder;
    EXPECT_EQ(RunShellCommand("pwd > where.txt", folder.Path()), 0);
    EXPECT_EQ(ReadBytes(folder / "where.txt"), folder.Path().substr(0, folder.Path().size() - 1) + "\n");
    EXPECT_EQ(RunShellCommand("exit 7", folder.Path()), 7);
    EXPECT_EQ(RunShellCommand("kill -TERM $$", folder.Path()), 128 + 15);
    EXPECT_EQ(RunShellCommand("true", folder / "missing"), 127);  // the folder cannot be entered
}

}  // namespace
}  // namespace kitforge::zipsfx
