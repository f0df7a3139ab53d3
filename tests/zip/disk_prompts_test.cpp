// Multi-volume sets on a removable drive: the disk prompts and their numbers, labels, the
// overwrite question for an earlier disk of the same set, formatting, and reading a written
// set back with the disks swapped at each prompt.

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <optional>

#include "span_test_support.h"
#include "support/temp_folder.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using namespace testing;

class SpanOnRemovableDrive : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder / "store");
        drive.emplace(folder / "A", folder / "store");
        host.drive = &*drive;
        zip.emplace(host, *drive);
        zip->OnMessage = [this](TZipMaster& z, int, const std::string&) { ids.push_back(z.LastMessageId()); };
        output = drive->Root() + "arch.zip";
    }

    TempFolder folder;
    std::optional<SimulatedDrive> drive;
    DiskSwappingHost host;
    std::optional<TZipMaster> zip;
    std::vector<int> ids;
    std::string source = folder / "source.zip";
    std::string output;
};

TEST_F(SpanOnRemovableDrive, FirstPromptCountsTheDisksTheArchiveNeeds) {
    const int disk = drive->AddDisk("DATA");
    drive->Insert(disk);
    ZipMasterInternals::Directory(*zip).DriveRoot = drive->Root();
    ZipMasterInternals::Operation(*zip).OperationActive = true;
    ZipMasterInternals::Directory(*zip).ArchiveSize = 3000000;
    ZipMasterInternals::Span(*zip).NewDiskNeeded = true;
    host.answers = {Answer::Cancel};
    try {
        ZipMasterInternals::AskForDisk(*zip);
        ADD_FAILURE() << "a cancelled prompt must raise";
    } catch (const EZipMaster& e) {
        EXPECT_EQ(e.MessageId, 11007);
        EXPECT_FALSE(e.DisplayMessage);
    }
    ASSERT_EQ(host.Prompts().size(), 1u);
    EXPECT_EQ(host.Prompts()[0], "Please insert disk volume 1 of 3\r\nin drive: " + drive->Root());
    EXPECT_EQ(host.messages[0].caption, "Kitforge");

    // With no disk in the drive the size is unknown and the prompt gives no total.
    drive->Eject();
    host.messages.clear();
    host.answers = {Answer::Cancel};
    ZipMasterInternals::Span(*zip).NewDiskNeeded = true;
    EXPECT_THROW(ZipMasterInternals::AskForDisk(*zip), EZipMaster);
    ASSERT_EQ(host.Prompts().size(), 1u);
    EXPECT_EQ(host.Prompts()[0], "Please insert disk volume 1\r\nin drive: " + drive->Root());
}

TEST_F(SpanOnRemovableDrive, UnattendedFailsAtTheFirstPrompt) {
    WriteStoredArchive(source, {1000});
    drive->Insert(drive->AddDisk(""));
    zip->SetUnattended(true);
    EXPECT_EQ(zip->SpanArchive(source, output), -7);
    EXPECT_EQ(ids, std::vector<int>{11025});
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SpanOnRemovableDrive, EachDiskIsLabelledAndTheSetReadsBack) {
    const auto built = WriteStoredArchive(source, {90000, 120000, 30000});
    for (int n = 0; n < 3; ++n) drive->AddDisk("BLANK", 100000);
    drive->queued_disks = {0, 1, 2};
    host.answers = {Answer::Ok, Answer::Ok, Answer::Ok};
    ASSERT_EQ(zip->SpanArchive(source, output), 0) << zip->LastMessage();
    ASSERT_EQ(host.Prompts().size(), 3u);
    // The drive was empty at the first prompt; at the next ones a disk of 100,000 bytes was
    // in it, so the archive needs three.
    EXPECT_EQ(host.Prompts()[0], "Please insert disk volume 1\r\nin drive: " + drive->Root());
    EXPECT_EQ(host.Prompts()[1].substr(0, 32), "Please insert disk volume 2 of 3");
    EXPECT_EQ(host.Prompts()[2].substr(0, 32), "Please insert disk volume 3 of 3");
    std::vector<std::string> files;
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(drive->DiskAt(n).label, SpanVolumeLabel(n));
        files.push_back(drive->DiskAt(n).folder + "arch.zip");
        EXPECT_TRUE(FileExists(files.back())) << n;
    }
    EXPECT_EQ(ReadBytes(files[0]).substr(0, 4), "PK\x07\x08");

    // Reading: the last disk is in the drive; the others are asked for by label.
    DiskSwappingHost reader_host;
    reader_host.drive = &*drive;
    TZipMaster reader(reader_host, *drive);
    drive->queued_disks = {0, 1, 2};
    reader_host.answers = {Answer::Ok, Answer::Ok, Answer::Ok, Answer::Ok};
    const auto placed = CheckSetPlacement(reader, output, files);
    EXPECT_EQ(placed.size(), 3u);
    EXPECT_EQ(reader.TotalDisks(), 2);
}

TEST_F(SpanOnRemovableDrive, AnEarlierDiskOfTheSetIsRecognisedBeforeItIsOverwritten) {
    WriteStoredArchive(source, {150000});
    drive->AddDisk("BLANK", 100000);
    drive->AddDisk("BLANK", 100000);
    // Disk 1 goes in for volume 1, then disk 0 is put back by mistake for volume 2, then
    // disk 1... no: the second disk, asked for again after "No".
    drive->queued_disks = {0, 0, 1};
    host.answers = {Answer::Ok, Answer::Ok, Answer::No, Answer::Ok};
    ASSERT_EQ(zip->SpanArchive(source, output), 0) << zip->LastMessage();
    std::vector<std::string> questions;
    for (const auto& m : host.messages) {
        if (m.buttons == Buttons::YesNoCancel) questions.push_back(m.text);
    }
    EXPECT_EQ(questions, std::vector<std::string>{"Overwrite previous disk no 1"});
    EXPECT_EQ(drive->DiskAt(0).label, "PKBACK# 001");
    EXPECT_EQ(drive->DiskAt(1).label, "PKBACK# 002");
    EXPECT_EQ(ReadBytes(drive->DiskAt(0).folder + "arch.zip").substr(0, 4), "PK\x07\x08");
}

// A disk of this set labelled in the short form "PKBACK# 2" is disk 2, as its long form is.
TEST_F(SpanOnRemovableDrive, AShortLabelNamesItsOwnDiskInTheOverwriteQuestion) {
    WriteStoredArchive(source, {250000});
    drive->AddDisk("BLANK", 100000);
    drive->AddDisk("BLANK", 100000);
    const int third = drive->AddDisk("PKBACK# 2", 100000);
    const std::string stray = drive->DiskAt(third).folder + "arch.zip";
    WriteBytes(stray, "an earlier disk of this set");
    std::filesystem::last_write_time(stray, std::filesystem::last_write_time(source));
    drive->queued_disks = {0, 1, third};
    host.answers = {Answer::Ok, Answer::Ok, Answer::Ok, Answer::Cancel};
    EXPECT_EQ(zip->SpanArchive(source, output), -7);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text, "Overwrite previous disk no 2");
    EXPECT_EQ(host.messages.back().default_button, std::optional<Answer>(Answer::No));
    EXPECT_EQ(ReadBytes(stray), "an earlier disk of this set");
}

TEST_F(SpanOnRemovableDrive, ForeignFileOnADiskIsAskedAboutByName) {
    WriteStoredArchive(source, {1000});
    drive->AddDisk("BACKUP");
    WriteBytes(drive->DiskAt(0).folder + "arch.zip", "someone else's");
    drive->queued_disks = {0};
    host.answers = {Answer::Ok, Answer::Cancel};
    EXPECT_EQ(zip->SpanArchive(source, output), -7);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].text, "Overwrite previous file " + output);
    EXPECT_EQ(ReadBytes(drive->DiskAt(0).folder + "arch.zip"), "someone else's");
}

TEST_F(SpanOnRemovableDrive, ErasingFormatsEveryDiskFirst) {
    WriteStoredArchive(source, {120000});
    drive->AddDisk("", 100000, false);
    drive->AddDisk("OLD", 100000);
    WriteBytes(drive->DiskAt(1).folder + "stale.txt", "old");
    zip->SetAddOptions({AddDiskSpanErase});
    drive->queued_disks = {0, 1};
    host.answers = {Answer::Ok, Answer::Ok};
    ASSERT_EQ(zip->SpanArchive(source, output), 0) << zip->LastMessage();
    EXPECT_EQ(drive->format_count, 2);
    EXPECT_FALSE(FileExists(drive->DiskAt(1).folder + "stale.txt"));
    EXPECT_EQ(drive->DiskAt(1).label, "PKBACK# 002");
}

TEST_F(SpanOnRemovableDrive, AFormatThatIsCancelledOrFailsStopsTheCopy) {
    WriteStoredArchive(source, {1000});
    drive->Insert(drive->AddDisk("OLD"));
    zip->SetAddOptions({AddDiskSpanErase});
    struct Case {
        FormatOutcome outcome;
        bool shown;
    };
    for (const Case c : {Case{FormatOutcome::Cancelled, false}, Case{FormatOutcome::Failed, true}}) {
        ids.clear();
        host.messages.clear();
        drive->format_outcomes = {c.outcome};
        host.answers = {Answer::Ok};
        EXPECT_EQ(zip->SpanArchive(source, output), -7);
        EXPECT_EQ(ids, std::vector<int>{11007});
        // The prompt, and an error box only for a failure.
        EXPECT_EQ(host.messages.size(), c.shown ? 2u : 1u);
    }
}

// A simulated drive whose format waits until the test lets it finish.
class BlockingFormatDrive : public Volumes {
public:
    explicit BlockingFormatDrive(SimulatedDrive& drive) : drive_(drive) {}
    std::promise<void> started;
    std::shared_future<void> release;
    std::string DriveRootOf(std::string_view path) override { return drive_.DriveRootOf(path); }
    std::uint32_t LogicalDriveMask() override { return drive_.LogicalDriveMask(); }
    DriveType TypeOf(std::string_view root) override { return drive_.TypeOf(root); }
    VolumeInfo QueryVolume(std::string_view root) override { return drive_.QueryVolume(root); }
    std::optional<DiskSpace> QuerySpace(std::string_view root) override { return drive_.QuerySpace(root); }
    bool SetLabel(std::string_view root, std::string_view label) override { return drive_.SetLabel(root, label); }
    FormatOutcome Format(std::string_view root, std::string_view label) override {
        started.set_value();
        release.wait();
        return drive_.Format(root, label);
    }

private:
    SimulatedDrive& drive_;
};

TEST(FormatDisk, OnlyOneFormatRunsAtATime) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "store");
    SimulatedDrive simulated(folder / "A", folder / "store");
    simulated.Insert(simulated.AddDisk("OLD"));
    BlockingFormatDrive drive(simulated);
    std::promise<void> release;
    drive.release = release.get_future().share();
    ScriptedUiHost host_a, host_b;
    TZipMaster first(host_a, drive), second(host_b, drive);
    ZipMasterInternals::Directory(first).DriveRoot = ZipMasterInternals::Directory(second).DriveRoot = simulated.Root();
    ZipMasterInternals::Directory(first).VolumeLabel = "PKBACK# 001";

    auto running = std::async(std::launch::async, [&] { return ZipMasterInternals::FormatDisk(first); });
    drive.started.get_future().wait();
    EXPECT_EQ(ZipMasterInternals::FormatDisk(second), -1);
    release.set_value();
    EXPECT_EQ(running.get(), 0);
    EXPECT_EQ(simulated.DiskAt(0).label, "PKBACK# 001");
    EXPECT_EQ(ZipMasterInternals::Span(first).FormatState.load(), 2);
    // Once the first has ended, the next format may run.
    drive.started = std::promise<void>();
    std::promise<void> again;
    drive.release = again.get_future().share();
    again.set_value();
    EXPECT_EQ(ZipMasterInternals::FormatDisk(second), 0);
}

}  // namespace
}  // namespace kitforge
