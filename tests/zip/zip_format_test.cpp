// The shared format helpers: the check of stored names that extractors apply before writing
// anything, and the bounds-checked cursor that readers of records use.

#include <gtest/gtest.h>

#include "zip/zip_format.h"

namespace kitforge {
namespace {

TEST(EntryNameProblem, RefusesNamesThatWouldLandOutsideTheTarget) {
    struct Case {
        std::string name;
        bool refused;
    };
    const Case cases[] = {
        {"readme.txt", false},       {"docs/a/b.txt", false},    {"docs\\a\\b.txt", false},
        {"folder/", false},          {"...", false},             {"a..b/..c", false},
        {"", true},                  {"/etc/passwd", true},      {"\\windows\\x", true},
        {"C:evil", true},            {"z:/x", true},             {"..", true},
        {"../x", true},              {"a/../../x", true},        {"a\\..\\x", true},
        {"a/..", true},              {std::string("a\0b", 3), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zip_format::EntryNameProblem(c.name) != nullptr, c.refused) << c.name;
    }
}

TEST(ByteCursor, ReadsLittleEndianAndFailsForGoodPastTheEnd) {
    const std::uint8_t bytes[] = {0x50, 0x4B, 0x05, 0x06, 0x34, 0x12, 0xFF};
    zip_format::ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.U32LE(), zip_format::kEndRecordSignature);
    EXPECT_EQ(cursor.U16LE(), 0x1234);
    EXPECT_EQ(cursor.Remaining(), 1u);
    EXPECT_EQ(cursor.U16LE(), 0);  // only one byte left
    EXPECT_FALSE(cursor.Ok());
    EXPECT_EQ(cursor.U8(), 0);  // the failure sticks, though a byte is left
    EXPECT_TRUE(cursor.Bytes(1).empty());
    EXPECT_EQ(cursor.Position(), 6u);
}

}  // namespace
}  // namespace kitforge
