#include "platform/paths.h"

#include <gtest/gtest.h>

namespace kitforge {
namespace {

TEST(PathParts, SplitAtTheLastBackslashSlashOrColon) {
    struct Row {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Row rows[] = {
        {"C:\\proj\\my.setup.inf", "C:\\proj\\", "my.setup.inf"},
        {"C:a.txt", "C:", "a.txt"},
        {"/home/u/a.inf", "/home/u/", "a.inf"},
        {"%apppath%\\files/a.txt", "%apppath%\\files/", "a.txt"},
        {"plain.inf", "", "plain.inf"},
        {"dir\\", "dir\\", ""},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FolderPart(row.path), row.folder) << row.path;
        EXPECT_EQ(FileNamePart(row.path), row.name) << row.path;
    }
}

TEST(PathParts, NativePathTurnsBackslashesIntoSlashes) {
    EXPECT_EQ(NativePath("C:\\proj\\a b.txt"), "C:/proj/a b.txt");
    EXPECT_EQ(NativePath("/already/native"), "/already/native");
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    const std::string& folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder, std::string(KITFORGE_BIN_DIR) + "/");
}

}  // namespace
}  // namespace kitforge
