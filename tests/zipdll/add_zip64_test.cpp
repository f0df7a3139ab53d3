// Zip64 archives, checked against the zip tools we did not write (Info-ZIP, 7-Zip, bsdtar,
// Python): adding to zip64 archives that other tools made, streamed ones with 64-bit data
// descriptors among them; writing more than 65,535 entries; and, when large tests are asked
// for, entries and archives past 4 GiB.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "formats/byte_order.h"
#include "formats/zip_records.h"
#include "support/large_files.h"
#include "support/temp_folder.h"
#include "zipdll_harness.h"

namespace {

using kitforge::testing::MakeSparseFile;
using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using namespace zipdll_testing;
namespace zf = kitforge::formats;

// The classic end record's entry count and whether a zip64 locator stands before it (no comment).
struct Tail {
    std::uint16_t entries = 0;
    bool zip64 = false;
};

Tail TailOf(const std::string& archive) {
    std::ifstream in(archive, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    std::vector<std::uint8_t> bytes(zf::kEndRecordSize + zf::zip64::kLocatorSize);
    in.seekg(size - static_cast<std::streamoff>(bytes.size()));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return {zf::GetU16LE(bytes.data() + zf::zip64::kLocatorSize + zf::end_record::kTotalEntries),
            zf::GetU32LE(bytes.data()) == zf::zip64::kLocatorSignature};
}

std::size_t PythonEntryCount(const std::string& archive) {
    ToolResult result = RunTool(
        "python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))' " + Quote(archive));
    EXPECT_EQ(result.status, 0) << result.output;
    return std::strtoul(result.output.c_str(), nullptr, 10);
}

class ZipDllZip64 : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"zip", "unzip", "7z", "bsdtar", "python3"}) KITFORGE_NEEDS_TOOL(tool);
    }

    ZipLibrary library;
    TempFolder folder;

    std::int32_t Add(const std::string& archive, std::vector<std::string> specs, int level = 6) {
        AddCall call;
        call.archive = archive;
        call.specs = std::move(specs);
        call.level = level;
        const std::int32_t added = call.Run(library);
        for (const CallbackEvent& message : call.Messages())
            if (message.error_code != 0) ADD_FAILURE() << message.text;
        return added;
    }
};

// Archives other tools make with zip64 records: a streamed entry whose local header saturates
// its sizes and whose descriptor holds them in 64 bits, Python's forced zip64 fields written to
// a file and to a pipe, and Info-ZIP's forced zip64. Adding to each keeps the old entries
// readable from the directory and from a stream.
TEST_F(ZipDllZip64, AddsToZip64ArchivesOfOtherTools) {
    const std::string numbers = RunTool("seq 1 200000").output;
    WriteBytes(folder / "numbers", numbers);
    WriteBytes(folder / "n.txt", "added by us\n");
    const char* python = R"(
import sys, zipfile
target = open(sys.argv[1], 'wb') if sys.argv[2] == 'file' else sys.stdout.buffer
with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:
    with z.open('numbers', 'w', force_zip64=True) as entry:
        entry.write(open(sys.argv[3], 'rb').read())
)";
    const std::string run_python = "python3 -c " + Quote(python) + " ";
    struct Case {
        const char* what;
        std::string make;
    };
    const std::vector<Case> cases = {
        {"zip streamed to a pipe", "cd " + Quote(folder.Path()) + " && zip -q - - < numbers | cat > "},
        {"python, forced zip64 in a file", run_python + "{} file " + Quote(folder / "numbers") + " && : "},
        {"python, forced zip64 to a pipe", run_python + "- pipe " + Quote(folder / "numbers") + " | cat > "},
        {"zip -fz", "cd " + Quote(folder.Path()) + " && zip -q -fz - numbers | cat > "},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string archive = folder / ("peer" + std::to_string(index++) + ".zip");
        std::string make = c.make;
        if (const auto at = make.find("{}"); at != std::string::npos) make.replace(at, 2, Quote(archive));
        ASSERT_EQ(RunTool(make + Quote(archive)).status, 0) << make;
        const std::string name = PythonEntryNames(archive).at(0);

        ASSERT_EQ(Add(archive, {folder / "n.txt"}), 1);
        EXPECT_EQ(PythonEntryNames(archive), (std::vector<std::string>{name, "n.txt"}));
        EXPECT_TRUE(UnzipTestPasses(archive));
        EXPECT_TRUE(SevenZipTestPasses(archive));
        const ToolResult streamed = BsdtarFromPipe(archive);
        EXPECT_EQ(streamed.status, 0) << streamed.output.substr(0, 300);
        // Not EXPECT_EQ: a diff of megabytes of numbers would drown the report.
        EXPECT_TRUE(streamed.output == numbers + "added by us\n")
            << streamed.output.size() << " bytes streamed, ending "
            << streamed.output.substr(streamed.output.size() - std::min<std::size_t>(200, streamed.output.size()));
    }
}

// Across the entry-count limit: a 7-Zip archive of 65,530 entries grows to 65,534, which need
// no zip64 records, then to 65,535, which bring the zip64 end record with the classic count
// saturated, then to 65,536 from that zip64 archive of ours; and 7-Zip's own zip64 archive of
// 65,536 entries takes one more.
TEST_F(ZipDllZip64, EntryCountsPastTheClassicLimit) {
    const std::string many = folder / "many/";
    ASSERT_EQ(RunTool("python3 -c 'import os, sys\nos.mkdir(sys.argv[1])\nfor i in range(65536): "
                      "os.close(os.open(sys.argv[1] + str(i), os.O_CREAT | os.O_WRONLY))' " +
                      Quote(many))
                  .status,
              0);
    const std::string archive = folder / "count.zip";
    const std::string seven = folder / "seven.zip";
    const std::string zip7 = "7z a -tzip -bd -mx=0 ";
    ASSERT_EQ(RunTool("cd " + Quote(many) + " && " + zip7 + Quote(archive) + " . '-x!6553?' >/dev/null && " + zip7 +
                      Quote(seven) + " . > /dev/null")
                  .status,
              0);
    ASSERT_EQ(Add(archive, {many + "65530", many + "65531", many + "65532", many + "65533"}), 4);
    Tail tail = TailOf(archive);
    EXPECT_EQ(tail.entries, 65534);
    EXPECT_FALSE(tail.zip64);

    ASSERT_EQ(Add(archive, {many + "65534"}), 1);
    tail = TailOf(archive);
    EXPECT_EQ(tail.entries, 0xFFFF);
    EXPECT_TRUE(tail.zip64);
    ASSERT_EQ(Add(archive, {many + "65535"}), 1);
    EXPECT_EQ(PythonEntryCount(archive), 65536u);
    EXPECT_TRUE(UnzipTestPasses(archive));
    EXPECT_TRUE(SevenZipTestPasses(archive));

    WriteBytes(folder / "one more", "65536");
    ASSERT_EQ(Add(seven, {folder / "one more"}), 1);
    EXPECT_EQ(PythonEntryCount(seven), 65537u);
    EXPECT_EQ(UnzipEntry(seven, "one more"), "65536");
    EXPECT_EQ(RunTool("cat " + Quote(seven) + " | bsdtar -tf - | wc -l").output, "65537\n");
}

// A zip64 archive that is part of a multi-volume set, or whose zip64 end record is not where
// its locator says, is refused before anything is written, with the reason, and left as it was.
TEST_F(ZipDllZip64, DamagedOrMultiVolumeZip64ArchivesAreRefused) {
    WriteBytes(folder / "h.txt", "hello\n");
    const std::string made = folder / "made.zip";
    ASSERT_EQ(RunTool("cd " + Quote(folder.Path()) + " && zip -q -fz made.zip h.txt").status, 0);
    const std::string original = ReadBytes(made);
    const std::size_t locator = original.size() - zf::kEndRecordSize - zf::zip64::kLocatorSize;
    const std::size_t record = locator - zf::zip64::kEndRecordSize;
    struct Case {
        const char* what;
        std::size_t at;
        char value;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"the locator counts two disks", locator + zf::zip64::locator::kTotalDisks, 2, "part of a multi-volume set"},
        {"the zip64 record is on disk 1", record + zf::zip64::end_record::kThisDisk, 1, "part of a multi-volume set"},
        {"no zip64 record where the locator points", record, 'X',
         "zip64 end of central directory record is missing or damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = original;
        damaged[c.at] = c.value;
        const std::string archive = folder / "damaged.zip";
        WriteBytes(archive, damaged);
        AddCall call;
        call.archive = archive;
        call.specs = {folder / "h.txt"};
        EXPECT_EQ(call.Run(library), 0);
        const auto messages = call.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages[0].error_code, 10);
        EXPECT_NE(messages[0].text.find(archive), std::string::npos) << messages[0].text;
        EXPECT_NE(messages[0].text.find(c.reason), std::string::npos) << messages[0].text;
        EXPECT_TRUE(ReadBytes(archive) == damaged);
    }
}

// Traditional encryption, in one piece and in several (with a data descriptor), read by Info-ZIP
// and by 7-Zip with the password.
TEST_F(ZipDllZip64, EncryptedEntriesAreReadByUnzipAnd7Zip) {
    std::string big(9u << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>("zip64 \n"[i % 7] + (i >> 20));
    WriteBytes(folder / "small.txt", "a secret");
    WriteBytes(folder / "big.txt", big);
    AddCall call;
    call.archive = folder / "secret.zip";
    call.specs = {folder / "small.txt", folder / "big.txt"};
    call.encrypt = true;
    call.password = "pass word";
    ASSERT_EQ(call.Run(library), 2);
    EXPECT_TRUE(UnzipTestPasses(call.archive, "pass word"));
    EXPECT_TRUE(SevenZipTestPasses(call.archive, "pass word"));
    EXPECT_TRUE(UnzipEntry(call.archive, "big.txt", "pass word") == big);
    EXPECT_EQ(RunTool("7z x -so -bd -p'pass word' " + Quote(call.archive) + " small.txt").output, "a secret");
}

// Past 4 GiB: an entry larger than that, stored and deflated; an entry whose local header lies
// beyond it, once written new and once moved there because the entry before it grew; a
// directory that starts past it. Each is read by three peers, bsdtar from a pipe.
TEST_F(ZipDllZip64, EntriesAndArchivesPast4GiB) {
    KITFORGE_LARGE_TEST_ONLY();
    const std::uint64_t large = (4ull << 30) + 12345;
    const std::string huge = folder / "huge.bin";
    MakeSparseFile(huge, large);
    WriteBytes(folder / "a.txt", "first");
    WriteBytes(folder / "b.txt", "second");
    const auto check = [&](const std::string& archive, const std::string& last, const std::string& contents) {
        EXPECT_TRUE(UnzipTestPasses(archive));
        EXPECT_TRUE(SevenZipTestPasses(archive));
        EXPECT_EQ(UnzipEntry(archive, last), contents);
        const ToolResult sizes = RunTool("cat " + Quote(archive) + " | bsdtar -xOf - | wc -c");
        EXPECT_EQ(sizes.output, std::to_string(large + 5 + 6) + "\n");
    };
    {
        SCOPED_TRACE("deflated");
        const std::string archive = folder / "deflated.zip";
        ASSERT_EQ(Add(archive, {folder / "a.txt", huge, folder / "b.txt"}, 6), 3);
        EXPECT_LT(ReadBytes(archive).size(), 20u << 20);
        check(archive, "b.txt", "second");
        std::remove(archive.c_str());
    }
    {
        SCOPED_TRACE("stored, then the first entry grows past 4 GiB");
        const std::string archive = folder / "stored.zip";
        ASSERT_EQ(Add(archive, {folder / "a.txt", folder / "b.txt"}, 0), 2);
        std::rename((folder / "a.txt").c_str(), (folder / "a.save").c_str());
        std::rename(huge.c_str(), (folder / "a.txt").c_str());
        ASSERT_EQ(Add(archive, {folder / "a.txt"}, 0), 1);  // b.txt moves past 4 GiB
        std::rename((folder / "a.txt").c_str(), huge.c_str());
        std::rename((folder / "a.save").c_str(), (folder / "a.txt").c_str());
        EXPECT_EQ(PythonEntryNames(archive), (std::vector<std::string>{"a.txt", "b.txt"}));
        WriteBytes(folder / "c.txt", "third");
        ASSERT_EQ(Add(archive, {folder / "c.txt"}, 0), 1);  // a new entry and the directory beyond it
        EXPECT_TRUE(PythonZipfileTestPasses(archive));
        EXPECT_TRUE(UnzipTestPasses(archive));
        EXPECT_TRUE(SevenZipTestPasses(archive));
        EXPECT_EQ(UnzipEntry(archive, "c.txt"), "third");
        const ToolResult sizes = RunTool("cat " + Quote(archive) + " | bsdtar -xOf - | wc -c");
        EXPECT_EQ(sizes.output, std::to_string(large + 6 + 5) + "\n");
        std::remove(archive.c_str());
    }
}

}  // namespace
