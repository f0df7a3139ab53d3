// Byte order: every format's numbers go through these, so one wrong shift would corrupt every
// record of every program at once.

#include <gtest/gtest.h>

#include <vector>

#include "formats/byte_order.h"

namespace kitforge::formats {
namespace {

TEST(ByteOrder, ReadsAndWritesBothOrders) {
    const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
    EXPECT_EQ(GetU16LE(bytes), 0x0201);
    EXPECT_EQ(GetU32LE(bytes), 0x04030201u);
    EXPECT_EQ(GetU64LE(bytes), 0x8807060504030201u);
    EXPECT_EQ(GetU16BE(bytes), 0x0102);
    EXPECT_EQ(GetU32BE(bytes), 0x01020304u);
    EXPECT_EQ(GetU64BE(bytes), 0x0102030405060788u);

    std::uint8_t out[6] = {};
    PutU16LE(out, 0xBEEF);
    PutU32LE(out + 2, 0x12345678);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 6), (std::vector<std::uint8_t>{0xEF, 0xBE, 0x78, 0x56, 0x34, 0x12}));

    std::vector<std::uint8_t> appended;
    AppendU16LE(appended, 0xBEEF);
    AppendU32LE(appended, 0x12345678);
    EXPECT_EQ(appended, std::vector<std::uint8_t>(out, out + 6));
}

}  // namespace
}  // namespace kitforge::formats
