#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/errors.h"
#include "os/file.h"
#include "platform/file_copy.h"
#include "os/safe_file_writer.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(File, ReadsReportShortCountsAtTheEnd) {
    TempFolder folder;
    WriteBytes(folder / "a", "hello");
    File file = File::OpenRead(folder / "a");
    char buffer[16];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(file.LastError(), 0);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.Seek(1);
    EXPECT_THROW(file.ReadExact(buffer, 5), ReadError);
}

TEST(File, OpenErrorsNameTheFileAndTheReason) {
    TempFolder folder;
    try {
        File::OpenRead(folder / "nope.bin");
        FAIL();
    } catch (const ReadError& e) {
        EXPECT_EQ(e.Path(), folder / "nope.bin");
        EXPECT_EQ(e.Code(), ENOENT);
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
    EXPECT_THROW(File::OpenRead(folder.Path()), ReadError);
    EXPECT_THROW(File::Create(folder / "missing-dir/x"), InOutError);
}

TEST(File, BackslashPathsOpenNatively) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", "x");
    std::string windows = folder.Path() + "a.txt";
    for (auto& c : windows) {
        if (c == '/') c = '\\';
    }
    EXPECT_TRUE(FileExists(windows));
    EXPECT_EQ(File::OpenRead(windows).Size(), 1);
}

TEST(File, WriteToFullDeviceFailsWithTheSystemReason) {
    File full = File::Create("/dev/full");
    try {
        full.WriteAll("abc");
        FAIL();
    } catch (const InOutError& e) {
        EXPECT_EQ(e.Code(), ENOSPC);
    }
}

class CopyBytesTest : public ::testing::TestWithParam<bool> {};

TEST_P(CopyBytesTest, CopiesCountsWholeFilesAndStopsAtTheEnd) {
    TempFolder folder;
    std::string data(200000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    WriteBytes(folder / "src", data);
    CopyOptions options;
    options.allow_kernel_copy = GetParam();
    options.buffer_size = 4096;
    options.kernel_chunk = 65536;
    int chunks = 0;
    options.between_chunks = [&chunks](std::uint64_t) { ++chunks; };

    File src = File::OpenRead(folder / "src");
    File dst = File::Create(folder / "dst");
    src.Seek(10);
    const CopyOutcome part = CopyBytes(src, dst, 1000, options);
    EXPECT_EQ(part.copied, 1000u);
    EXPECT_FALSE(part.Failed());
    const CopyOutcome rest = CopyBytes(src, dst, std::nullopt, options);
    EXPECT_EQ(rest.copied, data.size() - 1010);
    EXPECT_FALSE(rest.source_ended);
    dst.Close();
    EXPECT_EQ(ReadBytes(folder / "dst"), data.substr(10));
    EXPECT_GT(chunks, 2);

    File src2 = File::OpenRead(folder / "src");
    File dst2 = File::Create(folder / "dst2");
    const CopyOutcome over = CopyBytes(src2, dst2, data.size() + 5, options);
    EXPECT_TRUE(over.source_ended);
    EXPECT_EQ(over.copied, data.size());
    src2.Seek(0);
    EXPECT_THROW(CopyExactly(src2, dst2, data.size() + 5, options), ReadError);
}

TEST_P(CopyBytesTest, FullTargetIsAWriteError) {
    TempFolder folder;
    WriteBytes(folder / "src", std::string(100000, 'a'));
    CopyOptions options;
    options.allow_kernel_copy = GetParam();
    File src = File::OpenRead(folder / "src");
    File full = File::Create("/dev/full");
    EXPECT_THROW(CopyExactly(src, full, 100000, options), InOutError);
}

INSTANTIATE_TEST_SUITE_P(KernelAndBuffer, CopyBytesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Kernel" : "Buffer"; });

TEST(WriteFileSafely, ReplacesOnlyWhenEverythingWasWritten) {
    TempFolder folder;
    const std::string path = folder / "t.txt";
    WriteBytes(path, "previous");
    EXPECT_THROW(WriteFileSafely(path,
                                 [](File& f) {
                                     f.WriteAll("partial");
                                     throw InOutError("write", f.Path(), ENOSPC);
                                 }),
                 InOutError);
    EXPECT_EQ(ReadBytes(path), "previous");
    WriteFileSafely(path, [](File& f) { f.WriteAll("new"); });
    EXPECT_EQ(ReadBytes(path), "new");
}

// The new file belongs to whoever saves it: it keeps the old ordinary bits, never the special ones.
TEST(WriteFileSafely, KeepsThePermissionBitsButNoSpecialOnes) {
    TempFolder folder;
    const std::string path = folder / "t.inf";
    for (const auto& [before, after] : {std::pair{04755u, 0755u}, {06775u, 0775u}, {01777u, 0777u}, {0600u, 0600u}}) {
        WriteBytes(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), before), 0);
        WriteFileSafely(path, [](File& f) { f.WriteAll("new"); });
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, after) << "was " << std::oct << before;
    }
}

TEST(WriteFileSafely, SavingThroughALinkReplacesItsTarget) {
    TempFolder folder;
    WriteBytes(folder / "real.inf", "old");
    ASSERT_EQ(::symlink((folder / "real.inf").c_str(), (folder / "link.inf").c_str()), 0);
    WriteFileSafely(folder / "link.inf", [](File& f) { f.WriteAll("new"); });
    EXPECT_EQ(ReadBytes(folder / "real.inf"), "new");
    char target[512] = {};
    EXPECT_GT(::readlink((folder / "link.inf").c_str(), target, sizeof target - 1), 0);
}

}  // namespace
}  // namespace kitforge
