#include <gtest/gtest.h>

#include "installer/expand_app_path.h"

namespace kitforge {
namespace {

TEST(ExpandAppPath, ReplacesTheTokenAndCollapsesDoubledSeparators) {
    const struct {
        const char* name;
        const char* path;
        const char* folder;
        const char* expected;
    } rows[] = {
        {"windows folder", "%apppath%\\files\\a.txt", "C:\\proj\\", "C:\\proj\\files\\a.txt"},
        {"folder of this platform", "%apppath%\\files\\a.txt", "/proj/", "/proj/files\\a.txt"},
        {"slash after the token", "%apppath%/files/a.txt", "/proj/", "/proj/files/a.txt"},
        {"token alone", "%apppath%", "/proj/", "/proj/"},
        {"token twice", "%apppath%a;%apppath%b", "/p/", "/p/a;/p/b"},
        {"letter case must match", "%AppPath%\\a.txt", "/p/", "%AppPath%\\a.txt"},
        {"inserted text is not searched again", "%apppath%a", "/x/%apppath%/", "/x/%apppath%/a"},
        {"no token, doubled backslashes", "C:\\\\data\\\\\\a.txt", "/p/", "C:\\data\\a.txt"},
        {"no token, doubled slashes", "/data//sub///a.txt", "/p/", "/data/sub/a.txt"},
        {"mixed run keeps its first character", "/a\\/\\b", "", "/a\\b"},
        {"empty folder", "%apppath%\\a.txt", "", "\\a.txt"},
        {"nothing to do", "plain.txt", "/p/", "plain.txt"},
        {"a broken token stays", "%apppath\\a", "/p/", "%apppath\\a"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ExpandAppPath(row.path, row.folder), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace kitforge
