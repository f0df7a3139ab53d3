// Reading directories past the classic limits: entries whose sizes, offsets or disks live in
// zip64 extra fields, archives of peers that write zip64 records, names carried in Unicode
// Path fields, and the damaged forms of all of these.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>

#include "formats/zip_extra_fields.h"
#include "support/large_files.h"
#include "support/temp_folder.h"
#include "zip/zip_master_internals.h"
#include "zip_test_support.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::ReadBytes;
using testing::RunCommand;
using testing::RunPython;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// An extra field with `id` and `data`, as stored.
std::string ExtraField(std::uint16_t id, const std::string& data) { return Le(id, 2) + Le(data.size(), 2) + data; }

void PatchCentral(testing::BuiltArchive& built, std::size_t field, std::uint64_t value, int bytes) {
    built.bytes.replace(built.central_entries[0] + field, static_cast<std::size_t>(bytes), Le(value, bytes));
}

// Every entry of `path` as the component reads it must be what Python reads, real figures included.
void ExpectEntriesAsPythonReadsThem(const std::string& path, const ZipHarness& h) {
    const auto expected = testing::PythonEntryLines(path);
    ASSERT_EQ(h.zip.Entries().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ZipDirEntry& e = h.zip.Entries()[i];
        std::string stored = e.FileName;
        std::replace(stored.begin(), stored.end(), '\\', '/');
        ASSERT_EQ(testing::EntryLine(e, stored), expected[i]) << path << " entry " << i;
    }
}

// A saturated stored field is replaced by the figure of the entry's zip64 field; without a
// long enough field the archive is damaged and the error names the entry.
TEST(Zip64Directory, SaturatedFieldsTakeTheFiguresOfTheZip64Field) {
    namespace c = formats::central;
    constexpr std::uint64_t kFiveGiB = std::uint64_t{5} << 30;
    constexpr std::uint32_t kFull = 0xFFFFFFFF;
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, int>> saturated;  // central field, width in bytes
        std::string zip64_data;                              // none when empty and `field` false
        bool field;
        std::uint64_t unpacked, packed, offset;
        std::uint32_t disk;
        std::string error;  // empty when the reading succeeds
        std::string name = "big.bin";
    };
    // The entry stands right after a 100-byte stub (offsets count from the file's start).
    const std::vector<Case> cases = {
        {"both sizes",
         {{c::kUnpackedSize, 4}, {c::kPackedSize, 4}},
         Le(kFiveGiB, 8) + Le(kFiveGiB - 7, 8),
         true,
         kFiveGiB,
         kFiveGiB - 7,
         100,
         0,
         ""},
        {"unpacked only, as Info-ZIP -fz", {{c::kUnpackedSize, 4}}, Le(kFiveGiB, 8), true, kFiveGiB, 4, 100, 0, ""},
        {"offset", {{c::kLocalHeaderOffset, 4}}, Le(100, 8), true, 4, 4, 100, 0, ""},
        {"offset and disk",
         {{c::kLocalHeaderOffset, 4}, {c::kStartDisk, 2}},
         Le(100, 8) + Le(70000, 4),
         true,
         4,
         4,
         100,
         70000,
         ""},
        {"no field",
         {{c::kUnpackedSize, 4}},
         "",
         false,
         0,
         0,
         0,
         0,
         "the entry \"big.bin\" leaves its unpacked size to a zip64 extra field, which it does not have"},
        {"short field",
         {{c::kUnpackedSize, 4}, {c::kPackedSize, 4}, {c::kLocalHeaderOffset, 4}},
         Le(kFiveGiB, 8),
         true,
         0,
         0,
         0,
         0,
         "the entry \"big.bin\" leaves its unpacked size, packed size and local header offset to a zip64 extra "
         "field of 8 bytes, too short to hold them"},
        // A name from the archive reaches the terminal only with its control characters shown as "?".
        {"no field, a name that would retitle the terminal",
         {{c::kUnpackedSize, 4}},
         "",
         false,
         0,
         0,
         0,
         0,
         "the entry \"x?]0;owned?.bin\" leaves its unpacked size",
         "x\x1b]0;owned\a.bin"},
    };
    TempFolder folder;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        auto entry = testing::Stored(test.name, "data");
        // A field of another kind first: the zip64 field is found among others.
        entry.extra = ExtraField(0x5455, Le(0x01, 1) + Le(0x6000000, 4));
        if (test.field) entry.extra += ExtraField(formats::zip64::kExtraId, test.zip64_data);
        testing::ArchiveOptions options;
        options.stub = std::string(100, 's');
        options.offsets_include_stub = true;
        auto built = BuildArchive({entry}, options);
        for (const auto& [field, width] : test.saturated)
            PatchCentral(built, field, width == 4 ? kFull : 0xFFFF, width);
        WriteBytes(folder / "z.zip", built.bytes);
        ZipHarness h;
        h.Read(folder / "z.zip");
        if (!test.error.empty()) {
            ASSERT_EQ(h.Ids(), std::vector<int>{10202});
            EXPECT_NE(h.reports[0].text.find(test.error), std::string::npos) << h.reports[0].text;
            EXPECT_EQ(h.zip.ZipFilename(), "");
            continue;
        }
        ASSERT_TRUE(h.reports.empty()) << h.reports[0].text;
        ASSERT_EQ(h.zip.Entries().size(), 1u);
        const ZipDirEntry& e = h.zip.Entries()[0];
        EXPECT_EQ(e.UnpackedSize64, test.unpacked);
        EXPECT_EQ(e.PackedSize64, test.packed);
        EXPECT_EQ(e.LocalHeaderOffset64, test.offset);
        EXPECT_EQ(e.StartDisk32, test.disk);
        // The stored fields stay as stored.
        for (const auto& [field, width] : test.saturated) {
            if (field == c::kUnpackedSize) {
                EXPECT_EQ(e.UnpackedSize, kFull);
            } else if (field == c::kLocalHeaderOffset) {
                EXPECT_EQ(e.LocalHeaderOffset, kFull);
            } else if (field == c::kStartDisk) {
                EXPECT_EQ(e.StartDisk, 0xFFFF);
            }
        }
        // The stub is measured by the real offset, not by the saturated one.
        EXPECT_EQ(h.zip.StubSize(), 100);
        EXPECT_FALSE(h.zip.OffsetsShifted());
    }
}

// Archives of peers with zip64 records: each read as Python reads it, real figures included.
TEST(Zip64Directory, PeerArchivesReadAsPythonReadsThem) {
    struct Case {
        const char* what;
        const char* tool;
        std::string command;  // run in the test folder, makes p.zip
        bool zip64_directory;
    };
    const std::string python_streamed =
        "python3 -c \"\nimport zipfile\nclass W:\n    def __init__(s, f): s.f = f\n"
        "    def write(s, b): return s.f.write(b)\n    def flush(s): s.f.flush()\n"
        "with open('p.zip', 'wb') as f, zipfile.ZipFile(W(f), 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for n in ['a.txt', 'dir/b.txt']:\n"
        "        with z.open(n, 'w', force_zip64=True) as e: e.write(b'data ' * 500)\n\"";
    const std::string python_seekable =
        "python3 -c \"\nimport zipfile\nwith zipfile.ZipFile('p.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for n in ['a.txt', 'dir/b.txt']:\n"
        "        with z.open(n, 'w', force_zip64=True) as e: e.write(b'data ' * 500)\n\"";
    const std::vector<Case> cases = {
        {"Info-ZIP zip -fz", "zip",
         "seq 1 3000 > s.txt && head -c 5000 /dev/urandom > r.bin && zip -q -fz p.zip s.txt r.bin", true},
        {"Info-ZIP streamed, zip64 descriptor", "zip", "seq 1 200000 | zip -q - - > p.zip", false},
        {"Python force_zip64 through a pipe, data descriptors", "python3", python_streamed, false},
        {"Python force_zip64", "python3", python_seekable, false},
        {"7-Zip, 70,000 entries", "7z",
         "mkdir m && cd m && python3 -c \"\nfor i in range(70000): open('f%05d' % i, 'w').close()\" && "
         "7z a -tzip -mx0 -bso0 -bsp0 ../p.zip . && cd .. && rm -rf m",
         true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        if (!testing::ToolOnPath(test.tool)) {
            std::cout << "skipped (" << test.tool << " is not installed): " << test.what << '\n';
            continue;
        }
        TempFolder folder;
        ASSERT_EQ(RunCommand("cd " + folder.Path() + " && " + test.command), 0);
        ZipHarness h;
        h.Read(folder / "p.zip");
        ASSERT_TRUE(h.reports.empty()) << h.reports[0].text;
        EXPECT_EQ(h.Directory().Zip64Directory, test.zip64_directory);
        ExpectEntriesAsPythonReadsThem(folder / "p.zip", h);
    }
}

// A Unicode Path (or Comment) field gives the UTF-8 text when its CRC-32 is that of the
// header's own bytes; a stale one is ignored, and a name flagged as UTF-8 is its own.
TEST(Zip64Directory, UnicodePathFieldsGiveTheNameWhenWrittenForIt) {
    const std::string header_name = "dir/caf\x82.txt";  // code page 437
    const std::string unicode = "dir/caf\xC3\xA9.txt";
    const auto PathField = [](std::uint32_t crc, const std::string& text) {
        return ExtraField(formats::extra::kUnicodePathId, Le(1, 1) + Le(crc, 4) + text);
    };
    struct Case {
        const char* what;
        std::uint8_t host;
        std::uint16_t flags;
        std::string extra;
        std::string name;
    };
    const std::uint32_t crc = testing::Crc32(header_name);
    const std::vector<Case> cases = {
        {"MS-DOS, matching", 0, 0, PathField(crc, unicode), "dir\\caf\xC3\xA9.txt"},
        {"Unix, matching", 3, 0, PathField(crc, unicode), "dir\\caf\xC3\xA9.txt"},
        {"MS-DOS, stale", 0, 0, PathField(crc ^ 1, unicode), "dir\\caf\xE9.txt"},  // code page 1252
        {"Unix, stale", 3, 0, PathField(crc ^ 1, unicode), "dir\\caf\x82.txt"},
        {"another version", 3, 0, ExtraField(formats::extra::kUnicodePathId, Le(2, 1) + Le(crc, 4) + unicode),
         "dir\\caf\x82.txt"},
        {"cut short", 3, 0, ExtraField(formats::extra::kUnicodePathId, Le(1, 1) + Le(crc, 2)), "dir\\caf\x82.txt"},
        {"flagged UTF-8", 3, formats::kFlagUtf8, PathField(crc, "other"), "dir\\caf\x82.txt"},
    };
    TempFolder folder;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        auto entry = testing::Stored(header_name, "x", test.host, 20, test.flags);
        entry.extra = test.extra;
        entry.comment = "caf\x82";
        entry.extra += ExtraField(formats::extra::kUnicodeCommentId,
                                  Le(1, 1) + Le(testing::Crc32(entry.comment), 4) + "caf\xC3\xA9 comment");
        WriteBytes(folder / "u.zip", BuildArchive({entry}).bytes);
        ZipHarness h;
        h.Read(folder / "u.zip");
        ASSERT_TRUE(h.reports.empty()) << h.reports[0].text;
        ASSERT_EQ(h.zip.Entries().size(), 1u);
        EXPECT_EQ(h.zip.Entries()[0].FileName, test.name);
        EXPECT_EQ(h.zip.Entries()[0].NameLength, header_name.size());
        EXPECT_EQ(h.zip.Entries()[0].FileComment,
                  test.flags ? std::string("caf\x82") : std::string("caf\xC3\xA9 comment"));
    }
}

// An archive past 4 GiB (a stored sparse file), made by Info-ZIP and by Python: the entry after
// the large one has its offset in a zip64 field, the large one its sizes.
TEST(Zip64Directory, ArchivesPast4GiBReadAsPythonReadsThem) {
    KITFORGE_LARGE_TEST_ONLY();
    TempFolder folder;
    testing::MakeSparseFile(folder / "big.bin", (std::uint64_t{4} << 30) + 12345);
    WriteBytes(folder / "a.txt", "first");
    WriteBytes(folder / "z.txt", "last");
    const std::vector<std::pair<const char*, std::string>> makers = {
        {"zip", "zip -q -0 info.zip a.txt big.bin z.txt"},
        {"python3",
         "python3 -c \"\nimport zipfile\nwith zipfile.ZipFile('python.zip', 'w') as z:\n"
         "    for n in ['a.txt', 'big.bin', 'z.txt']: z.write(n)\n\""},
    };
    for (const auto& [tool, command] : makers) {
        SCOPED_TRACE(command);
        if (!testing::ToolOnPath(tool)) continue;
        ASSERT_EQ(RunCommand("cd " + folder.Path() + " && " + command), 0);
        const std::string path = folder / (std::string(tool) == "zip" ? "info.zip" : "python.zip");
        ZipHarness h;
        h.Read(path);
        ASSERT_TRUE(h.reports.empty()) << h.reports[0].text;
        ExpectEntriesAsPythonReadsThem(path, h);
        ASSERT_EQ(h.zip.Entries().size(), 3u);
        EXPECT_EQ(h.zip.Entries()[1].UnpackedSize64, (std::uint64_t{4} << 30) + 12345);
        EXPECT_GT(h.zip.Entries()[2].LocalHeaderOffset64, std::uint64_t{4} << 30);
        EXPECT_EQ(h.zip.StubSize(), 0);
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace kitforge
