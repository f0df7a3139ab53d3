// The drive of an archive: letters that are bad or absent, volumes that cannot be read,
// network roots, unformatted disks, and the two space figures.

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

// Volumes that answer what the test sets, whatever the path.
class FakeVolumes final : public Volumes {
public:
    std::string root = "C:\\";
    std::uint32_t mask = 1u << 2;  // C:
    VolumeInfo volume{VolumeState::Ready, "DATA"};
    std::optional<DiskSpace> space = DiskSpace{1000, 5000};

    std::string DriveRootOf(std::string_view) override { return root; }
    std::uint32_t LogicalDriveMask() override { return mask; }
    DriveType TypeOf(std::string_view) override { return DriveType::Fixed; }
    VolumeInfo QueryVolume(std::string_view) override { return volume; }
    std::optional<DiskSpace> QuerySpace(std::string_view) override { return space; }
    bool SetLabel(std::string_view, std::string_view) override { return false; }
    FormatOutcome Format(std::string_view, std::string_view) override { return FormatOutcome::Failed; }
};

class DriveCheck : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(path, std::string("PK\x05\x06", 4) + std::string(18, '\0')); }

    TempFolder folder;
    std::string path = folder / "a.zip";
    FakeVolumes volumes;
};

TEST_F(DriveCheck, AnExistingLetterWithAReadableVolumeIsFine) {
    ZipHarness h(volumes);
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.Directory().DriveRoot, "C:\\");
    EXPECT_EQ(h.Directory().VolumeLabel, "DATA");
    EXPECT_EQ(h.Directory().DiskSize, 5000u);
    EXPECT_EQ(h.Directory().DiskFree, 1000u);
}

TEST_F(DriveCheck, BadOrAbsentLettersFailWithTheDriveInTheText) {
    struct Case {
        const char* name;
        std::string root;
        int id;
        std::string text;
    };
    const Case cases[] = {
        {"letter not in the mask", "q:\\", 11004, "The drive q:\\ is not ready, or its volume cannot be read"},
        {"digit", "1:\\", 11003, "The drive 1:\\ is not a drive letter from A to Z"},
        {"empty root", "", 11003, "The drive  is not a drive letter from A to Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        volumes.root = c.root;
        ZipHarness h(volumes);
        h.Read(path);
        ASSERT_EQ(h.Ids(), std::vector<int>{c.id});
        EXPECT_EQ(h.reports[0].text, c.text + ".\nFile: " + path);
        ASSERT_EQ(h.host.messages.size(), 1u);
        EXPECT_EQ(h.zip.ZipFilename(), "");
    }
}

TEST_F(DriveCheck, UnreadableVolumesAndUnknownSizesFailOnLetterDrives) {
    volumes.volume.state = VolumeState::NoMedium;
    {
        ZipHarness h(volumes);
        h.Read(path);
        EXPECT_EQ(h.Ids(), std::vector<int>{11004});
    }
    volumes.volume.state = VolumeState::Ready;
    volumes.space.reset();
    {
        ZipHarness h(volumes);
        h.Read(path);
        EXPECT_EQ(h.Ids(), std::vector<int>{11004});
        EXPECT_EQ(h.Directory().DiskFree, kSizeNotDetermined);
    }
}

TEST_F(DriveCheck, RootsWithoutALetterNeedOnlyAReadableVolume) {
    volumes.space.reset();
    volumes.mask = 0;
    for (const char* root : {"\\\\server\\share\\", "/media/usb/"}) {
        SCOPED_TRACE(root);
        volumes.root = root;
        ZipHarness h(volumes);
        h.Read(path);
        EXPECT_TRUE(h.reports.empty());
        EXPECT_EQ(h.Directory().DiskSize, kSizeNotDetermined);
    }
}

TEST_F(DriveCheck, UnformattedDiskPassesOnlyWhenSetsAreToBeFormatted) {
    volumes.volume = {VolumeState::Unformatted, {}};
    ZipHarness h(volumes);
    h.Directory().DriveRoot = "A:\\";
    volumes.mask = 1;
    EXPECT_FALSE(ZipMasterInternals::CheckDrive(h.zip));
    h.zip.SetAddOptions({AddDiskSpan});
    EXPECT_FALSE(ZipMasterInternals::CheckDrive(h.zip));
    h.zip.SetAddOptions({AddDiskSpanErase});
    EXPECT_TRUE(ZipMasterInternals::CheckDrive(h.zip));
    EXPECT_EQ(h.Directory().VolumeLabel, "");
    EXPECT_EQ(h.Directory().DiskSize, 0u);
}

TEST_F(DriveCheck, QueryDiskSpaceUpdatesTheFiguresItIsAskedFor) {
    ZipHarness h(volumes);
    h.Directory().DriveRoot = "C:\\";
    h.Directory().DiskFree = 7;
    h.Directory().DiskSize = 7;
    ZipMasterInternals::QueryDiskSpace(h.zip, 1);
    EXPECT_EQ(h.Directory().DiskFree, 1000u);
    EXPECT_EQ(h.Directory().DiskSize, 7u);
    ZipMasterInternals::QueryDiskSpace(h.zip, 2);
    EXPECT_EQ(h.Directory().DiskSize, 5000u);
    volumes.space.reset();
    ZipMasterInternals::QueryDiskSpace(h.zip, 3);
    EXPECT_EQ(h.Directory().DiskFree, kSizeNotDetermined);
    EXPECT_EQ(h.Directory().DiskSize, kSizeNotDetermined);
}

TEST(DriveCheckOnThisMachine, ArchiveDriveIsItsMountPoint) {
    TempFolder folder;
    WriteBytes(folder / "a.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    std::string mount;
    ASSERT_EQ(testing::RunCommand("df --output=target " + folder / "a.zip" + " | tail -1", &mount), 0);
    while (!mount.empty() && (mount.back() == '\n' || mount.back() == ' ')) mount.pop_back();
    ZipHarness h;
    h.Read(folder / "a.zip");
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.Directory().DriveRoot, mount == "/" ? mount : mount + "/");
    EXPECT_NE(h.Directory().DiskSize, kSizeNotDetermined);
    EXPECT_LE(h.Directory().DiskFree, h.Directory().DiskSize);
}

}  // namespace
}  // namespace kitforge
