// A central record rewritten for a new place of its local header: the classic slots while the
// figures fit, the zip64 field once they do not, and the record untouched otherwise.

#include <gtest/gtest.h>

#include "zip/central_record_move.h"

namespace kitforge {
namespace {

using namespace formats;

using Bytes = std::vector<std::uint8_t>;

Bytes Zip64Field(std::initializer_list<std::uint64_t> wide, std::optional<std::uint32_t> disk = std::nullopt) {
    Bytes field;
    AppendU16LE(field, zip64::kExtraId);
    AppendU16LE(field, static_cast<std::uint16_t>(8 * wide.size() + (disk ? 4 : 0)));
    for (std::uint64_t value : wide) AppendU64LE(field, value);
    if (disk) AppendU32LE(field, *disk);
    return field;
}

const Bytes kOtherField = {0x55, 0x54, 0x05, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};  // a time field

// A record of "name.txt" with the given classic figures, extra field and comment "c".
Bytes Record(std::uint32_t packed, std::uint32_t unpacked, std::uint32_t offset, std::uint16_t disk,
             const Bytes& extra) {
    Bytes record(kCentralHeaderSize, 0);
    PutU32LE(record.data() + central::kSignature, kCentralHeaderSignature);
    PutU16LE(record.data() + central::kNeededVersion, 20);
    PutU32LE(record.data() + central::kCrc32, 0xCAFEF00D);
    PutU32LE(record.data() + central::kPackedSize, packed);
    PutU32LE(record.data() + central::kUnpackedSize, unpacked);
    PutU16LE(record.data() + central::kNameLength, 8);
    PutU16LE(record.data() + central::kExtraLength, static_cast<std::uint16_t>(extra.size()));
    PutU16LE(record.data() + central::kCommentLength, 1);
    PutU16LE(record.data() + central::kStartDisk, disk);
    PutU32LE(record.data() + central::kLocalHeaderOffset, offset);
    for (char c : std::string("name.txt")) record.push_back(static_cast<std::uint8_t>(c));
    record.insert(record.end(), extra.begin(), extra.end());
    record.push_back('c');
    return record;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST(SpanCentralRecordMove, FiguresGoWhereTheyFit) {
    constexpr std::uint32_t kSat = zip64::kSaturated32;
    constexpr std::uint64_t kPast4G = 0x123456789ULL;
    struct Case {
        const char* what;
        Bytes record;
        std::uint64_t offset;
        std::uint32_t disk;
        Bytes expected;  // empty: refused
    };
    Bytes grown_version = Record(100, 200, kSat, 3, Concat(Zip64Field({kPast4G}), kOtherField));
    PutU16LE(grown_version.data() + central::kNeededVersion, zip64::kNeededVersion);
    // The grown field goes first, the other fields follow in their order.
    Bytes rebuilt =
        Record(kSat, kSat, kSat, 0, Concat(Zip64Field({0x100000000ULL, 0x1FFFFFFFFULL, kPast4G}), kOtherField));
    PutU16LE(rebuilt.data() + central::kNeededVersion, zip64::kNeededVersion);
    Bytes disk_added = Record(100, 200, 10, kSat & 0xFFFF, Zip64Field({}, 70000));
    PutU16LE(disk_added.data() + central::kNeededVersion, zip64::kNeededVersion);
    const Case cases[] = {
        {"classic figures change in place", Record(100, 200, 10, 0, kOtherField), 5000, 2,
         Record(100, 200, 5000, 2, kOtherField)},
        {"the largest classic offset stays classic", Record(100, 200, 10, 0, {}), 0xFFFFFFFEULL, 0,
         Record(100, 200, 0xFFFFFFFE, 0, {})},
        {"an offset past 4 GiB gets a new field", Record(100, 200, 10, 3, kOtherField), kPast4G, 3, grown_version},
        {"a field with the offset already moves it in place", Record(100, 200, kSat, 0, Zip64Field({9})), 44, 0,
         Record(100, 200, kSat, 0, Zip64Field({44}))},
        {"a field of sizes grows by the offset",
         Record(kSat, kSat, 10, 0, Concat(kOtherField, Zip64Field({0x100000000ULL, 0x1FFFFFFFFULL}))), kPast4G, 0,
         rebuilt},
        {"a disk past 65,534 goes to the field", Record(100, 200, 10, 0, {}), 10, 70000, disk_added},
        {"a saturated offset without a field is refused", Record(100, 200, kSat, 0, kOtherField), 10, 0, {}},
        {"a field too short for its slots is refused", Record(kSat, kSat, 10, 0, Zip64Field({1})), 10, 0, {}},
        {"no room for the field is refused", Record(100, 200, 10, 0, Bytes(0xFFF8, 0)), kPast4G, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MovedRecord moved = MoveCentralRecord(c.record, c.offset, c.disk);
        EXPECT_EQ(moved.bytes, c.expected);
        EXPECT_EQ(moved.failure.empty(), !c.expected.empty()) << moved.failure;
        if (c.expected.empty()) continue;
        const auto figures = CentralRecordFigures(moved.bytes);
        ASSERT_TRUE(figures.has_value());
        EXPECT_EQ(figures->local_offset, c.offset);
        EXPECT_EQ(figures->start_disk, c.disk);
    }
}

}  // namespace
}  // namespace kitforge
