// The zip64 and Unicode extra fields: what a reader takes from them for each combination of
// saturated slots, and that what a writer appends reads back.

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/zip_extra_fields.h"

namespace kitforge {
namespace {

using namespace formats;

std::vector<std::uint8_t> Field(std::uint16_t id, std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> out(extra::kHeaderSize + data.size());
    PutU16LE(out.data(), id);
    PutU16LE(out.data() + 2, static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), out.begin() + extra::kHeaderSize);
    return out;
}

std::vector<std::uint8_t> Numbers64(std::initializer_list<std::uint64_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint64_t v : values) AppendU64LE(out, v);
    return out;
}

TEST(Zip64Extra, TakesOnlyTheSaturatedSlotsInTheirOrder) {
    const std::uint32_t sat = zip64::kSaturated32;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> block;
        std::uint32_t unpacked, packed, offset;
        bool local;
        Zip64Reading reading;
        Zip64Figures expected;
    };
    const auto other = Field(0x5455, {1, 2, 3, 4, 5});
    const auto z = Field(zip64::kExtraId, Numbers64({5ull << 30, 3ull << 30}));
    std::vector<std::uint8_t> after_other(other.size() + z.size());
    std::copy(z.begin(), z.end(), std::copy(other.begin(), other.end(), after_other.begin()));
    const Case cases[] = {
        {"nothing saturated", {}, 10, 5, 7, false, Zip64Reading::kNotNeeded, {10, 5, 7, 0}},
        {"both sizes", after_other, sat, sat, 7, false, Zip64Reading::kApplied, {5ull << 30, 3ull << 30, 7, 0}},
        {"offset only",
         Field(zip64::kExtraId, Numbers64({9ull << 30})),
         1,
         2,
         sat,
         false,
         Zip64Reading::kApplied,
         {1, 2, 9ull << 30, 0}},
        {"packed only: the one value is the packed size",
         Field(zip64::kExtraId, Numbers64({6ull << 30})),
         1,
         sat,
         3,
         false,
         Zip64Reading::kApplied,
         {1, 6ull << 30, 3, 0}},
        {"local header with both sizes although one is saturated",
         z,
         4,
         sat,
         0,
         true,
         Zip64Reading::kApplied,
         {5ull << 30, 3ull << 30, 0, 0}},
        {"saturated without a field", other, sat, 1, 1, false, Zip64Reading::kMissing, {sat, 1, 1, 0}},
        {"field too short",
         Field(zip64::kExtraId, Numbers64({1})),
         sat,
         sat,
         1,
         false,
         Zip64Reading::kShort,
         {sat, sat, 1, 0}},
        {"a field length past the block ends the walk",
         {0x01, 0x00, 0x10, 0x00, 1, 2},
         sat,
         1,
         1,
         false,
         Zip64Reading::kMissing,
         {sat, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        Zip64Figures figures{c.unpacked, c.packed, c.offset, 0};
        EXPECT_EQ(ApplyZip64Extra(c.block, SaturatedSlots(c.unpacked, c.packed, c.offset, 0), figures, c.local),
                  c.reading)
            << c.what;
        EXPECT_EQ(figures.unpacked, c.expected.unpacked) << c.what;
        EXPECT_EQ(figures.packed, c.expected.packed) << c.what;
        EXPECT_EQ(figures.local_offset, c.expected.local_offset) << c.what;
    }
}

TEST(Zip64Extra, WhatIsWrittenOnlyWhenNeededReadsBack) {
    const Zip64Figures cases[] = {
        {zip64::kLargest32, zip64::kLargest32, zip64::kLargest32, 0},  // the largest classic values: no field
        {zip64::kSaturated32, 1, 2, 0},                                // 4 GiB - 1 is never stored as itself
        {5ull << 30, 4ull << 30, 1, 0},
        {1, 1, 8ull << 30, 70000},
    };
    for (const Zip64Figures& want : cases) {
        for (const bool local : {false, true}) {
            const Zip64Slots slots = SlotsNeededFor(want, local);
            std::vector<std::uint8_t> block;
            AppendZip64Extra(block, want, slots);
            EXPECT_EQ(block.empty(), !slots.Any());
            Zip64Figures got{Classic32(want.unpacked, slots.unpacked), Classic32(want.packed, slots.packed),
                             Classic32(want.local_offset, slots.local_offset),
                             Classic16(want.start_disk, slots.start_disk)};
            const Zip64Slots saturated = SaturatedSlots(
                static_cast<std::uint32_t>(got.unpacked), static_cast<std::uint32_t>(got.packed),
                static_cast<std::uint32_t>(got.local_offset), static_cast<std::uint16_t>(got.start_disk));
            ApplyZip64Extra(block, saturated, got, local);
            EXPECT_EQ(got.unpacked, want.unpacked);
            EXPECT_EQ(got.packed, want.packed);
            if (!local) {
                EXPECT_EQ(got.local_offset, want.local_offset);
                EXPECT_EQ(got.start_disk, want.start_disk);
            }
        }
    }
}

TEST(UnicodeExtra, IsTakenOnlyWhenWrittenForTheSameHeaderText) {
    std::vector<std::uint8_t> data{extra::kUnicodeVersion};
    AppendU32LE(data, 0x12345678);
    for (char c : std::string("caf\xC3\xA9.txt")) data.push_back(static_cast<std::uint8_t>(c));
    const auto block = Field(extra::kUnicodePathId, data);
    EXPECT_EQ(UnicodeExtraText(block, extra::kUnicodePathId, 0x12345678), "caf\xC3\xA9.txt");
    EXPECT_FALSE(UnicodeExtraText(block, extra::kUnicodePathId, 0x12345679));  // stale: the name was changed
    EXPECT_FALSE(UnicodeExtraText(block, extra::kUnicodeCommentId, 0x12345678));
    auto other_version = block;
    other_version[extra::kHeaderSize] = 2;
    EXPECT_FALSE(UnicodeExtraText(other_version, extra::kUnicodePathId, 0x12345678));
}

TEST(Zip64EndRecords, KeepTheirFiguresAndPointAtEachOther) {
    const auto record = Zip64EndRecord::Make(200000, 9ull << 20, 5ull << 30);
    EXPECT_EQ(record.Signature(), zip64::kEndRecordSignature);
    EXPECT_EQ(record.RecordSize(), 44u);
    EXPECT_EQ(record.TotalEntries(), 200000u);
    EXPECT_EQ(record.DiskEntries(), 200000u);
    EXPECT_EQ(record.CentralSize(), 9ull << 20);
    EXPECT_EQ(record.CentralStart(), 5ull << 30);
    const auto locator = Zip64Locator::Make(6ull << 30);
    EXPECT_EQ(locator.Signature(), zip64::kLocatorSignature);
    EXPECT_EQ(locator.EndRecordOffset(), 6ull << 30);
    EXPECT_EQ(locator.TotalDisks(), 1u);
}

}  // namespace
}  // namespace kitforge
