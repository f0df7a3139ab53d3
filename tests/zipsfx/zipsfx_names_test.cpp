// Which stored names may become paths under the target folder.

#include <gtest/gtest.h>

#include "zipsfx/entry_names.h"

namespace kitforge::zipsfx {
namespace {

TEST(EntryNames, SafeNamesBecomeRelativePaths) {
    struct Row {
        const char* stored;
        const char* path;
        bool directory;
    };
    const Row rows[] = {
        {"a.txt", "a.txt", false},
        {"dir/sub/b.txt", "dir/sub/b.txt", false},
        {"dir\\win\\c.txt", "dir/win/c.txt", false},
        {"folder/", "folder", true},
        {"..hidden/x..y", "..hidden/x..y", false},
        {"ab:c", "ab:c", false},  // a colon past the drive position is an ordinary byte here
        {"na\xC3\xAFve.txt", "na\xC3\xAFve.txt", false},
    };
    for (const Row& row : rows) {
        std::string reason;
        const auto checked = CheckEntryName(row.stored, &reason);
        ASSERT_TRUE(checked.has_value()) << row.stored << ": " << reason;
        EXPECT_EQ(checked->path, row.path) << row.stored;
        EXPECT_EQ(checked->is_directory, row.directory) << row.stored;
    }
}

TEST(EntryNames, UnsafeNamesAreRefusedNotRepaired) {
    struct Row {
        const char* label;
        std::string stored;
        const char* reason_part;
    };
    const Row rows[] = {
        {"empty", "", "empty"},
        {"absolute", "/etc/passwd", "absolute"},
        {"absolute backslash", "\\etc\\passwd", "absolute"},
        {"drive letter", "C:\\windows\\x", "drive letter"},
        {"drive relative", "c:x", "drive letter"},
        {"parent at start", "../x", "\"..\""},
        {"parent inside", "a/../../x", "\"..\""},
        {"parent with backslash", "a\\..\\..\\x", "\"..\""},
        {"parent alone", "..", "\"..\""},
        {"parent folder", "../", "\"..\""},
        {"dot part", "./x", "\".\""},
        {"double separator", "a//b", "empty part"},
        {"nul", std::string("a\0b", 3), "control"},
        {"escape", "a\x1b[2Jb", "control"},
        {"separator only", "/", "absolute"},
    };
    for (const Row& row : rows) {
        std::string reason;
        EXPECT_FALSE(CheckEntryName(row.stored, &reason).has_value()) << row.label;
        EXPECT_NE(reason.find(row.reason_part), std::string::npos) << row.label << ": " << reason;
    }
}

TEST(EntryNames, PrintableHidesControlCharacters) {
    EXPECT_EQ(Printable("ok name"), "ok name");
    EXPECT_EQ(Printable("bad\x1b]0;title\x07name\n"), "bad?]0;title?name?");
    EXPECT_EQ(Printable(std::string("n\0ul", 4)), "n?ul");
}

}  // namespace
}  // namespace kitforge::zipsfx
