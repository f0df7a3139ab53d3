// Self-extracting executables made by MakeSFX from archives that Info-ZIP zip and Python's
// zipfile wrote, checked by those tools, by our own directory reader, and by running them
// with the real stub.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "os/file.h"
#include "support/large_files.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "zip64_test_sources.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::HaveProgram;
using testing::ReadBytes;
using testing::RunCommand;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

std::string ToSlashes(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

// Field `index` of a "|"-separated line.
std::string Field(const std::string& line, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) start = line.find('|', start) + 1;
    return line.substr(start, line.find('|', start) - start);
}

void MakeTree(const std::string& root) {
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/docs").c_str(), 0755);
    WriteBytes(root + "/readme.txt", "Read me.\n");
    WriteBytes(root + "/empty.txt", "");
    std::string text;
    for (int i = 0; i < 30000; ++i) text += "row " + std::to_string(i) + "\n";
    WriteBytes(root + "/docs/rows.txt", text);
    std::string binary;
    for (int i = 0; i < 200000; ++i) binary += static_cast<char>((i * 2654435761u) >> 13);
    WriteBytes(root + "/docs/noise.bin", binary);
}

class SFXInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("zip") || !HaveProgram("unzip") || !HaveProgram("python3")) {
            GTEST_SKIP() << "Info-ZIP zip, unzip and python3 are needed";
        }
        MakeTree(folder / "tree");
        ASSERT_EQ(RunCommand("cd '" + folder.Path() + "tree' && zip -qr ../data.zip ."), 0);
        h.zip.SetSFXPath(BuiltProgram("zipsfx.bin"));
        h.zip.SetSFXOptions(SFXOpts{SFXAutoRun, SFXHideOverWriteBox});
        h.zip.SetSFXOverWriteMode(OvrAlways);
        h.zip.SetHowToDelete(htdFinal);
    }

    TempFolder folder;
    ZipHarness h;
};

TEST_F(SFXInterop, InfoZipArchiveBecomesAnExecutableEveryToolReads) {
    h.Read(folder / "data.zip");
    const std::vector<std::string> python_before = testing::PythonEntryLines(folder / "data.zip");
    const std::int64_t stub_size = FileSize(BuiltProgram("zipsfx.bin"));
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const std::string exe = folder / "data.exe";

    std::string unzip_output;
    EXPECT_EQ(RunCommand("unzip -t '" + exe + "'", &unzip_output), 0) << unzip_output;
    EXPECT_EQ(unzip_output.find("warning"), std::string::npos) << unzip_output;
    EXPECT_EQ(unzip_output.find("extra bytes"), std::string::npos) << unzip_output;
    EXPECT_EQ(testing::RunPython("import zipfile\nprint(zipfile.ZipFile('" + exe + "').testzip())\n"), "None\n");

    // Our own reading of the new executable finds every entry where Python does.
    const std::vector<std::string> python_after = testing::PythonEntryLines(exe);
    ASSERT_EQ(h.zip.Entries().size(), python_after.size());
    ASSERT_EQ(python_before.size(), python_after.size());
    EXPECT_FALSE(h.zip.OffsetsShifted());
    for (std::size_t i = 0; i < h.zip.Entries().size(); ++i) {
        const ZipDirEntry& entry = h.zip.Entries()[i];
        const std::string stored = entry.FileName;  // Info-ZIP names are plain ASCII here
        EXPECT_EQ(testing::EntryLine(entry, ToSlashes(stored)), python_after[i]);
        EXPECT_EQ(entry.LocalHeaderOffset, std::stoll(Field(python_before[i], 4)) + stub_size + 256) << stored;
    }

    const auto run = RunProgram({exe, "--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto diff = RunProgram({"diff", "-r", folder / "tree", folder / "out"});
    EXPECT_EQ(diff.status, 0) << diff.out;
}

TEST_F(SFXInterop, PythonArchiveWithACommentRunsWithTheProgramsOwnSettings) {
    const std::string zip = folder / "py.zip";
    testing::RunPython(
        "import os, zipfile\n"
        "with zipfile.ZipFile('" +
        zip +
        "', 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for base, dirs, files in os.walk('" +
        folder.Path() +
        "tree'):\n"
        "        for name in sorted(files):\n"
        "            path = os.path.join(base, name)\n"
        "            z.write(path, os.path.relpath(path, '" +
        folder.Path() +
        "tree'))\n"
        "    z.comment = b'made by python'\n");
    h.Read(zip);
    h.zip.SetSFXDefaultDir("unpacked");
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const std::string exe = folder / "py.exe";
    EXPECT_EQ(h.zip.ArchiveComment(), "made by python");
    const auto run = RunProgram({exe, "--silent"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto diff = RunProgram({"diff", "-r", folder / "tree", folder / "unpacked"});
    EXPECT_EQ(diff.status, 0) << diff.out;
}

TEST_F(SFXInterop, AShiftedSourceStillExtracts) {
    // Info-ZIP's zip leaves the offsets of an archive with bytes in front as they were.
    WriteBytes(folder / "prefixed.zip", std::string(4000, 'p') + ReadBytes(folder / "data.zip"));
    h.Read(folder / "prefixed.zip");
    ASSERT_TRUE(h.zip.OffsetsShifted());
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const auto run = RunProgram({folder / "prefixed.exe", "--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto diff = RunProgram({"diff", "-r", folder / "tree", folder / "out"});
    EXPECT_EQ(diff.status, 0) << diff.out;
}

TEST_F(SFXInterop, EmptySFXModeMakesAnExecutableTheStubAccepts) {
    const std::string exe = folder / "new.exe";
    h.Read(exe);
    ZipMasterInternals::Operation(h.zip).EmptySFXMode = true;
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    ZipMasterInternals::Operation(h.zip).EmptySFXMode = false;
    const auto listed = RunProgram({exe, "-l"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("0 files"), std::string::npos) << listed.out;
    const auto run = RunProgram({exe, "--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    // Our own reader sees an empty archive behind a stub, with nothing shifted.
    h.Read(exe);
    EXPECT_EQ(h.zip.ZipFilename(), exe);
    EXPECT_TRUE(h.zip.Entries().empty());
    EXPECT_FALSE(h.zip.OffsetsShifted());
}

std::uint64_t U64At(const std::string& bytes, std::size_t at) {
    return formats::GetU64LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}
std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    return formats::GetU32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}

// The central directory start that the zip64 end record of `bytes` (an archive whose comment
// is `comment_size` bytes) gives; checks on the way that the locator points at that record.
std::optional<std::uint64_t> Zip64CentralStart(const std::string& bytes, std::size_t comment_size) {
    using namespace formats;
    const std::size_t locator = bytes.size() - comment_size - kEndRecordSize - zip64::kLocatorSize;
    if (U32At(bytes, locator) != zip64::kLocatorSignature) return std::nullopt;
    const std::uint64_t record = U64At(bytes, locator + zip64::locator::kEndRecordOffset);
    EXPECT_EQ(record + zip64::kEndRecordSize, locator);
    EXPECT_EQ(U32At(bytes, record), zip64::kEndRecordSignature);
    return U64At(bytes, record + zip64::end_record::kCentralStart);
}

// Zip64 archives of every kind the peers write, behind a stand-in stub (the self-extractor's
// own reading of zip64 is tested with it): the tools that read an executable by its offsets
// find every entry there and extract it identical.
class SFXZip64Interop : public ::testing::TestWithParam<testing::Zip64Source> {
protected:
    TempFolder folder;
};

TEST_P(SFXZip64Interop, PeersReadTheExecutableByItsMovedOffsets) {
    KITFORGE_NEEDS_TOOL("python3");
    KITFORGE_NEEDS_TOOL("unzip");
    const std::string source = folder / "data.zip";
    if (!testing::WriteZip64Source(source, GetParam())) GTEST_SKIP() << "the source's writer is missing";
    const std::string original = ReadBytes(source);
    WriteBytes(folder / "original.zip", original);
    const std::string stub = "MZ" + std::string(3998, 's');
    WriteBytes(folder / "stub.bin", stub);
    ZipHarness h;
    h.zip.SetSFXPath(folder / "stub.bin");
    h.zip.SetHowToDelete(htdFinal);
    h.Read(source);
    ASSERT_EQ(h.zip.ZipFilename(), source) << h.zip.LastMessage();
    ASSERT_EQ(h.zip.MakeSFX(), 0) << h.zip.LastFileFailure();
    const std::string exe = folder / "data.exe";

    std::string output;
    EXPECT_EQ(RunCommand("unzip -tqq '" + exe + "' 2>&1", &output), 0) << output;
    if (testing::ToolOnPath("7z")) {
        EXPECT_EQ(RunCommand("7z t '" + exe + "' > /dev/null 2>&1"), 0);
    }
    EXPECT_GT(testing::ComparedEntryCount(folder / "original.zip", exe), 0);
    // A zip64 end record moves with the directory, and its locator with it.
    const std::size_t comment = GetParam() == testing::Zip64Source::kInfoZipStreamed ? 0 : 12;
    const auto before = Zip64CentralStart(original, comment);
    const auto after = Zip64CentralStart(ReadBytes(exe), comment);
    ASSERT_EQ(before.has_value(), after.has_value());
    if (before) {
        EXPECT_EQ(*after, *before + stub.size() + 256);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, SFXZip64Interop,
                         ::testing::Values(testing::Zip64Source::kPythonForced, testing::Zip64Source::kPythonStreamed,
                                           testing::Zip64Source::kPythonLargeOffsets,
                                           testing::Zip64Source::kInfoZipStreamed, testing::Zip64Source::kManyEntries),
                         [](const auto& info) { return std::string(testing::Zip64SourceName(info.param)); });

}  // namespace
}  // namespace kitforge
