// The rules of the installer payload that its writer, its reader and the installer stub share.

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kitforge::formats
