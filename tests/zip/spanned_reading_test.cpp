// Multi-volume sets on a removable drive: recognising their parts, and reading a directory
// that starts on one disk and goes on on the next, with the disks swapped at the prompts.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "formats/zip_extra_fields.h"
#include "support/simulated_drive.h"
#include "support/temp_folder.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::Stored;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;
using namespace formats;

// A host that swaps the disk in the drive when the user is asked to, then answers.
class SwappingHost : public testing::ScriptedUiHost {
public:
    SimulatedDrive* drive = nullptr;
    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button = std::nullopt) override {
        if (buttons == Buttons::OkCancel && drive) drive->InsertNext();
        return ScriptedUiHost::ShowMessage(kind, text, caption, buttons, default_button);
    }
};

struct TwoDiskSet {
    std::string first;   // the spanning signature, both local headers, the first central entry
    std::string second;  // the second central entry and the end record
};

TwoDiskSet MakeTwoDiskSet() {
    testing::ArchiveOptions options;
    options.stub = std::string("PK\x07\x08", 4);
    options.offsets_include_stub = true;
    const auto built = BuildArchive({Stored("first.txt", "one"), Stored("second.txt", "two")}, options);
    TwoDiskSet set;
    set.first = built.bytes.substr(0, built.central_entries[1]);
    set.second = built.bytes.substr(built.central_entries[1]);
    // The end record stands on disk 1 (counted from 0); the directory starts on disk 0.
    auto* end = reinterpret_cast<std::uint8_t*>(set.second.data()) + (built.end_record - built.central_entries[1]);
    PutU16LE(end + end_record::kThisDisk, 1);
    PutU16LE(end + end_record::kCentralDisk, 0);
    PutU16LE(end + end_record::kDiskEntries, 1);
    return set;
}

class SpannedReading : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder / "store");
        drive.emplace(folder / "A", folder / "store");
        const auto set = MakeTwoDiskSet();
        first = drive->AddDisk("PKBACK# 001");
        second = drive->AddDisk("PKBACK# 002");
        WriteBytes(drive->DiskAt(first).folder + "arch.zip", set.first);
        WriteBytes(drive->DiskAt(second).folder + "arch.zip", set.second);
        drive->Insert(second);
        path = drive->Root() + "arch.zip";
    }

    // A component whose host swaps disks from the drive's queue at each prompt.
    struct Harness {
        explicit Harness(SimulatedDrive& d) : zip(host, d) {
            host.drive = &d;
            zip.OnMessage = [this](TZipMaster& z, int, const std::string& text) {
                reports.push_back({z.LastMessageId(), text});
            };
        }
        std::vector<int> Ids() const {
            std::vector<int> ids;
            for (const auto& r : reports) ids.push_back(r.id);
            return ids;
        }
        std::vector<std::string> Prompts() const {
            std::vector<std::string> prompts;
            for (const auto& m : host.messages) {
                if (m.buttons == Buttons::OkCancel) prompts.push_back(m.text);
            }
            return prompts;
        }
        SwappingHost host;
        TZipMaster zip;
        std::vector<ZipHarness::Report> reports;
    };

    TempFolder folder;
    std::optional<SimulatedDrive> drive;
    int first = 0;
    int second = 0;
    std::string path;
};

TEST_F(SpannedReading, DirectoryRunsFromTheFirstDiskOntoTheLast) {
    Harness h(*drive);
    drive->queued_disks = {first, second};
    h.host.answers = {Answer::Ok, Answer::Ok};
    h.zip.SetZipFilename(path);
    EXPECT_TRUE(h.reports.empty()) << h.reports[0].text;
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[0].FileName, "first.txt");
    EXPECT_EQ(h.zip.Entries()[1].FileName, "second.txt");
    EXPECT_EQ(h.zip.Entries()[1].LocalHeaderOffset, 4u + 30 + 9 + 3);
    EXPECT_TRUE(h.zip.SpannedArchive());
    EXPECT_EQ(h.zip.TotalDisks(), 1);
    EXPECT_EQ(h.zip.CurrentDisk(), 1);
    EXPECT_FALSE(h.zip.OffsetsShifted());
    EXPECT_EQ(h.zip.StubSize(), 4);
    const std::string in_drive = "\r\nin drive: " + drive->Root();
    EXPECT_EQ(h.Prompts(), (std::vector<std::string>{"Please insert disk volume 1 of 2" + in_drive,
                                                     "Please insert disk volume 2 of 2" + in_drive}));
}

// A zip64 set whose directory and zip64 end record stand on the first disk, with only the
// locator and the classic end record (its directory offset saturated) on the last: the
// locator says which disk to ask for, and the directory is read there.
TEST_F(SpannedReading, Zip64EndRecordOnAnEarlierDiskIsFoundThroughItsLocator) {
    testing::ArchiveOptions options;
    options.stub = std::string("PK\x07\x08", 4);
    options.offsets_include_stub = true;
    const auto built = BuildArchive({Stored("first.txt", "one"), Stored("second.txt", "two")}, options);
    std::string first_disk = built.bytes.substr(0, built.end_record);
    const std::size_t record_at = first_disk.size();
    first_disk += std::string(
        reinterpret_cast<const char*>(
            Zip64EndRecord::Make(2, built.end_record - built.central_start, built.central_start).bytes.data()),
        zip64::kEndRecordSize);
    std::string last_disk(reinterpret_cast<const char*>(Zip64Locator::Make(record_at, 0, 2).bytes.data()),
                          zip64::kLocatorSize);
    auto end = EndRecord::Empty();
    end.SetThisDisk(1);
    end.SetCentralDisk(0);
    PutU16LE<end_record::kTotalEntries>(end.bytes, 2);
    PutU32LE<end_record::kCentralSize>(end.bytes, static_cast<std::uint32_t>(built.end_record - built.central_start));
    end.SetCentralStart(zip64::kSaturated32);
    last_disk += std::string(reinterpret_cast<const char*>(end.bytes.data()), end.bytes.size());
    WriteBytes(drive->DiskAt(first).folder + "arch.zip", first_disk);
    WriteBytes(drive->DiskAt(second).folder + "arch.zip", last_disk);

    Harness h(*drive);
    drive->queued_disks = {first};
    h.host.answers = {Answer::Ok};
    h.zip.SetZipFilename(path);
    EXPECT_TRUE(h.reports.empty()) << h.reports[0].text;
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[1].FileName, "second.txt");
    EXPECT_TRUE(ZipMasterInternals::Directory(h.zip).Zip64Directory);
    EXPECT_EQ(h.zip.TotalDisks(), 1);
    EXPECT_EQ(h.zip.CentralOffset(), static_cast<std::int64_t>(built.central_start));
    EXPECT_EQ(h.Prompts().size(), 1u);
}

TEST_F(SpannedReading, AWrongDiskIsAskedForAgain) {
    Harness h(*drive);
    drive->queued_disks = {second, first, second};
    h.host.answers = {Answer::Ok, Answer::Ok, Answer::Ok};
    h.zip.SetZipFilename(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.Prompts().size(), 3u);
}

TEST_F(SpannedReading, CancellingThePromptStopsWithoutAnErrorBox) {
    Harness h(*drive);
    h.host.answers = {Answer::Cancel};
    h.zip.SetZipFilename(path);
    EXPECT_EQ(h.Ids(), std::vector<int>{11007});
    EXPECT_EQ(h.host.messages.size(), 1u);  // the prompt only
    EXPECT_EQ(h.zip.ZipFilename(), "");
    EXPECT_TRUE(h.zip.Entries().empty());
}

TEST_F(SpannedReading, UnattendedCannotAskForADisk) {
    Harness h(*drive);
    h.zip.SetUnattended(true);
    h.zip.SetZipFilename(path);
    EXPECT_EQ(h.Ids(), std::vector<int>{11025});
    EXPECT_TRUE(h.host.messages.empty());
}

TEST_F(SpannedReading, PartsWithoutAnEndRecordAreNamed) {
    struct Case {
        const char* name;
        const char* label;
        bool first_part;
        int id;
    };
    const Case cases[] = {
        {"first disk", "PKBACK# 001", true, 11037},
        {"first part elsewhere", "BACKUP", true, 11045},
        {"a middle disk", "PKBACK# 003", false, 11038},
        {"no set at all", "PKBACK# xyz", false, 11036},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drive->DiskAt(first).label = c.label;
        WriteBytes(drive->DiskAt(first).folder + "arch.zip",
                   c.first_part ? MakeTwoDiskSet().first.substr(0, 50) : std::string(50, 'd'));
        drive->Insert(first);
        Harness h(*drive);
        h.zip.SetZipFilename(path);
        ASSERT_EQ(h.Ids(), std::vector<int>{c.id});
        EXPECT_EQ(h.zip.SpannedArchive(), c.first_part);
    }
    Harness h(*drive);
    h.zip.SetZipFilename(path);
    EXPECT_EQ(h.reports.at(0).text.substr(0, 45), "This file is not a zip archive: it has no end");
    drive->DiskAt(first).label = "PKBACK# 003";
    h.zip.SetZipFilename(path);
    EXPECT_EQ(h.reports.at(1).text.substr(0, 45), "This is disk 3 of a multi-volume zip set; ins");
}

// A disk label is read one way everywhere: "PKBACK# " and up to three digits, so a short label
// names the same disk as its three-digit form, and anything else names none. Both the reader
// that names a stray disk of a set and the check of which disk is in the drive go by it.
TEST_F(SpannedReading, LabelNumbersAreReadOneWayEverywhere) {
    struct Case {
        const char* label;
        int number;  // 0: the label names no disk
    };
    const Case cases[] = {
        {"PKBACK# 002", 2}, {"PKBACK# 2", 2},   {"PKBACK# 02", 2}, {"PKBACK# 2  ", 2}, {"PKBACK# 12", 12},
        {"PKBACK# x10", 0}, {"PKBACK# $1F", 0}, {"PKBACK# -1", 0}, {"PKBACK# ", 0},    {"BACKUP 002", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        drive->DiskAt(first).label = c.label;
        WriteBytes(drive->DiskAt(first).folder + "arch.zip", std::string(50, 'd'));
        drive->Insert(first);
        Harness h(*drive);
        h.zip.SetZipFilename(path);
        EXPECT_EQ(h.Ids(), std::vector<int>{c.number > 0 ? 11038 : 11036});
        if (c.number > 0) {
            EXPECT_NE(h.reports.at(0).text.find("disk " + std::to_string(c.number) + " "), std::string::npos)
                << h.reports.at(0).text;
        }
        ZipMasterInternals::Directory(h.zip).VolumeLabel = c.label;
        ZipMasterInternals::Directory(h.zip).CurrentDisk = c.number > 0 ? c.number - 1 : 0;
        EXPECT_EQ(ZipMasterInternals::IsExpectedDisk(h.zip, DriveType::Removable), c.number > 0);
    }
}

TEST_F(SpannedReading, ShortDirectoryOnTheLastDiskAsksForNoFurtherDisk) {
    // The last disk holds the directory (its own number in both disk fields), but the
    // directory ends before all its entries: there is no later disk to ask for.
    auto built = BuildArchive({Stored(std::string(60, 'n'), "x")});
    std::string last = built.bytes.substr(built.central_start);
    auto* end = reinterpret_cast<std::uint8_t*>(last.data()) + (built.end_record - built.central_start);
    PutU16LE(end + end_record::kThisDisk, 1);
    PutU16LE(end + end_record::kCentralDisk, 1);
    PutU16LE(end + end_record::kTotalEntries, 2);
    PutU32LE(end + end_record::kCentralStart, 0);
    WriteBytes(drive->DiskAt(second).folder + "arch.zip", last);
    Harness h(*drive);
    h.zip.SetZipFilename(path);
    EXPECT_EQ(h.Ids(), std::vector<int>{11013});
    EXPECT_TRUE(h.Prompts().empty());
    EXPECT_EQ(h.zip.Entries().size(), 1u);
}

}  // namespace
}  // namespace kitforge
