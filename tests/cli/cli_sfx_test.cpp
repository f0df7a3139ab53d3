// kitforge-cli sfx run as a user runs it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "os/file.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

TEST(CliSfx, PacksTheFilesIntoAnExecutableNamedFromTheCurrentFolder) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "sub");
    WriteBytes(folder / "a.txt", "a\n");
    WriteBytes(folder / "sub/b.txt", "b\n");
    const auto made = RunProgram(
        {BuiltProgram("kitforge-cli"), "sfx", "a.txt", "sub/b.txt", "-o", "my.files.zip", "--delete", "final"},
        folder.Path());
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, folder / "my.exe" + "\n");
    EXPECT_FALSE(FileExists(folder / "my.zip"));

    const auto extracted = RunProgram({folder / "my.exe", "--silent", "-d", folder / "out"});
    ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
    EXPECT_EQ(ReadBytes(folder / "out/a.txt"), "a\n");
    EXPECT_EQ(ReadBytes(folder / "out/b.txt"), "b\n");
}

// Links planted at the names of the zip and the executable (in a shared folder, by another
// user) are never written through: both are made under their own names as regular files, and
// what the links point to is never created.
TEST(CliSfx, NeverWritesThroughALinkAtTheOutputNames) {
#ifdef _WIN32
    GTEST_SKIP() << "making a link needs a privilege on Windows";
#endif
    for (const char* planted : {"my.zip", "my.exe"}) {
        SCOPED_TRACE(planted);
        TempFolder folder;
        std::filesystem::create_directories(folder / "elsewhere");
        WriteBytes(folder / "a.txt", "a\n");
        const std::string target = folder / "elsewhere/victim";
        std::filesystem::create_symlink(target, folder / planted);
        const auto made =
            RunProgram({BuiltProgram("kitforge-cli"), "sfx", "a.txt", "-o", "my", "--delete", "final"}, folder.Path());
        ASSERT_EQ(made.status, 0) << made.err;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(target))) << "a link was followed";
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / "my.exe")));
        const auto extracted = RunProgram({folder / "my.exe", "--silent", "-d", folder / "out"});
        ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
        EXPECT_EQ(ReadBytes(folder / "out/a.txt"), "a\n");
    }
}

TEST(CliSfx, RefusesMissingFilesAndFilesOfOneNameBeforeWritingAnything) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "one");
    std::filesystem::create_directories(folder / "two");
    WriteBytes(folder / "one/a.txt", "1");
    WriteBytes(folder / "two/a.txt", "2");
    {
        const auto result =
            RunProgram({BuiltProgram("kitforge-cli"), "sfx", "one/a.txt", "missing.txt", "-o", "x"}, folder.Path());
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(folder / "missing.txt"), std::string::npos) << result.err;
    }
    {
        const auto result =
            RunProgram({BuiltProgram("kitforge-cli"), "sfx", "one/a.txt", "two/a.txt", "-o", "x"}, folder.Path());
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(folder / "two/a.txt"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FileExists(folder / "x.zip"));
    EXPECT_FALSE(FileExists(folder / "x.exe"));
    const auto usage = RunProgram({BuiltProgram("kitforge-cli"), "sfx", "one/a.txt"}, folder.Path());
    EXPECT_EQ(usage.status, 2) << usage.err;
}

}  // namespace
}  // namespace kitforge
