// An archive past 4 GiB, copied onto volumes and behind a stub: offsets past 4 GiB on a volume
// and in the executable go to zip64 fields (those that pass 4 GiB only behind the stub too),
// and the peers test every entry. It writes several
// GiB, so it runs only when asked for (KITFORGE_LARGE_TESTS=1).

#include <gtest/gtest.h>

#include <filesystem>

#include "span_test_support.h"
#include "support/large_files.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using namespace testing;

// A stored archive of a small entry, just under 4 GiB of zeros, and three small entries: the
// first two with offsets just under 4 GiB, in the classic fields, which a stub in front pushes
// past 4 GiB; the last, and the directory, past 4 GiB. The zeros are left as holes on disk.
void WriteLargeSource(const std::string& path) {
    RunPython(R"(
import zipfile
# Python moves offsets past 2 GiB to zip64 on its own; Info-ZIP and others only past 4 GiB.
zipfile.ZIP64_LIMIT = 0xFFFFFFFE
with zipfile.ZipFile()" +
              PythonBytes(path) +
              R"(.decode(), 'w') as z:
    z.writestr('before.txt', b'before the large entry\n')
    size = 0xFFFFFFFF - 400 - z.fp.tell() - 30 - len('large.bin') - 20
    with z.open(zipfile.ZipInfo('large.bin', (2024, 5, 6, 7, 8, 10)), 'w', force_zip64=True) as f:
        chunk = bytes(64 << 20)
        while size > 0:
            f.write(chunk[:min(size, len(chunk))])
            size -= min(size, len(chunk))
    assert z.fp.tell() == 0xFFFFFFFF - 400
    z.writestr('after.txt', b'after the large entry\n')
    z.writestr('padding.bin', bytes(300))
    assert z.fp.tell() > 0xFFFFFFFF
    z.writestr('last.txt', b'past 4 GiB\n')
)");
    RunCommand("fallocate --dig-holes '" + path + "' 2>/dev/null");
}

std::string Tested(const std::string& archive) {
    std::string output;
    std::string result;
    if (RunCommand("unzip -tqq '" + archive + "' 2>&1", &output) != 0) result += "unzip: " + output;
    if (RunCommand("7z t '" + archive + "' 2>&1 | tail -3", &output) != 0) result += "7z: " + output;
    return result;
}

TEST(SpanZip64Large, AnArchivePast4GiBBecomesASetAndAnExecutable) {
    KITFORGE_LARGE_TEST_ONLY();
    KITFORGE_NEEDS_TOOL("python3");
    KITFORGE_NEEDS_TOOL("unzip");
    KITFORGE_NEEDS_TOOL("7z");
    KITFORGE_NEEDS_TOOL("zip");
    TempFolder folder;
    const std::string source = folder / "data.zip";
    WriteLargeSource(source);

    {
        // One volume as large as the source: its last entry and the directory lie past 4 GiB.
        ZipHarness h;
        ASSERT_EQ(h.zip.SpanArchive(source, folder / "one.zip"), 0) << h.zip.LastMessage();
        ASSERT_TRUE(FileExists(folder / "one001.zip"));
        EXPECT_FALSE(FileExists(folder / "one002.zip"));
        EXPECT_EQ(Tested(folder / "one001.zip"), "");
        std::filesystem::remove(folder / "one001.zip");
    }
    {
        // Volumes of 2 GB, joined by Info-ZIP.
        ZipHarness h;
        h.zip.SetMaxVolumeSize(2000000000);
        ASSERT_EQ(h.zip.SpanArchive(source, folder / "arch.zip"), 0) << h.zip.LastMessage();
        std::vector<std::string> volumes;
        for (int n = 0; FileExists(folder / ("arch" + VolumeNumberText(n) + ".zip")); ++n) {
            volumes.push_back(folder / ("arch" + VolumeNumberText(n) + ".zip"));
        }
        ASSERT_EQ(volumes.size(), 3u);
        for (std::size_t n = 0; n < volumes.size(); ++n) {
            const std::string part = n + 1 == volumes.size() ? "x.zip" : "x.z0" + std::to_string(n + 1);
            std::filesystem::rename(volumes[n], folder / part);
        }
        std::string output;
        ASSERT_EQ(RunCommand("cd '" + folder.Path() + "' && zip -s 0 x.zip --out joined.zip 2>&1", &output), 0)
            << output;
        for (const char* part : {"x.z01", "x.z02", "x.zip"}) std::filesystem::remove(folder / part);
        EXPECT_EQ(Tested(folder / "joined.zip"), "");
        std::filesystem::remove(folder / "joined.zip");
    }
    {
        // Behind a stub every offset moves; those that pass 4 GiB go to zip64.
        WriteBytes(folder / "stub.bin", "MZ" + std::string(70000, 's'));
        ZipHarness h;
        h.zip.SetSFXPath(folder / "stub.bin");
        h.zip.SetHowToDelete(htdFinal);
        h.Read(source);
        ASSERT_EQ(h.zip.ZipFilename(), source) << h.zip.LastMessage();
        ASSERT_EQ(h.zip.MakeSFX(), 0) << h.zip.LastFileFailure();
        EXPECT_EQ(Tested(folder / "data.exe"), "");
    }
}

}  // namespace
}  // namespace kitforge
