// Sets we write, read back by tools we did not write: Info-ZIP joins them into one archive
// whose entries extract identical to the originals, and kitforge-cli list reads them through
// their numbered files.

#include <gtest/gtest.h>

#include <filesystem>

#include "span_test_support.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using namespace testing;

// Writes an archive with Python's zipfile: deflated and stored entries, and (written to a
// stream that cannot seek) entries with data descriptors whose local headers hold no sizes.
void MakePythonArchive(const std::string& path, bool streamed) {
    RunPython(R"(
import io, random, zipfile
random.seed(7)
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open()" + PythonBytes(path) +
              R"(.decode(), 'wb') as raw:
    target = Unseekable(raw) if )" +
              (streamed ? "True" : "False") + R"( else raw
    with zipfile.ZipFile(target, 'w') as z:
        z.writestr(zipfile.ZipInfo('text/words.txt'), ('kitforge multi volume ' * 9000).encode(), zipfile.ZIP_DEFLATED)
        z.writestr('noise.bin', bytes(random.getrandbits(8) for _ in range(180000)), zipfile.ZIP_STORED)
        z.writestr('empty.txt', b'')
        z.writestr('more/noise2.bin', bytes(random.getrandbits(8) for _ in range(70000)), zipfile.ZIP_DEFLATED)
        z.comment = b'made for the span tests'
)");
}

// Every entry of `joined` extracts to what the entry of `original` holds.
std::string CompareWithPython(const std::string& original, const std::string& joined) {
    return RunPython(R"(
import zipfile
a = zipfile.ZipFile()" +
                     PythonBytes(original) + R"(.decode())
b = zipfile.ZipFile()" +
                     PythonBytes(joined) + R"(.decode())
names = [i.filename for i in a.infolist()]
assert names == [i.filename for i in b.infolist()], (names, b.namelist())
for n in names:
    assert a.read(n) == b.read(n), n
assert b.testzip() is None
print(len(names), b.comment.decode())
)");
}

class SpanInterop : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    }
    TempFolder folder;
};

TEST_P(SpanInterop, InfoZipJoinsTheSetIntoTheOriginalArchive) {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    const std::string source = folder / "source.zip";
    MakePythonArchive(source, GetParam());
    ZipHarness h;
    h.zip.SetMaxVolumeSize(100000);
    ASSERT_EQ(h.zip.SpanArchive(source, folder / "arch.zip"), 0) << h.zip.LastMessage();

    int count = 0;
    while (FileExists(folder / ("arch" + VolumeNumberText(count) + ".zip"))) ++count;
    ASSERT_GE(count, 3);
    // Info-ZIP names the parts x.z01, x.z02, ... and the last one x.zip.
    for (int n = 0; n < count; ++n) {
        char part[16];
        std::snprintf(part, sizeof part, "x.z%02d", n + 1);
        std::filesystem::rename(folder / ("arch" + VolumeNumberText(n) + ".zip"),
                                n + 1 == count ? folder / "x.zip" : folder / part);
    }
    std::string output;
    ASSERT_EQ(RunCommand("cd '" + folder.Path() + "' && zip -s 0 x.zip --out joined.zip 2>&1", &output), 0) << output;
    EXPECT_EQ(CompareWithPython(source, folder / "joined.zip"), "4 made for the span tests\n");
    ASSERT_EQ(RunCommand("unzip -tqq '" + folder / "joined.zip" + "' 2>&1", &output), 0) << output;
}

TEST_P(SpanInterop, ListReadsTheSetThroughItsNumberedFiles) {
    const std::string cli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";
    if (!HaveProgram(cli)) GTEST_SKIP() << "kitforge-cli is not built";
    const std::string source = folder / "source.zip";
    MakePythonArchive(source, GetParam());
    ZipHarness h;
    h.zip.SetMaxVolumeSize(70000);
    ASSERT_EQ(h.zip.SpanArchive(source, folder / "arch.zip"), 0) << h.zip.LastMessage();
    int count = 0;
    while (FileExists(folder / ("arch" + VolumeNumberText(count) + ".zip"))) ++count;
    ASSERT_GE(count, 4);

    for (const std::string& named : {folder / ("arch" + VolumeNumberText(count - 1) + ".zip"), folder / "arch.zip"}) {
        SCOPED_TRACE(named);
        std::string output;
        ASSERT_EQ(RunCommand("'" + cli + "' list '" + named + "' 2>&1", &output), 0) << output;
        for (const char* name : {"text\\words.txt", "noise.bin", "empty.txt", "more\\noise2.bin"}) {
            EXPECT_NE(output.find(name), std::string::npos) << name << "\n" << output;
        }
        EXPECT_NE(output.find("Entries:          4"), std::string::npos) << output;
        EXPECT_NE(output.find("Spanned archive:  yes"), std::string::npos) << output;
    }
}

TEST(SpanCommand, WritesNumberedVolumesAndReplacesThemOnlyWhenTold) {
    const std::string cli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";
    if (!HaveProgram(cli)) GTEST_SKIP() << "kitforge-cli is not built";
    TempFolder folder;
    const auto built = WriteStoredArchive(folder / "source.zip", {150000, 100000});
    const std::string run = "'" + cli + "' span '" + folder / "source.zip" + "' '" + folder / "set.zip" +
                            "' --max-volume 100000 < /dev/null 2>&1";
    std::string output;
    ASSERT_EQ(RunCommand(run, &output), 0) << output;
    EXPECT_EQ(output, folder / "set.zip" + ": 3 volumes written\n");
    EXPECT_TRUE(FileExists(folder / "set003.zip"));
    EXPECT_EQ(ReadBytes(folder / "source.zip"), built.bytes);

    EXPECT_EQ(RunCommand(run, &output), 1);
    EXPECT_NE(output.find("Overwrite previous file " + folder / "set001.zip"), std::string::npos) << output;
    EXPECT_NE(output.find("was not completed"), std::string::npos) << output;

    ASSERT_EQ(RunCommand(run + " --overwrite", &output), 0) << output;
    ASSERT_EQ(RunCommand(
                  "'" + cli + "' span '" + folder / "source.zip" + "' '" + folder / "set.zip" + "' --max-volume 0 2>&1",
                  &output),
              2);
}

TEST(SpanCommand, AMaximumVolumeBelowTheMinimumIsNamedAsSuch) {
    const std::string cli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";
    if (!HaveProgram(cli)) GTEST_SKIP() << "kitforge-cli is not built";
    TempFolder folder;
    WriteStoredArchive(folder / "source.zip", {5000});
    std::string output;
    EXPECT_EQ(RunCommand("'" + cli + "' span '" + folder / "source.zip" + "' '" + folder / "set.zip" +
                             "' --max-volume 1000 --min-volume 2000 < /dev/null 2>&1",
                         &output),
              2);
    EXPECT_NE(output.find("--max-volume 1000 is below --min-volume 2000"), std::string::npos) << output;
    EXPECT_EQ(output.find("free space"), std::string::npos) << output;
    EXPECT_FALSE(FileExists(folder / "set001.zip"));
}

// On a terminal the overwrite question waits for an answer, and Enter alone is its default, No:
// the file is kept. "y" replaces it.
TEST(SpanCommand, OnATerminalEnterKeepsAnExistingVolume) {
    const std::string cli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";
    if (!HaveProgram(cli)) GTEST_SKIP() << "kitforge-cli is not built";
    if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    TempFolder folder;
    WriteStoredArchive(folder / "source.zip", {5000});
    for (const char* typed : {"\\n", "y\\n"}) {
        SCOPED_TRACE(typed);
        WriteBytes(folder / "set001.zip", "an older volume");
        // The program runs on a pseudo-terminal; the answer is typed once the question shows.
        const std::string result = RunPython(R"(
import os, pty, select, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv()" + PythonBytes(cli) + R"(.decode(), ['kitforge-cli', 'span', )" +
                                             PythonBytes(folder / "source.zip") + R"(.decode(), )" +
                                             PythonBytes(folder / "set.zip") + R"(.decode()])
seen, typed = b'', False
while True:
    ready, _, _ = select.select([fd], [], [], 20)
    if not ready:
        os.kill(pid, 9)
        break
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
    if not typed and b'[y/N/c]' in seen:
        os.write(fd, b')" + std::string(typed) +
                                             R"(')
        typed = True
status = os.waitpid(pid, 0)[1]
print(typed, os.WEXITSTATUS(status) if os.WIFEXITED(status) else -1)
)");
        const bool enter = std::string(typed) == "\\n";
        EXPECT_EQ(result, enter ? "True 1\n" : "True 0\n");
        EXPECT_EQ(ReadBytes(folder / "set001.zip") == "an older volume", enter);
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, SpanInterop, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DataDescriptors" : "SizesInHeaders"; });

}  // namespace
}  // namespace kitforge
