// Archives written by ZIPDLL.DLL, checked with tools we did not write: Info-ZIP unzip and
// Python's zipfile. New archives, additions to existing and self-extracting ones, replacement
// of an entry of the same name, every level, large files cut into pieces, and encryption.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "support/temp_folder.h"
#include "zipdll_harness.h"

namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using namespace zipdll_testing;

class ZipDllAdd : public ::testing::Test {
protected:
    ZipLibrary library;
    TempFolder folder;

    std::string File(const std::string& name, const std::string& contents) {
        std::string path = folder / name;
        WriteBytes(path, contents);
        return path;
    }
};

TEST_F(ZipDllAdd, ReportsAVersionWithTheNewRecordLayout) { EXPECT_GE(library.Version(), ZIPDLL_NEW_LAYOUT_VERSION); }

TEST_F(ZipDllAdd, NewArchivePassesUnzipAndPythonAndKeepsContents) {
    AddCall call;
    call.archive = folder / "new.zip";
    call.specs = {File("a.txt", TextOf(10000, 1)), File("b.bin", RandomBytes(5000, 2)), File("empty", "")};
    ASSERT_EQ(call.Run(library), 3);
    EXPECT_TRUE(UnzipTestPasses(call.archive));
    EXPECT_TRUE(PythonZipfileTestPasses(call.archive));
    EXPECT_EQ(PythonEntryNames(call.archive), (std::vector<std::string>{"a.txt", "b.bin", "empty"}));
    EXPECT_EQ(UnzipEntry(call.archive, "a.txt"), TextOf(10000, 1));
    EXPECT_EQ(UnzipEntry(call.archive, "b.bin"), RandomBytes(5000, 2));
    // Text shrinks; random bytes are stored rather than grown.
    EXPECT_LT(kitforge::testing::ReadBytes(call.archive).size(), 10000u + 5000u);
}

TEST_F(ZipDllAdd, EveryLevelGivesAReadableArchiveAndLevelZeroStores) {
    std::string text = TextOf(200000, 3);
    std::string source = File("t.txt", text);
    std::size_t stored_size = 0, level9_size = 0;
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        AddCall call;
        call.archive = folder / ("l" + std::to_string(level) + ".zip");
        call.specs = {source};
        call.level = level;
        ASSERT_EQ(call.Run(library), 1);
        EXPECT_TRUE(UnzipTestPasses(call.archive));
        EXPECT_EQ(UnzipEntry(call.archive, "t.txt"), text);
        std::size_t size = ReadBytes(call.archive).size();
        if (level == 0) stored_size = size;
        if (level == 9) level9_size = size;
    }
    EXPECT_GT(stored_size, text.size());
    EXPECT_LT(level9_size, text.size() / 3);
}

TEST_F(ZipDllAdd, LargeFilesCutIntoPiecesFormOneValidStream) {
    // Over two pieces of compressible data with an incompressible stretch in the middle, so
    // that deflated and stored pieces meet inside one entry.
    std::string data = TextOf(5u << 20, 4) + RandomBytes(3u << 20, 5) + TextOf(2u << 20, 6);
    AddCall call;
    call.archive = folder / "big.zip";
    call.specs = {File("big.dat", data)};
    ASSERT_EQ(call.Run(library), 1);
    EXPECT_TRUE(UnzipTestPasses(call.archive));
    EXPECT_TRUE(PythonZipfileTestPasses(call.archive));
    EXPECT_EQ(UnzipEntry(call.archive, "big.dat"), data);
    EXPECT_LT(ReadBytes(call.archive).size(), data.size());
}

TEST_F(ZipDllAdd, AddingToAnArchiveKeepsOldEntriesAndReplacesSameNames) {
    AddCall first;
    first.archive = folder / "grow.zip";
    first.specs = {File("keep.txt", "kept " + TextOf(3000, 7)), File("swap.txt", "old contents")};
    ASSERT_EQ(first.Run(library), 2);

    std::string sub = folder / "sub";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    AddCall second;
    second.archive = first.archive;
    second.specs = {File("sub/swap.txt", "new contents"), File("extra.txt", "extra")};
    ASSERT_EQ(second.Run(library), 2);

    EXPECT_TRUE(UnzipTestPasses(second.archive));
    EXPECT_EQ(PythonEntryNames(second.archive), (std::vector<std::string>{"keep.txt", "swap.txt", "extra.txt"}));
    EXPECT_EQ(UnzipEntry(second.archive, "swap.txt"), "new contents");
    EXPECT_EQ(UnzipEntry(second.archive, "keep.txt"), "kept " + TextOf(3000, 7));
}

TEST_F(ZipDllAdd, ArchivesMadeByInfoZipCanBeExtended) {
    File("z1.txt", TextOf(4000, 8));
    File("z2.txt", "second");
    std::string archive = folder / "info.zip";
    ASSERT_EQ(
        RunTool("cd " + Quote(folder.Path()) + " && echo 'the comment' | zip -q -X -z info.zip z1.txt z2.txt").status,
        0);
    AddCall call;
    call.archive = archive;
    call.specs = {File("ours.txt", "ours")};
    ASSERT_EQ(call.Run(library), 1);
    EXPECT_TRUE(UnzipTestPasses(archive));
    EXPECT_EQ(PythonEntryNames(archive), (std::vector<std::string>{"z1.txt", "z2.txt", "ours.txt"}));
    EXPECT_EQ(UnzipEntry(archive, "z1.txt"), TextOf(4000, 8));
    ToolResult comment = RunTool(
        "python3 -c " + Quote("import sys,zipfile;print(zipfile.ZipFile(sys.argv[1]).comment)") + " " + Quote(archive));
    EXPECT_EQ(comment.output, "b'the comment'\n");
}

// A self-extracting archive in each form the component produces: an empty one (stub, header,
// end record), one whose offsets count the stub, and a zip simply appended to a stub.
TEST_F(ZipDllAdd, SelfExtractingArchivesKeepTheirStubAndGetWholeFileOffsets) {
    const std::string stub = "MZ" + RandomBytes(3000, 9) + std::string(256, '\x01');
    struct Case {
        const char* name;
        std::string prefix_and_zip;
    };
    std::string plain_zip_path = folder / "plain.zip";
    {
        AddCall call;
        call.archive = plain_zip_path;
        call.specs = {File("inside.txt", TextOf(5000, 10))};
        ASSERT_EQ(call.Run(library), 1);
    }
    std::string plain_zip = ReadBytes(plain_zip_path);
    std::string empty_end(22, '\0');
    empty_end.replace(0, 4, "PK\x05\x06");
    std::uint32_t at = static_cast<std::uint32_t>(stub.size());
    for (int i = 0; i < 4; ++i) empty_end[16 + i] = static_cast<char>(at >> (8 * i));
    std::string adjusted = stub + plain_zip;
    {
        // zip -A rewrites the offsets so that they count from the start of the whole file.
        WriteBytes(folder / "adj.exe", adjusted);
        ASSERT_EQ(RunTool("zip -A -q " + Quote(folder / "adj.exe")).status, 0);
        adjusted = ReadBytes(folder / "adj.exe");
    }
    const Case cases[] = {{"empty", stub + empty_end}, {"adjusted", adjusted}, {"appended", stub + plain_zip}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string exe = folder / (std::string(c.name) + ".exe");
        WriteBytes(exe, c.prefix_and_zip);
        AddCall call;
        call.archive = exe;
        call.specs = {File("added.txt", TextOf(7000, 11))};
        ASSERT_EQ(call.Run(library), 1);
        std::string written = ReadBytes(exe);
        EXPECT_EQ(written.substr(0, stub.size()), stub);
        // unzip warns about leading bytes only when offsets do not count them.
        ToolResult test = RunTool("unzip -t " + Quote(exe));
        EXPECT_EQ(test.status, 0) << test.output;
        EXPECT_EQ(test.output.find("extra bytes"), std::string::npos) << test.output;
        EXPECT_TRUE(PythonZipfileTestPasses(exe));
        EXPECT_EQ(UnzipEntry(exe, "added.txt"), TextOf(7000, 11));
        if (std::string(c.name) != "empty") {
            EXPECT_EQ(UnzipEntry(exe, "inside.txt"), TextOf(5000, 10));
        }
    }
}

TEST_F(ZipDllAdd, EncryptedEntriesOpenWithThePasswordOnly) {
    std::string big = TextOf(6u << 20, 12);  // several pieces: the check byte comes from the time
    AddCall call;
    call.archive = folder / "secret.zip";
    call.specs = {File("small.txt", TextOf(3000, 13)), File("big.txt", big), File("noise.bin", RandomBytes(4000, 14))};
    call.encrypt = true;
    call.password = "correct horse";
    ASSERT_EQ(call.Run(library), 3);
    EXPECT_TRUE(UnzipTestPasses(call.archive, "correct horse"));
    EXPECT_TRUE(PythonZipfileTestPasses(call.archive, "correct horse"));
    EXPECT_EQ(UnzipEntry(call.archive, "big.txt", "correct horse"), big);
    EXPECT_EQ(UnzipEntry(call.archive, "small.txt", "correct horse"), TextOf(3000, 13));
    EXPECT_NE(RunTool("unzip -t -q -P wrong " + Quote(call.archive)).status, 0);
    // Nothing of the plain text shows in the archive.
    EXPECT_EQ(ReadBytes(call.archive).find("installer stub entry"), std::string::npos);
}

TEST_F(ZipDllAdd, EncryptionWithoutPasswordWritesNothing) {
    AddCall call;
    call.archive = folder / "nopass.zip";
    call.specs = {File("a.txt", "a")};
    call.encrypt = true;
    EXPECT_EQ(call.Run(library), 0);
    EXPECT_NE(access(call.archive.c_str(), F_OK), 0);
    EXPECT_FALSE(call.Messages().empty());
}

}  // namespace
