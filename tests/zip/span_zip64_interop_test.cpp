// Zip64 archives of every kind the peers write, copied onto volumes and read back by tools we
// did not write: Info-ZIP joins the set and tests the result, Python compares every entry with
// the source, 7-Zip tests it, and bsdtar reads the volumes one after another from a pipe, as a
// stream, which only works when every local header and data descriptor is whole.

#include <gtest/gtest.h>

#include <filesystem>

#include "span_test_support.h"
#include "zip64_test_sources.h"
#include "support/large_files.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using namespace testing;
using formats::GetU32LE;

// The volumes of the set `arch.zip` in `folder`, in order.
std::vector<std::string> VolumesIn(const TempFolder& folder) {
    std::vector<std::string> volumes;
    while (FileExists(folder / ("arch" + VolumeNumberText(static_cast<int>(volumes.size())) + ".zip"))) {
        volumes.push_back(folder / ("arch" + VolumeNumberText(static_cast<int>(volumes.size())) + ".zip"));
    }
    return volumes;
}

// Whether the file ends with a zip64 locator right before an end record without a comment
// of `comment_size` bytes.
bool EndsWithZip64Locator(const std::string& path, std::size_t comment_size) {
    const std::string bytes = ReadBytes(path);
    const std::size_t tail = formats::kEndRecordSize + comment_size + formats::zip64::kLocatorSize;
    if (bytes.size() < tail) return false;
    return GetU32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size() - tail) ==
           formats::zip64::kLocatorSignature;
}

// Renames the volumes as Info-ZIP names the parts of a set and joins them into one archive.
std::string JoinWithInfoZip(const TempFolder& folder, const std::vector<std::string>& volumes) {
    for (std::size_t n = 0; n < volumes.size(); ++n) {
        const std::string number = (n + 1 < 10 ? "0" : "") + std::to_string(n + 1);
        std::filesystem::copy_file(volumes[n], n + 1 == volumes.size() ? folder / "x.zip" : folder / ("x.z" + number));
    }
    std::string output;
    EXPECT_EQ(RunCommand("cd '" + folder.Path() + "' && zip -s 0 x.zip --out joined.zip 2>&1", &output), 0) << output;
    return folder / "joined.zip";
}

// The SHA-256 of what bsdtar extracts from the volumes read one after another from a pipe.
std::string StreamedDigest(const std::vector<std::string>& volumes) {
    std::string command = "cat";
    for (const std::string& volume : volumes) command += " '" + volume + "'";
    std::string output;
    EXPECT_EQ(RunCommand(command + " | bsdtar -xOf - | sha256sum | cut -d' ' -f1", &output), 0) << output;
    return output;
}

class SpanZip64 : public ::testing::TestWithParam<Zip64Source> {
protected:
    TempFolder folder;
};

TEST_P(SpanZip64, PeersJoinTestAndStreamTheSet) {
    KITFORGE_NEEDS_TOOL("python3");
    KITFORGE_NEEDS_TOOL("zip");
    KITFORGE_NEEDS_TOOL("unzip");
    KITFORGE_NEEDS_TOOL("bsdtar");
    const std::string source = folder / "source.zip";
    if (!WriteZip64Source(source, GetParam())) GTEST_SKIP() << "the source's writer is missing";
    const bool many = GetParam() == Zip64Source::kManyEntries;
    ZipHarness h;
    h.zip.SetMaxVolumeSize(many ? 2000000 : 100000);
    ASSERT_EQ(h.zip.SpanArchive(source, folder / "arch.zip"), 0) << h.zip.LastMessage();
    const std::vector<std::string> volumes = VolumesIn(folder);
    ASSERT_GE(volumes.size(), 3u);

    // The zip64 end record of the source stays; a source without one needs none.
    const std::size_t comment = GetParam() == Zip64Source::kInfoZipStreamed ? 0 : 12;
    const bool source_zip64_end = EndsWithZip64Locator(source, comment);
    EXPECT_EQ(EndsWithZip64Locator(volumes.back(), comment), source_zip64_end);
    if (GetParam() == Zip64Source::kPythonLargeOffsets || many) {
        EXPECT_TRUE(source_zip64_end);
    }
    if (GetParam() == Zip64Source::kPythonForced) {
        EXPECT_FALSE(source_zip64_end);
    }

    const std::string joined = JoinWithInfoZip(folder, volumes);
    std::string output;
    EXPECT_EQ(RunCommand("unzip -tqq '" + joined + "' 2>&1", &output), 0) << output;
    EXPECT_EQ(ComparedEntryCount(source, joined), many ? 70004 : GetParam() == Zip64Source::kInfoZipStreamed ? 1 : 4);
    if (ToolOnPath("7z")) {
        EXPECT_EQ(RunCommand("7z t '" + joined + "' > /dev/null 2>&1"), 0);
    }
    EXPECT_EQ(StreamedDigest(volumes), ContentDigest(source));
}

INSTANTIATE_TEST_SUITE_P(Sources, SpanZip64,
                         ::testing::Values(Zip64Source::kPythonForced, Zip64Source::kPythonStreamed,
                                           Zip64Source::kPythonLargeOffsets, Zip64Source::kInfoZipStreamed,
                                           Zip64Source::kManyEntries),
                         [](const auto& info) { return std::string(Zip64SourceName(info.param)); });

}  // namespace
}  // namespace kitforge
