// Writing installed files: complete files under their names or nothing, links replaced and
// never followed, folders made as needed, the executable bit from the contents.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>

#include "os/errors.h"
#include "setup/safe_extraction.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(WriteFileThroughTemporary, ReplacesAFileOnlyWhenTheNewOneIsComplete) {
    TempFolder folder;
    const std::string dir = folder.Path() + "app";
    MakeFolders(dir);
    const mode_t old_mask = ::umask(027);
    WriteFileThroughTemporary(dir, "tool", 0755, [](File& out) { out.WriteAll(std::string_view("#!/bin/sh\n")); });
    ::umask(old_mask);
    EXPECT_EQ(ReadBytes(dir + "/tool"), "#!/bin/sh\n");
    EXPECT_EQ(ModeOf(dir + "/tool"), 0750u);

    EXPECT_THROW(WriteFileThroughTemporary(dir, "tool", 0644,
                                           [](File& out) {
                                               out.WriteAll(std::string_view("half"));
                                               throw ReadError("read", "installer", 0, "it ended early");
                                           }),
                 ReadError);
    EXPECT_EQ(ReadBytes(dir + "/tool"), "#!/bin/sh\n") << "a failed write must leave the old file";
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"tool"}) << "the temporary file must be gone";
}

TEST(WriteFileThroughTemporary, ReplacesALinkWithoutWritingThroughIt) {
    TempFolder folder;
    WriteBytes(folder / "victim", "precious");
    MakeFolders(folder.Path() + "app");
    ASSERT_EQ(::symlink((folder.Path() + "victim").c_str(), (folder.Path() + "app/a.txt").c_str()), 0);
    WriteFileThroughTemporary(folder.Path() + "app", "a.txt", 0644,
                              [](File& out) { out.WriteAll(std::string_view("new")); });
    EXPECT_EQ(ReadBytes(folder / "victim"), "precious");
    EXPECT_EQ(ReadBytes(folder / "app/a.txt"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat((folder.Path() + "app/a.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(WriteFileThroughTemporary, NamesTheFinalPathWhenTheFolderRefuses) {
    TempFolder folder;
    try {
        WriteFileThroughTemporary(folder.Path() + "missing", "a.txt", 0644, [](File&) {});
        FAIL() << "no error";
    } catch (const InOutError& e) {
        EXPECT_NE(std::string(e.what()).find(folder.Path() + "missing/a.txt"), std::string::npos) << e.what();
    }
}

TEST(MakeFolders, MakesEveryMissingFolderAndNamesAPartThatIsAFile) {
    TempFolder folder;
    MakeFolders(folder.Path() + "a/b/c");
    EXPECT_TRUE(FolderExists(folder.Path() + "a/b/c"));
    MakeFolders(folder.Path() + "a/b/c");  // existing folders are fine
    WriteBytes(folder / "file", "x");
    try {
        MakeFolders(folder.Path() + "file/sub");
        FAIL() << "no error";
    } catch (const InOutError& e) {
        EXPECT_EQ(e.Path(), folder.Path() + "file");
        EXPECT_EQ(e.Code(), ENOTDIR);
    }
}

TEST(ExtractedFileMode, MakesScriptsAndElfProgramsExecutable) {
    EXPECT_EQ(ExtractedFileMode("#!/bin/sh"), 0755u);
    EXPECT_EQ(ExtractedFileMode(std::string("\x7F"
                                            "ELF",
                                            4)),
              0755u);
    EXPECT_EQ(ExtractedFileMode("#!"), 0755u);
    EXPECT_EQ(ExtractedFileMode("# comment"), 0644u);
    EXPECT_EQ(ExtractedFileMode("MZ\x90"), 0644u);
    EXPECT_EQ(ExtractedFileMode("\x7F"
                                "EL"),
              0644u);
    EXPECT_EQ(ExtractedFileMode(""), 0644u);
}

TEST(RemoveFolderTree, RemovesEverythingButNotWhatLinksPointTo) {
    TempFolder folder;
    WriteBytes(folder / "outside", "keep");
    MakeFolders(folder.Path() + "tree/deep");
    WriteBytes(folder / "tree/deep/f", "x");
    ASSERT_EQ(::symlink(folder.Path().c_str(), (folder.Path() + "tree/link").c_str()), 0);
    EXPECT_TRUE(RemoveFolderTree(folder.Path() + "tree"));
    EXPECT_FALSE(FolderExists(folder.Path() + "tree"));
    EXPECT_EQ(ReadBytes(folder / "outside"), "keep");
    EXPECT_TRUE(RemoveFolderTree(folder.Path() + "tree")) << "a folder already gone is not a failure";
}

}  // namespace
}  // namespace kitforge::setup
