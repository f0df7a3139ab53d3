// Bad archives made from one good one: cut at every length, one length field corrupted at a
// time, random bytes changed. The reader must fail cleanly (one report, the name cleared),
// or succeed with a directory that agrees with itself; it must never trust a count or a
// length it cannot check.

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "support/temp_folder.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::BuiltArchive;
using testing::Stored;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;
using namespace formats;

BuiltArchive GoodArchive() {
    auto first = Stored("docs/first.txt", "the first file's data");
    first.extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);  // a timestamp field
    first.comment = "first comment";
    auto second = Stored("second.bin", std::string(300, '\x07'));
    auto third = Stored("third", "3");
    third.comment = "c";
    testing::ArchiveOptions options;
    options.comment = "archive comment";
    return BuildArchive({first, second, third}, options);
}

// What a successful reading must agree with, whatever the bytes were.
void ExpectConsistent(const TZipMaster& zip, std::int64_t file_size) {
    for (const auto& e : zip.Entries()) {
        EXPECT_EQ(e.FileName.size(), e.NameLength);
        EXPECT_EQ(e.FileComment.size(), e.CommentLength);
    }
    EXPECT_GE(zip.StubSize(), 0);
    EXPECT_LE(zip.ArchiveSize(), file_size);
    EXPECT_LE(ZipMasterInternals::Directory(zip).EndRecordOffset + 22, zip.ArchiveSize());
    EXPECT_LE(zip.CentralOffset(), ZipMasterInternals::Directory(zip).EndRecordOffset);
}

// Reads `bytes` and checks the outcome is one of the two clean ones; gives whether it failed.
bool ReadAndCheck(const TempFolder& folder, const std::string& bytes) {
    WriteBytes(folder / "t.zip", bytes);
    ZipHarness h;
    h.zip.SetUnattended(true);
    h.Read(folder / "t.zip");
    EXPECT_EQ(h.dir_updates, 1);
    EXPECT_FALSE(h.Directory().InputHandle.IsOpen());
    const bool failed = h.zip.ZipFilename().empty();
    std::size_t errors = 0;
    for (const auto& r : h.reports) errors += r.id != 10203 && r.id != 10204;
    EXPECT_EQ(errors, failed ? 1u : 0u);
    if (failed) {
        EXPECT_EQ(h.zip.StubSize(), 0);
    } else {
        EXPECT_EQ(h.zip.Entries().size(), GetU16LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) +
                                                   h.Directory().EndRecordOffset + end_record::kTotalEntries));
        ExpectConsistent(h.zip, static_cast<std::int64_t>(bytes.size()));
    }
    return failed;
}

TEST(DamagedArchive, EveryTruncationFailsCleanly) {
    TempFolder folder;
    const auto good = GoodArchive();
    EXPECT_FALSE(ReadAndCheck(folder, good.bytes));
    for (std::size_t size = 0; size < good.bytes.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(ReadAndCheck(folder, good.bytes.substr(0, size)));
    }
}

TEST(DamagedArchive, ImpossibleFiguresInTheEndRecordAreRefusedBeforeAnyAllocation) {
    TempFolder folder;
    const auto good = GoodArchive();
    struct Case {
        const char* name;
        std::size_t field;
        std::uint32_t value;
        int width;
        std::string reason;
    };
    const Case cases[] = {
        {"entry count", end_record::kTotalEntries, 0xFFFF, 2, "claims 65535 entries in a central directory of"},
        {"directory size", end_record::kCentralSize, 0xFFFFFFF0u, 4, "gives a central directory of 4294967280 bytes"},
        {"directory size, zip64 mark without a zip64 record", end_record::kCentralSize, 0xFFFFFFFFu, 4,
         "gives a central directory of 4294967295 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good.bytes;
        auto* at = reinterpret_cast<std::uint8_t*>(bytes.data()) + good.end_record + c.field;
        if (c.width == 2) {
            PutU16LE(at, static_cast<std::uint16_t>(c.value));
        } else {
            PutU32LE(at, c.value);
        }
        WriteBytes(folder / "t.zip", bytes);
        ZipHarness h;
        h.Read(folder / "t.zip");
        ASSERT_EQ(h.Ids(), std::vector<int>{10202});
        EXPECT_NE(h.reports[0].text.find(c.reason), std::string::npos) << h.reports[0].text;
        EXPECT_TRUE(h.zip.Entries().empty());
    }
}

TEST(DamagedArchive, CorruptLengthsOfAnEntryFailWithTheirOwnIds) {
    TempFolder folder;
    const auto good = GoodArchive();
    const std::size_t last = good.central_entries[2];
    struct Case {
        const char* name;
        std::size_t entry;
        std::size_t field;
        std::uint16_t value;
        std::vector<int> ids;
        std::size_t entries_kept;
    };
    const Case cases[] = {
        {"last name runs off the end", last, central::kNameLength, 0xFFFF, {11017}, 2},
        {"last comment runs off the end", last, central::kCommentLength, 0xFFFF, {11022}, 3},
        {"first name swallows the next header", good.central_entries[0], central::kNameLength, 100, {11015}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good.bytes;
        PutU16LE(reinterpret_cast<std::uint8_t*>(bytes.data()) + c.entry + c.field, c.value);
        WriteBytes(folder / "t.zip", bytes);
        ZipHarness h;
        h.Read(folder / "t.zip");
        EXPECT_EQ(h.Ids(), c.ids);
        EXPECT_EQ(h.zip.Entries().size(), c.entries_kept);
        EXPECT_EQ(h.zip.ZipFilename(), "");
    }
}

TEST(DamagedArchive, RecordedDirectoryStartBeyondItsPlaceGivesNoNegativeStub) {
    TempFolder folder;
    auto good = GoodArchive();
    auto* start = reinterpret_cast<std::uint8_t*>(good.bytes.data()) + good.end_record + end_record::kCentralStart;
    PutU32LE(start, GetU32LE(start) + 1000);
    WriteBytes(folder / "t.zip", good.bytes);
    ZipHarness h;
    h.Read(folder / "t.zip");
    EXPECT_EQ(h.Ids(), std::vector<int>{10203});
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.StubSize(), 0);
}

TEST(DamagedArchive, StubWithFakeRecordsDoesNotMisleadTheReader) {
    TempFolder folder;
    const auto good = GoodArchive();
    // A fake end record that claims a huge directory, and fake central headers.
    std::string stub = "MZ" + std::string(2000, '\0');
    stub.replace(500, 22, std::string("PK\x05\x06\0\0\0\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F\0\0\0\0\0\0", 22));
    stub.replace(700, 4, "PK\x01\x02");
    WriteBytes(folder / "t.exe", stub + good.bytes);
    ZipHarness h;
    h.Read(folder / "t.exe");
    EXPECT_EQ(h.Ids(), std::vector<int>{10203});
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.StubSize(), static_cast<std::int64_t>(stub.size()));
    EXPECT_EQ(h.zip.ArchiveComment(), "archive comment");
}

TEST(DamagedArchive, RandomByteChangesNeverBreakTheReader) {
    TempFolder folder;
    const auto good = GoodArchive();
    std::mt19937 random(20240611);
    std::set<bool> outcomes;
    for (int round = 0; round < 600; ++round) {
        std::string bytes = good.bytes;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < changes; ++k) {
            // Most changes land in the directory and end record, where the reader looks.
            const std::size_t from = random() % 4 == 0 ? 0 : good.central_start;
            const std::size_t at = from + random() % (bytes.size() - from);
            bytes[at] = static_cast<char>(random() % 256);
        }
        SCOPED_TRACE(round);
        outcomes.insert(ReadAndCheck(folder, bytes));
    }
    EXPECT_EQ(outcomes.size(), 2u) << "both clean outcomes should occur";
}

}  // namespace
}  // namespace kitforge
