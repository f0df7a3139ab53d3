// The shared format helpers: the check of stored names that extractors apply before writing
// anything, and the bounds-checked cursor that readers of records use.

#include <gtest/gtest.h>

#include "formats/byte_cursor.h"
#include "formats/zip_entry_names.h"
#include "formats/zip_records.h"

namespace kitforge {
namespace {

TEST(EntryNameProblem, RefusesNamesThatWouldLandOutsideTheTarget) {
    struct Case {
        std::string name;
        bool refused;
    };
    const Case cases[] = {
        {"readme.txt", false},
        {"docs/a/b.txt", false},
        {"docs\\a\\b.txt", false},
        {"folder/", false},
        {"...", false},
        {"a..b/..c", false},
        {"", true},
        {"/etc/passwd", true},
        {"\\windows\\x", true},
        {"C:evil", true},
        {"z:/x", true},
        {"..", true},
        {"../x", true},
        {"a/../../x", true},
        {"a\\..\\x", true},
        {"a/..", true},
        {std::string("a\0b", 3), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formats::EntryNameProblem(c.name) != nullptr, c.refused) << c.name;
    }
}

TEST(ByteCursor, ReadsLittleEndianAndFailsForGoodPastTheEnd) {
    const std::uint8_t bytes[] = {0x50, 0x4B, 0x05, 0x06, 0x34, 0x12, 0xFF};
    formats::ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.U32LE(), formats::kEndRecordSignature);
    EXPECT_EQ(cursor.U16LE(), 0x1234);
    EXPECT_EQ(cursor.Remaining(), 1u);
    EXPECT_EQ(cursor.U16LE(), 0);  // only one byte left
    EXPECT_FALSE(cursor.Ok());
    EXPECT_EQ(cursor.U8(), 0);  // the failure sticks, though a byte is left
    EXPECT_TRUE(cursor.Bytes(1).empty());
    EXPECT_EQ(cursor.Position(), 6u);
}

// Both ends of one window: a reader that takes records from the back (the installer payload)
// and one that takes chunks from the front (an entry's data) must never be handed a byte
// outside it, nor the same byte twice.
TEST(ByteWindow, TakesFromBothEndsAndNeverPastTheOther) {
    formats::ByteWindow window(100, 110);
    EXPECT_EQ(window.TakeBack(4), 106u);
    EXPECT_EQ(window.TakeFront(3), 100u);
    EXPECT_EQ(window.TakeBack(0), 106u);
    EXPECT_EQ(window.Remaining(), 3u);
    EXPECT_EQ(window.TakeBack(4), std::nullopt);  // only three bytes are left
    EXPECT_FALSE(window.Ok());
    EXPECT_EQ(window.TakeFront(1), std::nullopt);  // the failure sticks
    EXPECT_EQ(window.Front(), 103u);
    EXPECT_EQ(window.Back(), 106u);

    formats::ByteWindow whole(std::uint64_t{1} << 40);
    EXPECT_EQ(whole.TakeBack(std::uint64_t{1} << 40), 0u);
    EXPECT_EQ(whole.TakeFront(1), std::nullopt);
    EXPECT_EQ(formats::ByteWindow(10, 5).Remaining(), 0u);  // an end before the start holds nothing
}

}  // namespace
}  // namespace kitforge
