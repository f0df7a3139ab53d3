// Drives and volumes: the machine's own (checked against df), and the simulated drive that
// tests of disk prompts and multi-volume sets stand on.

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdio>
#include <filesystem>

#include "os/errors.h"
#include "platform/volumes.h"
#include "support/simulated_drive.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

TEST(FullPathTest, MakesPathsAbsoluteByNameAlone) {
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(FullPath("a/../b/./c.zip"), cwd + "/b/c.zip");
    EXPECT_EQ(FullPath("/x/y/"), "/x/y");
    EXPECT_EQ(FullPath("\\x\\y.zip"), "/x/y.zip");
    EXPECT_EQ(FullPath("/"), "/");
}

TEST(SystemVolumesTest, DriveRootIsTheMountPointThatDfNames) {
    TempFolder folder;
    WriteBytes(folder / "a.zip", "x");
    const std::string mount = Shell("df --output=target " + folder / "a.zip" + " | tail -1");
    ASSERT_FALSE(mount.empty());
    const std::string root = mount == "/" ? mount : mount + "/";
    Volumes& volumes = SystemVolumes();
    EXPECT_EQ(volumes.DriveRootOf(folder / "a.zip"), root);
    // A file about to be created lies on the drive of its existing folder.
    EXPECT_EQ(volumes.DriveRootOf(folder / "not/yet/there.zip"), root);
    EXPECT_EQ(volumes.DriveRootOf("/proc/self/status"), "/proc/");
    EXPECT_EQ(volumes.LogicalDriveMask(), 0u);
}

TEST(SystemVolumesTest, SpaceFiguresAreThoseOfStatvfs) {
    TempFolder folder;
    Volumes& volumes = SystemVolumes();
    const std::string root = volumes.DriveRootOf(folder.Path());
    EXPECT_TRUE(volumes.QueryVolume(root).Ready());
    EXPECT_NE(volumes.TypeOf(root), DriveType::NoRootDir);
    const auto space = volumes.QuerySpace(root);
    ASSERT_TRUE(space.has_value());
    struct statvfs st {};
    ASSERT_EQ(::statvfs(root.c_str(), &st), 0);
    EXPECT_EQ(space->total, static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize);
    EXPECT_LE(space->available, space->total);
}

TEST(SystemVolumesTest, MissingRootsAndWritesAreRefused) {
    Volumes& volumes = SystemVolumes();
    EXPECT_EQ(volumes.QueryVolume("/no/such/mount/").state, VolumeState::NoMedium);
    EXPECT_FALSE(volumes.QuerySpace("/no/such/mount/").has_value());
    EXPECT_EQ(volumes.TypeOf("/no/such/mount/"), DriveType::NoRootDir);
    EXPECT_FALSE(volumes.SetLabel("/", "X"));
    EXPECT_EQ(volumes.Format("/", "X"), FormatOutcome::Failed);
}

class SimulatedDriveTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(folder / "store"); }
    TempFolder folder;
};

TEST_F(SimulatedDriveTest, InsertedDiskIsReachedThroughTheRoot) {
    SimulatedDrive drive(folder / "floppy", folder / "store");
    EXPECT_EQ(drive.Root(), folder / "floppy/");
    const int one = drive.AddDisk("PKBACK# 001", 10000);
    const int two = drive.AddDisk("PKBACK# 002", 20000);
    EXPECT_EQ(drive.QueryVolume(drive.Root()).state, VolumeState::NoMedium);
    EXPECT_FALSE(drive.QuerySpace(drive.Root()).has_value());

    drive.Insert(one);
    WriteBytes(drive.Root() + "a.bin", std::string(1500, 'a'));
    EXPECT_EQ(drive.QueryVolume(drive.Root()).label, "PKBACK# 001");
    EXPECT_EQ(drive.QuerySpace(drive.Root())->available, 8500u);
    EXPECT_EQ(drive.QuerySpace(drive.Root())->total, 10000u);

    drive.Insert(two);
    EXPECT_FALSE(std::filesystem::exists(drive.Root() + "a.bin"));
    EXPECT_EQ(drive.QueryVolume(drive.Root()).label, "PKBACK# 002");
    drive.Insert(one);
    EXPECT_EQ(testing::ReadBytes(drive.Root() + "a.bin").size(), 1500u);
    EXPECT_EQ(drive.UsedBytes(one), 1500u);
}

TEST_F(SimulatedDriveTest, AnswersForItsOwnRootAndPassesOthersOn) {
    SimulatedDrive drive(folder / "A", folder / "store", DriveType::Removable);
    EXPECT_EQ(drive.DriveRootOf(folder / "A/sub/x.zip"), drive.Root());
    EXPECT_EQ(drive.DriveRootOf(folder / "A"), drive.Root());
    EXPECT_EQ(drive.TypeOf(drive.Root()), DriveType::Removable);
    // A sibling whose name starts the same is not on the drive.
    EXPECT_EQ(drive.DriveRootOf(folder / "AB/x.zip"), SystemVolumes().DriveRootOf(folder / "AB/x.zip"));
    EXPECT_EQ(drive.TypeOf("/"), SystemVolumes().TypeOf("/"));
}

TEST_F(SimulatedDriveTest, UnformattedDisksCanBeFormattedWithALabel) {
    SimulatedDrive drive(folder / "A", folder / "store");
    const int disk = drive.AddDisk("", kFloppyDiskSize, false);
    drive.Insert(disk);
    EXPECT_EQ(drive.QueryVolume(drive.Root()).state, VolumeState::Unformatted);
    EXPECT_FALSE(drive.QuerySpace(drive.Root()).has_value());
    EXPECT_FALSE(drive.SetLabel(drive.Root(), "X"));

    drive.format_outcomes = {FormatOutcome::Cancelled, FormatOutcome::Failed};
    EXPECT_EQ(drive.Format(drive.Root(), "PKBACK# 001"), FormatOutcome::Cancelled);
    EXPECT_EQ(drive.Format(drive.Root(), "PKBACK# 001"), FormatOutcome::Failed);
    EXPECT_EQ(drive.QueryVolume(drive.Root()).state, VolumeState::Unformatted);
    EXPECT_EQ(drive.Format(drive.Root(), "PKBACK# 001"), FormatOutcome::Formatted);
    EXPECT_EQ(drive.format_count, 3);
    EXPECT_EQ(drive.QueryVolume(drive.Root()).label, "PKBACK# 001");
    EXPECT_EQ(drive.QuerySpace(drive.Root())->available, kFloppyDiskSize);
}

TEST_F(SimulatedDriveTest, FormattingEmptiesTheDiskAndLabelsCanBeRefused) {
    SimulatedDrive drive(folder / "A", folder / "store");
    drive.Insert(drive.AddDisk("OLD"));
    WriteBytes(drive.Root() + "old.zip", "old");
    std::filesystem::create_directories(drive.Root() + "dir");
    EXPECT_EQ(drive.Format(drive.Root(), "NEW"), FormatOutcome::Formatted);
    EXPECT_TRUE(std::filesystem::is_empty(drive.Root()));
    EXPECT_TRUE(drive.SetLabel(drive.Root(), "RENAMED"));
    EXPECT_EQ(drive.DiskAt(0).label, "RENAMED");
    drive.labels_writable = false;
    EXPECT_FALSE(drive.SetLabel(drive.Root(), "AGAIN"));
    drive.Eject();
    EXPECT_EQ(drive.Format(drive.Root(), "X"), FormatOutcome::Failed);
}

TEST_F(SimulatedDriveTest, QueuedDisksGoInOneAfterAnother) {
    SimulatedDrive drive(folder / "A", folder / "store");
    const int one = drive.AddDisk("ONE");
    const int two = drive.AddDisk("TWO");
    drive.queued_disks = {two, one};
    EXPECT_TRUE(drive.InsertNext());
    EXPECT_EQ(drive.Inserted(), two);
    EXPECT_TRUE(drive.InsertNext());
    EXPECT_EQ(drive.Inserted(), one);
    EXPECT_FALSE(drive.InsertNext());
    EXPECT_EQ(drive.Inserted(), one);
}

TEST_F(SimulatedDriveTest, TheRootMustNotExistAndIsRemovedAfterwards) {
    std::filesystem::create_directories(folder / "taken");
    EXPECT_THROW({ SimulatedDrive taken(folder / "taken", folder / "store"); }, Error);
    {
        SimulatedDrive drive(folder / "A", folder / "store");
        drive.Insert(drive.AddDisk("X"));
        EXPECT_TRUE(std::filesystem::exists(folder / "A"));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder / "A")));
}

}  // namespace
}  // namespace kitforge
