// The rules of the installer payload that its writer, its reader and the installer stub share.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/installer_payload.h"

namespace kitforge::formats {
namespace {

TEST(PayloadFormat, ExtractLinesAreRecognisedByTheirFirstEightCharacters) {
    EXPECT_TRUE(IsExtractLine("EXTRACT a b"));
    EXPECT_TRUE(IsExtractLine("extract \"a\" \"b\""));
    EXPECT_TRUE(IsExtractLine("ExTrAcT "));
    EXPECT_FALSE(IsExtractLine("extractx \"a\" \"b\""));
    EXPECT_FALSE(IsExtractLine("extract"));
    EXPECT_FALSE(IsExtractLine(" extract a"));
    EXPECT_FALSE(IsExtractLine("extract\t a"));
}

TEST(PayloadFormat, OnlyPlainFileNamesAreSafeToCreate) {
    for (const char* name : {"a.txt", "setup.ex_", "with blank", "..a", "a.."})
        EXPECT_TRUE(IsSafeFileName(name)) << name;
    for (const char* name : {"", ".", "..", "../a", "a/b", "a\\b", "C:a", "/etc/passwd"}) {
        EXPECT_FALSE(IsSafeFileName(name)) << name;
    }
    EXPECT_FALSE(IsSafeFileName(std::string("a\0b", 3)));
    // A control character could rewrite the terminal of whoever looks at the name.
    for (int byte = 1; byte < 0x100; ++byte) {
        const bool control = byte < 0x20 || byte == 0x7F;
        // Built by appending: GCC 12 at -O3 (the Windows cross-build) warns falsely about "a" + ... + "b".
        std::string name = "a";
        name += static_cast<char>(byte);
        name += 'b';
        if (byte != '/' && byte != '\\' && byte != ':') {
            EXPECT_EQ(IsSafeFileName(name), !control) << byte;
        }
    }
}

TEST(PayloadFormat, NumbersAreLittleEndian) {
    const auto bytes = PayloadNumber(0x12345678);
    EXPECT_EQ(bytes, (std::array<unsigned char, 4>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(GetPayloadNumber(bytes.data()), 0x12345678u);
}

TEST(PayloadFormat, FileSizesTakeTheLongFormFrom2GiBAndOnlyThen) {
    struct Case {
        std::uint64_t size;
        std::vector<std::uint8_t> stored;
    };
    const std::vector<Case> cases = {
        {0, {0x00, 0x00, 0x00, 0x00}},
        {0x7FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x80000000, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x80}},
        {0x100000000, {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x80}},
        {5ull << 30, {0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x80}},
        {kPayloadMaxFileSize, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xBF}},
    };
    for (const Case& c : cases) {
        const StoredFileSize stored = EncodeFileSize(c.size);
        ASSERT_EQ(std::vector<std::uint8_t>(stored.bytes.begin(), stored.bytes.begin() + stored.length), c.stored)
            << c.size;
        // Read back as a reader going backwards meets it: the size word first.
        const std::uint32_t word = GetPayloadNumber(stored.bytes.data() + stored.length - kPayloadNumberSize);
        ASSERT_EQ(IsLongSizeWord(word), stored.length == kLongSizeSize) << c.size;
        EXPECT_EQ(IsLongSizeWord(word) ? LongFileSize(word, GetPayloadNumber(stored.bytes.data())) : word, c.size);
    }
}

}  // namespace
}  // namespace kitforge::formats
