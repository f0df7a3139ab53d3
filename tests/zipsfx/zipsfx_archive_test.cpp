// Reading the archive behind the header: the three forms the converter writes, and archives
// that do not hold together.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "zipsfx/byte_source.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/extraction_plan.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/zip_archive.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using testing::AsBytes;
using testing::BuildZip;
using testing::ExtraField;
using testing::PutU16;
using testing::PutU32;
using testing::TestEntry;

const std::vector<TestEntry> kTwoFiles = {{"a.txt", "alpha\n"}, {"dir/b.txt", std::string(5000, 'b'), true}};

std::string Unpack(ByteSource& source, const ArchiveEntry& entry) {
    std::string out;
    ReadEntryData(source, entry, [&](const std::uint8_t* data, std::size_t size) {
        out.append(reinterpret_cast<const char*>(data), size);
    });
    return out;
}

// `prefix` bytes stand for the stub and header; the zip's offsets count from `base`.
std::string Placed(std::size_t prefix, std::uint64_t base, const std::string& comment = "") {
    return std::string(prefix, 'S') + BuildZip(kTwoFiles, base, comment).bytes;
}

TEST(ZipArchiveForms, OffsetsMovedByThePrefixReadWithoutShift) {
    const std::string file = Placed(1000, 1000);
    MemorySource source(AsBytes(file));
    const ZipArchive archive = ReadZipArchive(source, 1000);
    EXPECT_EQ(archive.shift, 0);
    ASSERT_EQ(archive.entries.size(), 2u);
    EXPECT_EQ(archive.entries[0].stored_name, "a.txt");
    EXPECT_EQ(Unpack(source, archive.entries[0]), "alpha\n");
    EXPECT_EQ(Unpack(source, archive.entries[1]), std::string(5000, 'b'));
}

TEST(ZipArchiveForms, ShiftedSourceKeepsItsOwnOffsets) {
    // A source that already had 300 bytes before its zip data, with offsets counted from the
    // zip data, copied whole behind a 1000-byte prefix.
    const std::string file = Placed(1300, 0);
    MemorySource source(AsBytes(file));
    const ZipArchive archive = ReadZipArchive(source, 1000);
    EXPECT_EQ(archive.shift, 1300);
    EXPECT_EQ(Unpack(source, archive.entries[1]), std::string(5000, 'b'));
}

TEST(ZipArchiveForms, EmptyArchiveIsOneEndRecord) {
    const std::string file = std::string(700, 'S') + BuildZip({}, 700).bytes;
    ASSERT_EQ(file.size(), 700u + 22u);
    MemorySource source(AsBytes(file));
    const ZipArchive archive = ReadZipArchive(source, 700);
    EXPECT_TRUE(archive.entries.empty());
    EXPECT_EQ(archive.central_directory, 700u);
}

TEST(ZipArchiveForms, CommentIsReadAndMayHoldAFakeEndRecord) {
    std::string fake(22, '\0');
    PutU32(fake, 0, 0x06054B50);
    PutU16(fake, 10, 9);  // nine entries that do not exist
    const std::string comment = "note " + fake + " end";
    const std::string file = Placed(100, 100, comment);
    MemorySource source(AsBytes(file));
    const ZipArchive archive = ReadZipArchive(source, 100);
    EXPECT_EQ(archive.comment, comment);
    EXPECT_EQ(archive.entries.size(), 2u);
}

TEST(ZipArchiveForms, BytesAfterTheCommentAreTolerated) {
    const std::string file = Placed(100, 100) + std::string(40, 'x');
    MemorySource source(AsBytes(file));
    EXPECT_EQ(ReadZipArchive(source, 100).entries.size(), 2u);
}

TEST(ZipArchiveForms, AnEndRecordInsideTheStubIsNotAnArchive) {
    // The stub itself may hold the end-record signature; the search must not look before the
    // archive start.
    std::string stub(200, 'S');
    stub.replace(50, 22, BuildZip({}).bytes);
    MemorySource source(AsBytes(stub + "x"));
    EXPECT_THROW(ReadZipArchive(source, 200), SfxError);
}

// A count of 0xFFFF is a plain archive of exactly 65,535 entries unless a Zip64 locator stands
// before the end record.
TEST(ZipArchiveForms, SixtyFiveThousandFiveHundredThirtyFiveEntriesAreAPlainArchive) {
    std::vector<TestEntry> entries;
    for (int i = 0; i < 65535; ++i) entries.emplace_back(std::to_string(i), "");
    const testing::BuiltZip zip = BuildZip(entries);
    {
        MemorySource source(AsBytes(zip.bytes));
        EXPECT_EQ(ReadZipArchive(source, 0).entries.size(), 65535u);
    }
    std::string locator(20, '\0');
    PutU32(locator, 0, 0x07064B50);
    std::string with_locator = zip.bytes;
    with_locator.insert(zip.end_offset, locator);
    MemorySource source(AsBytes(with_locator));
    try {
        ReadZipArchive(source, 0);
        ADD_FAILURE() << "a Zip64 archive was read";
    } catch (const SfxError& e) {
        EXPECT_NE(std::string(e.what()).find("Zip64"), std::string::npos) << e.what();
    }
}

// Every prefix of a good archive must fail cleanly or read: never crash or read out of bounds.
TEST(ZipArchiveDamage, EveryTruncationFailsCleanly) {
    const std::string file = Placed(64, 64, "comment");
    for (std::size_t length = 0; length < file.size(); ++length) {
        const std::string cut = file.substr(0, length);
        MemorySource source(AsBytes(cut));
        EXPECT_THROW(ReadZipArchive(source, 64), SfxError) << "length " << length;
    }
}

TEST(ZipArchiveDamage, CorruptFieldsAreRefusedWithTheirReason) {
    const testing::BuiltZip zip = BuildZip(kTwoFiles, 0);
    struct Case {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        int width;
        const char* expected;
    };
    const std::size_t end = zip.end_offset;
    const std::size_t central = zip.central_offset;
    const Case cases[] = {
        {"comment length past the end", end + 20, 500, 2, "comment runs past"},
        {"multi-volume", end + 4, 1, 2, "multi-volume"},
        {"count 0xFFFF without a Zip64 locator is a plain count", end + 10, 0xFFFF, 2, "disagrees"},
        {"directory larger than the file", end + 12, 0x7FFFFFF0, 4, "larger than the archive"},
        {"more entries than the directory holds", end + 10, 40, 2, "disagrees"},
        {"central signature", central, 0x12345678, 4, "not where the end record puts it"},
        {"name length past the directory", central + 28, 0xFFFF, 2, "runs past the end"},
        {"local offset outside", central + 42, 0x00FFFFFF, 4, "points outside the archive"},
        {"local offset at the wrong place", central + 42, 3, 4, "no local header"},
        {"packed size into the directory", central + 20, 0x00100000, 4, "runs into the central directory"},
    };
    for (const Case& c : cases) {
        std::string bytes = zip.bytes;
        if (c.width == 2) {
            PutU16(bytes, c.at, static_cast<std::uint16_t>(c.value));
        } else {
            PutU32(bytes, c.at, c.value);
        }
        MemorySource source(AsBytes(bytes));
        try {
            ReadZipArchive(source, 0);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const SfxError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << c.name << ": " << error.what();
        }
    }
}

TEST(ZipArchiveDamage, EntriesWhoseBytesOverlapAreRefused) {
    // Entry 1 holds what looks like a local header, so a record may point into its data.
    std::string inner(30, '\0');
    PutU32(inner, 0, 0x04034B50);
    std::vector<TestEntry> entries = {{"a", inner + "tail"}, {"b", "bravo"}, {"c", "charlie"}};
    for (int i = 0; i < 17; ++i) entries.push_back({"n" + std::to_string(i), "x"});
    const testing::BuiltZip zip = BuildZip(entries, 0);
    std::vector<std::size_t> central;  // where each directory record starts
    for (std::size_t at = zip.central_offset; at < zip.end_offset;) {
        central.push_back(at);
        const auto low = static_cast<unsigned char>(zip.bytes[at + 28]);
        const auto high = static_cast<unsigned char>(zip.bytes[at + 29]);
        at += 46 + low + 256u * high;  // the name's length; no extra field or comment
    }
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* expected;  // nullptr: accepted
    };
    const Case cases[] = {
        {"two records share one local header",
         [&](std::string& b) { PutU32(b, central[2] + 42, static_cast<std::uint32_t>(zip.local_offsets[1])); },
         "entries 2 (\"b\") and 3 (\"c\") overlap"},
        {"twenty records share one local header, 4 GiB declared",
         [&](std::string& b) {
             for (std::size_t at : central) {
                 PutU32(b, at + 42, static_cast<std::uint32_t>(zip.local_offsets[1]));
                 PutU32(b, at + 20, 5);
                 PutU32(b, at + 24, 0x0CCCCCCD);  // 20 x 214,748,365 bytes: 4 GiB in all
             }
         },
         "entries 1 (\"a\") and 2 (\"b\") overlap"},
        {"a record points into another entry's data",
         [&](std::string& b) { PutU32(b, central[1] + 42, static_cast<std::uint32_t>(zip.local_offsets[0] + 31)); },
         "entries 1 (\"a\") and 2 (\"b\") overlap"},
        {"packed data reaches the next local header", [&](std::string& b) { PutU32(b, central[1] + 20, 6); },
         "entries 2 (\"b\") and 3 (\"c\") overlap"},
        {"records in another order than the data",
         [&](std::string& b) {
             // Swap the first two directory records ("a" and "b" have one-letter names, so the
             // records are the same length).
             const std::string first = b.substr(central[0], central[1] - central[0]);
             const std::string second = b.substr(central[1], central[2] - central[1]);
             b.replace(central[0], second.size() + first.size(), second + first);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        std::string bytes = zip.bytes;
        c.damage(bytes);
        MemorySource source(AsBytes(bytes));
        if (!c.expected) {
            EXPECT_EQ(ReadZipArchive(source, 0).entries.size(), entries.size()) << c.name;
            continue;
        }
        try {
            ReadZipArchive(source, 0);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const SfxError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << c.name << ": " << error.what();
        }
    }
}

TEST(EntryData, DamagedDataIsCaughtBeforeItCounts) {
    const testing::BuiltZip zip = BuildZip(kTwoFiles, 0);
    auto read_second = [&](std::string bytes) {
        MemorySource source(AsBytes(bytes));
        const ZipArchive archive = ReadZipArchive(source, 0);
        return Unpack(source, archive.entries[1]);
    };
    const std::size_t central_second = zip.central_offset + 46 + 5;  // after "a.txt"

    std::string bad_crc = zip.bytes;
    PutU32(bad_crc, central_second + 16, 0xDEADBEEF);
    EXPECT_THROW(read_second(bad_crc), SfxError);

    std::string too_big = zip.bytes;
    PutU32(too_big, central_second + 24, 5001);
    EXPECT_THROW(read_second(too_big), SfxError);

    std::string too_small = zip.bytes;
    PutU32(too_small, central_second + 24, 4999);
    EXPECT_THROW(read_second(too_small), SfxError);

    std::string broken_stream = zip.bytes;
    const std::size_t data = zip.local_offsets[1] + 30 + 9;
    broken_stream[data] = static_cast<char>(0xFF);  // an invalid block type
    broken_stream[data + 1] = static_cast<char>(0xFF);
    EXPECT_THROW(read_second(broken_stream), SfxError);

    std::string truncated_stream = zip.bytes;
    PutU32(truncated_stream, central_second + 20, 3);  // the packed data seems to end early
    EXPECT_THROW(read_second(truncated_stream), SfxError);

    std::string stored_sizes_differ = BuildZip({{"s", "stored"}}, 0).bytes;
    PutU32(stored_sizes_differ, stored_sizes_differ.size() - 22 - 47 + 24, 5);
    MemorySource source(AsBytes(stored_sizes_differ));
    const ZipArchive archive = ReadZipArchive(source, 0);
    EXPECT_THROW(Unpack(source, archive.entries[0]), SfxError);
}

// What the stub cannot extract is refused with the method's name; traditional encryption
// (flag bit 0 alone) it extracts given the password.
TEST(EntryData, UnsupportedEntriesAreNamed) {
    struct Row {
        std::uint16_t method;
        std::uint16_t flags;
        const char* reason;  // "" when the stub extracts it
    };
    const Row rows[] = {
        {0, 0, ""},
        {8, 0, ""},
        {0, 1, ""},
        {8, 1 | 8, ""},
        {8, 1 | 0x40, "encrypted with PKWARE strong encryption"},
        {99, 1, "encrypted with AES (method 99)"},
        {12, 0, "compressed with BZip2 (method 12)"},
        {9, 0, "compressed with Deflate64 (method 9)"},
        {14, 0, "compressed with LZMA (method 14)"},
        {77, 0, "compressed with method 77"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        std::string bytes = BuildZip({{"entry", "x"}}, 0).bytes;
        const std::size_t central = bytes.size() - 22 - 46 - 5;
        PutU16(bytes, central + 8, row.flags);
        PutU16(bytes, central + 10, row.method);
        MemorySource source(AsBytes(bytes));
        const ZipArchive archive = ReadZipArchive(source, 0);
        const std::string reason = archive.entries[0].UnsupportedReason();
        if (*row.reason == '\0') {
            EXPECT_EQ(reason, "");
            continue;
        }
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        try {
            Unpack(source, archive.entries[0]);
            ADD_FAILURE() << "unpacked";
        } catch (const SfxError& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos) << error.what();
        }
    }
}

TEST(EntryData, UnixModesAndLinksAreRecognised) {
    const std::string bytes =
        BuildZip({{"run.sh", "#!/bin/sh\n", false, 0100755}, {"link", "target", false, 0120777}, {"dos", "x"}}).bytes;
    MemorySource source(AsBytes(bytes));
    const ZipArchive archive = ReadZipArchive(source, 0);
    EXPECT_EQ(archive.entries[0].UnixMode(), 0100755u);
    EXPECT_FALSE(archive.entries[0].IsSymbolicLink());
    EXPECT_TRUE(archive.entries[1].IsSymbolicLink());
    EXPECT_FALSE(archive.entries[2].UnixMode().has_value());
}

std::string U64(std::uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// Archives whose figures live in zip64 records: where the zip64 end record is found, and what
// makes one not hold together.
TEST(Zip64Archive, FiguresComeFromTheZip64RecordsWhereverTheRecordStands) {
    const std::size_t prefix = 1000;
    struct Row {
        const char* name;
        std::uint64_t base;          // where the archive's offsets count from
        std::size_t extensible = 0;  // bytes of extensible data after the zip64 end record
        std::int64_t shift;
    };
    const Row rows[] = {
        {"offsets moved past the prefix", prefix, 0, 0},
        {"offsets of the bare archive", 0, 0, static_cast<std::int64_t>(prefix)},
        {"extensible data: found by its moved offset", prefix, 40, 0},
        {"extensible data: found by its offset in the bare archive", 0, 40, static_cast<std::int64_t>(prefix)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const testing::BuiltZip zip = BuildZip(kTwoFiles, row.base, "", true);
        std::string bytes = zip.bytes;
        if (row.extensible > 0) {
            bytes.insert(zip.zip64_end_offset + 56, std::string(row.extensible, 'e'));
            bytes.replace(zip.zip64_end_offset + 4, 8, U64(44 + row.extensible));
        }
        const std::string file = std::string(prefix, 'S') + bytes;
        MemorySource source(AsBytes(file));
        const ZipArchive archive = ReadZipArchive(source, prefix);
        EXPECT_EQ(archive.shift, row.shift);
        ASSERT_EQ(archive.entries.size(), 2u);
        EXPECT_EQ(archive.entries[1].unpacked_size, 5000u);
        EXPECT_EQ(Unpack(source, archive.entries[0]), "alpha\n");
        EXPECT_EQ(Unpack(source, archive.entries[1]), std::string(5000, 'b'));
    }
}

TEST(Zip64Archive, RecordsThatDoNotHoldTogetherAreRefused) {
    const testing::BuiltZip zip = BuildZip(kTwoFiles, 0, "", true);
    const std::size_t z64 = zip.zip64_end_offset;
    const std::size_t locator = z64 + 56;
    const std::size_t central = zip.central_offset;  // "a.txt": its zip64 field follows the name
    const std::size_t local_second = zip.local_offsets[1];
    struct Row {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* expected;
    };
    const Row rows[] = {
        {"locator on another disk", [&](std::string& b) { PutU32(b, locator + 16, 2); }, "multi-volume"},
        {"zip64 end record on disk 1", [&](std::string& b) { PutU32(b, z64 + 16, 1); }, "multi-volume"},
        {"no zip64 end record", [&](std::string& b) { PutU32(b, z64, 0x12345678); },
         "Zip64 end record is missing or damaged"},
        {"its counts disagree", [&](std::string& b) { b.replace(z64 + 24, 8, U64(1)); }, "disagrees with itself"},
        {"more entries than the directory holds",
         [&](std::string& b) {
             b.replace(z64 + 24, 8, U64(1000));
             b.replace(z64 + 32, 8, U64(1000));
         },
         "too small for the number of entries"},
        {"directory size wrong", [&](std::string& b) { b.replace(z64 + 40, 8, U64(z64 - central + 1)); },
         "not where the end record puts it"},
        {"entry without its zip64 field", [&](std::string& b) { PutU16(b, central + 46 + 5, 0x9999); },
         "defer to a Zip64 field it lacks"},
        {"entry's zip64 field too short", [&](std::string& b) { PutU16(b, central + 46 + 5 + 2, 8); },
         "Zip64 field too short"},
        {"entry's offset past the archive",
         [&](std::string& b) { b.replace(central + 46 + 5 + 4 + 16, 8, U64(1ull << 40)); },
         "points outside the archive"},
        {"local zip64 size differs", [&](std::string& b) { b.replace(local_second + 30 + 9 + 4, 8, U64(4999)); },
         "sizes differ from the directory's"},
        {"local zip64 field missing", [&](std::string& b) { PutU16(b, local_second + 30 + 9, 0x9999); },
         "local header whose Zip64 sizes are missing"},
    };
    for (const Row& row : rows) {
        std::string bytes = zip.bytes;
        row.damage(bytes);
        MemorySource source(AsBytes(bytes));
        try {
            ReadZipArchive(source, 0);
            ADD_FAILURE() << row.name << ": accepted";
        } catch (const SfxError& error) {
            EXPECT_NE(std::string(error.what()).find(row.expected), std::string::npos)
                << row.name << ": " << error.what();
        }
    }
    // A classic end record that defers without any zip64 record behind it.
    std::string plain = BuildZip(kTwoFiles).bytes;
    PutU32(plain, plain.size() - 22 + 16, 0xFFFFFFFF);
    MemorySource source(AsBytes(plain));
    EXPECT_THROW(ReadZipArchive(source, 0), SfxError);
}

TEST(Zip64Archive, MoreThan65535EntriesAreAllRead) {
    std::vector<TestEntry> entries;
    for (int i = 0; i < 70000; ++i) entries.emplace_back("f" + std::to_string(i), i % 1000 == 0 ? "data" : "");
    const testing::BuiltZip zip = BuildZip(entries, 0, "", true);
    MemorySource source(AsBytes(zip.bytes));
    const ZipArchive archive = ReadZipArchive(source, 0);
    ASSERT_EQ(archive.entries.size(), 70000u);
    EXPECT_EQ(archive.entries[69999].stored_name, "f69999");
    EXPECT_EQ(Unpack(source, archive.entries[69000]), "data");
}

// A Unicode Path field gives the name used, shown and checked, when it was written for the
// stored name; a stale one is ignored.
TEST(UnicodeNames, ThePathFieldNamesTheEntryWhenItsCrcMatches) {
    const std::string cp437 = "caf\x82.txt";
    const auto crc_of = [](const std::string& text) {
        return static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    };
    const auto unicode_field = [](std::uint32_t crc, const std::string& name, char version = 1) {
        std::string data(5, '\0');
        data[0] = version;
        PutU32(data, 1, crc);
        return ExtraField(0x7075, data + name);
    };
    struct Row {
        const char* label;
        std::string extra;
        std::string expected_name;
        const char* refusal;  // the plan refuses the name used, or nullptr
    };
    const Row rows[] = {
        {"matching field", unicode_field(crc_of(cp437), "caf\xc3\xa9.txt"), "caf\xc3\xa9.txt", nullptr},
        {"after another field", ExtraField(0x5455, "\x01\0\0\0\0") + unicode_field(crc_of(cp437), "caf\xc3\xa9.txt"),
         "caf\xc3\xa9.txt", nullptr},
        {"stale field", unicode_field(crc_of("old.txt"), "new.txt"), cp437, nullptr},
        {"unknown version", unicode_field(crc_of(cp437), "x.txt", 2), cp437, nullptr},
        {"climbing name", unicode_field(crc_of(cp437), "../escape.txt"), "../escape.txt", "climbs out"},
        {"absolute name", unicode_field(crc_of(cp437), "/etc/passwd"), "/etc/passwd", "absolute"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TestEntry entry(cp437, "x");
        entry.central_extra = row.extra;
        const std::string bytes = BuildZip({entry}).bytes;
        MemorySource source(AsBytes(bytes));
        const ZipArchive archive = ReadZipArchive(source, 0);
        EXPECT_EQ(archive.entries[0].stored_name, row.expected_name);
        if (!row.refusal) {
            EXPECT_EQ(CheckEntries(archive).at(0).path, row.expected_name);
            continue;
        }
        try {
            CheckEntries(archive);
            ADD_FAILURE() << "accepted";
        } catch (const SfxError& error) {
            EXPECT_NE(std::string(error.what()).find(row.refusal), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace kitforge::zipsfx
