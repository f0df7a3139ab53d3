// The zip64 decisions of the library's records, read back through the format layer: which
// figures go into zip64 fields of new entries, how a copied entry's directory record takes an
// offset past 4 GiB, and the room check made before anything is written.

#include <gtest/gtest.h>

#include "entry_records.h"
#include "formats/zip_extra_fields.h"
#include "formats/zip_records.h"
#include "room_check.h"

namespace {

namespace zf = kitforge::formats;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kGiB = 1ull << 30;

std::span<const std::uint8_t> ExtraOf(const Bytes& record, std::size_t fixed, std::size_t name_at,
                                      std::size_t extra_at) {
    return std::span(record).subspan(fixed + zf::GetU16LE(record.data() + name_at),
                                     zf::GetU16LE(record.data() + extra_at));
}

// The figures a reader takes from a central record: classic slots, replaced from zip64.
zf::Zip64Figures ReadCentral(const Bytes& record) {
    const std::uint8_t* p = record.data();
    zf::Zip64Figures figures{zf::GetU32LE(p + zf::central::kUnpackedSize), zf::GetU32LE(p + zf::central::kPackedSize),
                             zf::GetU32LE(p + zf::central::kLocalHeaderOffset),
                             zf::GetU16LE(p + zf::central::kStartDisk)};
    const auto slots =
        zf::SaturatedSlots(static_cast<std::uint32_t>(figures.unpacked), static_cast<std::uint32_t>(figures.packed),
                           static_cast<std::uint32_t>(figures.local_offset), 0);
    EXPECT_NE(zf::ApplyZip64Extra(
                  ExtraOf(record, zf::kCentralHeaderSize, zf::central::kNameLength, zf::central::kExtraLength), slots,
                  figures),
              zf::Zip64Reading::kMissing);
    return figures;
}

TEST(ZipDllZip64Records, NewEntriesCarryZip64ExactlyWhereNeeded) {
    struct Case {
        const char* what;
        std::uint64_t unpacked, packed, offset;
        bool descriptor;
        bool local_zip64;           // expected: both sizes in the local header's field
        std::size_t central_extra;  // expected: bytes of the central record's extra fields
        std::uint16_t version;      // expected: version needed, in both headers
    };
    const std::vector<Case> cases = {
        {"classic", 1000, 400, 5000, false, false, 0, 20},
        {"largest classic offset", 3 * kGiB, 123, zf::zip64::kLargest32, false, false, 0, 20},
        {"unpacked past 4 GiB", 5 * kGiB, 1u << 20, 0, false, true, 12, 45},
        {"packed at exactly 4 GiB - 1", zf::zip64::kSaturated32, zf::zip64::kSaturated32, 0, false, true, 20, 45},
        {"offset past 4 GiB", 10, 10, 6 * kGiB, false, false, 12, 45},
        {"everything large", 5 * kGiB, 5 * kGiB, 6 * kGiB, false, true, 28, 45},
        {"descriptor", 5 * kGiB, 3 * kGiB, 0, true, true, 12, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zipdll::NewEntry entry;
        entry.name = "data.bin";
        entry.method = zf::kMethodDeflated;
        entry.flags = c.descriptor ? zf::kFlagDataDescriptor : 0;
        entry.crc = 0x12345678;
        entry.unpacked = c.unpacked;
        entry.packed = c.packed;
        entry.local_offset = c.offset;
        entry.zip64_local = zipdll::MayNeedZip64Sizes(c.unpacked, true, false);
        ASSERT_EQ(entry.zip64_local, c.local_zip64);

        const Bytes local = zipdll::LocalHeader(entry);
        EXPECT_EQ(zf::GetU16LE(local.data() + zf::local::kNeededVersion), c.version);
        zf::Zip64Figures sizes{zf::GetU32LE(local.data() + zf::local::kUnpackedSize),
                               zf::GetU32LE(local.data() + zf::local::kPackedSize), 0, 0};
        const auto local_extra = ExtraOf(local, zf::kLocalHeaderSize, zf::local::kNameLength, zf::local::kExtraLength);
        EXPECT_EQ(local_extra.size(), c.local_zip64 ? 20u : 0u);
        zf::ApplyZip64Extra(local_extra,
                            zf::SaturatedSlots(static_cast<std::uint32_t>(sizes.unpacked),
                                               static_cast<std::uint32_t>(sizes.packed), 0, 0),
                            sizes, true);
        EXPECT_EQ(sizes.unpacked, c.descriptor ? 0 : c.unpacked);
        EXPECT_EQ(sizes.packed, c.descriptor ? 0 : c.packed);

        const Bytes descriptor = zipdll::DataDescriptor(entry);
        ASSERT_EQ(descriptor.size(), c.local_zip64 ? zf::zip64::kDataDescriptorSize : zf::kDataDescriptorSize);
        if (c.local_zip64) {
            EXPECT_EQ(zf::GetU64LE(descriptor.data() + 8), c.packed);
            EXPECT_EQ(zf::GetU64LE(descriptor.data() + 16), c.unpacked);
        }

        const Bytes central = zipdll::CentralRecord(entry);
        EXPECT_EQ(zf::GetU16LE(central.data() + zf::central::kNeededVersion), c.version);
        EXPECT_EQ(zf::GetU16LE(central.data() + zf::central::kExtraLength), c.central_extra);
        const zf::Zip64Figures read = ReadCentral(central);
        EXPECT_EQ(read.unpacked, c.unpacked);
        EXPECT_EQ(read.packed, c.packed);
        EXPECT_EQ(read.local_offset, c.offset);
    }
}

TEST(ZipDllZip64Records, LocalRoomForSizesIsReservedWhenTheDataMayReach4GiB) {
    struct Case {
        std::uint64_t unpacked;
        bool deflated, encrypted, expected;
    };
    const std::uint64_t largest = zf::zip64::kLargest32;
    for (const Case& c : std::vector<Case>{{largest, false, false, false},
                                           {largest + 1, false, false, true},
                                           {largest - 12, false, true, false},
                                           {largest - 11, false, true, true},
                                           {3 * kGiB, true, false, false},
                                           {4 * kGiB - (1u << 20), true, false, true}}) {
        SCOPED_TRACE(testing::Message() << c.unpacked << (c.deflated ? " deflated" : " stored")
                                        << (c.encrypted ? " encrypted" : ""));
        EXPECT_EQ(zipdll::MayNeedZip64Sizes(c.unpacked, c.deflated, c.encrypted), c.expected);
    }
}

TEST(ZipDllZip64Records, MovedDirectoryRecordsTakeOffsetsPast4GiB) {
    // A record as another tool wrote it: a timestamp field before any zip64 field.
    const auto record = [](std::uint64_t unpacked, std::uint32_t classic_offset, std::uint64_t zip64_offset) {
        zipdll::NewEntry entry;
        entry.name = "old.txt";
        entry.unpacked = unpacked;
        entry.packed = 77;
        entry.local_offset = 0;
        Bytes bytes = zipdll::CentralRecord(entry);
        const zf::Zip64Slots slots{unpacked > zf::zip64::kLargest32, false, classic_offset == zf::zip64::kSaturated32,
                                   false};
        Bytes extra = {0x55, 0x54, 5, 0, 1, 2, 3, 4, 5};
        zf::AppendZip64Extra(extra, {unpacked, 77, zip64_offset, 0}, slots);
        bytes.resize(zf::kCentralHeaderSize + entry.name.size());
        bytes.insert(bytes.end(), extra.begin(), extra.end());
        zf::PutU16LE(bytes.data() + zf::central::kExtraLength, static_cast<std::uint16_t>(extra.size()));
        zf::PutU32LE(bytes.data() + zf::central::kLocalHeaderOffset, classic_offset);
        zf::PutU32LE(bytes.data() + zf::central::kUnpackedSize, zf::Classic32(unpacked, slots.unpacked));
        return bytes;
    };
    struct Case {
        const char* what;
        Bytes before;
        std::uint64_t offset;
        std::uint64_t unpacked;
        std::size_t growth;  // expected bytes added to the record
    };
    const std::vector<Case> cases = {
        {"classic stays classic", record(100, 3000, 0), 4000, 100, 0},
        {"classic gains a zip64 field", record(100, 3000, 0), 5 * kGiB, 100, 12},
        {"zip64 sizes gain the offset", record(5 * kGiB, 3000, 0), 6 * kGiB, 5 * kGiB, 8},
        {"a zip64 offset is replaced in place", record(100, zf::zip64::kSaturated32, 7 * kGiB), 200, 100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes moved = zipdll::MovedCentralRecord(c.before, c.offset);
        EXPECT_EQ(moved.size(), c.before.size() + c.growth);
        const zf::Zip64Figures figures = ReadCentral(moved);
        EXPECT_EQ(figures.local_offset, c.offset);
        EXPECT_EQ(figures.unpacked, c.unpacked);
        EXPECT_EQ(figures.packed, 77u);
        const auto extra = ExtraOf(moved, zf::kCentralHeaderSize, zf::central::kNameLength, zf::central::kExtraLength);
        EXPECT_TRUE(zf::FindExtraField(extra, 0x5455).has_value());  // other fields are kept
        if (c.offset > zf::zip64::kLargest32) {
            EXPECT_EQ(zf::GetU16LE(moved.data() + zf::central::kNeededVersion), zf::zip64::kNeededVersion);
        }
    }
}

TEST(ZipDllZip64Records, RoomIsCheckedForWhatTheOldArchiveBringsAlong) {
    zipdll::ExistingArchive existing;
    existing.prefix_size = 1000;
    existing.entries.resize(2);
    existing.entries[0].extent = 5 * kGiB;
    existing.entries[0].central.resize(50);
    existing.entries[1].extent = 300;
    existing.entries[1].central.resize(60);
    zipdll::SourceItem source;
    // The second entry is replaced by a file: only the first is certain to be copied.
    const std::vector<zipdll::PlanItem> plan = {
        {&existing.entries[0], nullptr}, {&existing.entries[1], &source}, {nullptr, &source}};
    const std::uint64_t needed = zipdll::BytesCertainlyWritten(existing, plan);
    EXPECT_EQ(needed, 1000 + 5 * kGiB + 50 + zf::kEndRecordSize);

    const auto free_bytes = [&](const std::string& folder) -> std::optional<std::uint64_t> {
        if (folder == "/unknown") return std::nullopt;
        return folder == "/roomy" ? 6 * kGiB : 4 * kGiB;
    };
    EXPECT_NO_THROW(zipdll::CheckRoom(needed, {"/roomy", "/unknown"}, free_bytes));
    try {
        zipdll::CheckRoom(needed, {"/roomy", "/tight"}, free_bytes);
        ADD_FAILURE() << "a folder without room was let through";
    } catch (const zipdll::NoRoom& e) {
        EXPECT_STREQ(e.what(), "The new archive needs at least 5.4 GB but only 4.3 GB are free in /tight");
    }
}

}  // namespace
