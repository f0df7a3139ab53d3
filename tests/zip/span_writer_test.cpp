// Writing multi-volume sets onto numbered files of a fixed drive: the layout of the volumes,
// the placing of records, the questions, and the failures with their results.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "span_test_support.h"
#include "support/temp_folder.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using namespace testing;
using namespace formats;

// The volumes of the set arch.zip in `out`, in order.
std::vector<std::string> VolumeFilesIn(const TempFolder& out) {
    std::vector<std::string> files;
    for (int n = 0; FileExists(out / ("arch" + VolumeNumberText(n) + ".zip")); ++n) {
        files.push_back(out / ("arch" + VolumeNumberText(n) + ".zip"));
    }
    return files;
}

// Splits `source` into volumes of at most `size` bytes (0: as large as the disk allows) in `out`;
// gives the volumes in order, none when the span failed.
std::vector<std::string> SpanInto(const std::string& source, const TempFolder& out, int size) {
    ZipHarness writer;
    writer.zip.SetMaxVolumeSize(size);
    writer.zip.SetMinFreeVolumeSize(1);
    const int result = writer.zip.SpanArchive(source, out / "arch.zip");
    EXPECT_EQ(result, 0) << writer.zip.LastMessage();
    return result == 0 ? VolumeFilesIn(out) : std::vector<std::string>();
}

class SpanOnFixedDrive : public ::testing::Test {
protected:
    std::string Volume(int n) const { return folder / ("arch" + VolumeNumberText(n) + ".zip"); }
    std::vector<std::string> Volumes(int count) const {
        std::vector<std::string> files;
        for (int n = 0; n < count; ++n) files.push_back(Volume(n));
        return files;
    }

    TempFolder folder;
    std::string source = folder / "source.zip";
    std::string output = folder / "arch.zip";
    ZipHarness h;
};

TEST_F(SpanOnFixedDrive, ThreeNumberedVolumesWithoutAPrompt) {
    const auto built = WriteStoredArchive(source, {60000, 70000, 80000, 40000});
    ASSERT_GT(built.bytes.size(), 250000u);
    ASSERT_LT(built.bytes.size(), 260000u);
    h.zip.SetMaxVolumeSize(100000);

    EXPECT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
    EXPECT_TRUE(h.host.messages.empty());
    EXPECT_FALSE(h.zip.OperationActive());
    EXPECT_FALSE(ZipMasterInternals::Span(h.zip).OutputHandle.IsOpen());
    EXPECT_FALSE(h.Directory().InputHandle.IsOpen());
    EXPECT_TRUE(ZipMasterInternals::Span(h.zip).VolumeEntries.empty());
    for (int n = 0; n < 3; ++n) EXPECT_TRUE(FileExists(Volume(n))) << n;
    EXPECT_FALSE(FileExists(Volume(3)));
    EXPECT_FALSE(FileExists(output));
    EXPECT_EQ(ReadBytes(Volume(0)).substr(0, 4), std::string("\x50\x4B\x07\x08", 4));
    EXPECT_LE(FileSize(Volume(0)), 100000);
    EXPECT_LE(FileSize(Volume(1)), 100000);
    // Only headers move whole, so a full volume is short by less than a header.
    EXPECT_GT(FileSize(Volume(0)), 100000 - 46);
    EXPECT_EQ(FileSize(Volume(0)) + FileSize(Volume(1)) + FileSize(Volume(2)),
              static_cast<std::int64_t>(built.bytes.size()) + 4);

    ZipHarness reader;
    const auto placed = CheckSetPlacement(reader.zip, Volume(2), Volumes(3));
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[0].disk, 0);
    EXPECT_EQ(placed[0].offset, 4u);
    EXPECT_TRUE(reader.zip.SpannedArchive());
    EXPECT_EQ(reader.zip.TotalDisks(), 2);
}

TEST_F(SpanOnFixedDrive, AHeaderThatDoesNotFitMovesWholeToTheNextVolume) {
    // Volume 0 takes the signature, the first header and name (39 bytes) and 950 bytes of
    // data: 993 of 1000. The second header needs 39 bytes and goes to volume 1, offset 0.
    WriteStoredArchive(source, {950, 500});
    h.zip.SetMaxVolumeSize(1000);
    h.zip.SetMinFreeVolumeSize(100);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
    EXPECT_EQ(FileSize(Volume(0)), 993);

    ZipHarness reader;
    const auto placed = CheckSetPlacement(reader.zip, Volume(1), Volumes(2));
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[1].disk, 1);
    EXPECT_EQ(placed[1].offset, 0u);
}

TEST_F(SpanOnFixedDrive, RecordsAreNeverSplitWhateverTheVolumeSize) {
    WriteStoredArchive(source, {300, 10, 700, 0, 1200, 45});
    for (int size : {150, 151, 170, 199, 233, 300, 512, 1000}) {
        SCOPED_TRACE(size);
        TempFolder out;
        const std::vector<std::string> files = SpanInto(source, out, size);
        ASSERT_FALSE(files.empty());
        for (const std::string& file : files) EXPECT_LE(FileSize(file), size);
        ZipHarness reader;
        EXPECT_EQ(CheckSetPlacement(reader.zip, files.back(), files).size(), 6u);
        // The end record with its comment stands whole at the end of the last volume.
        const std::string last = ReadBytes(files.back());
        ASSERT_GE(last.size(), kEndRecordSize);
        EXPECT_EQ(GetU32LE(reinterpret_cast<const std::uint8_t*>(last.data()) + last.size() - kEndRecordSize),
                  kEndRecordSignature);
    }
}

TEST_F(SpanOnFixedDrive, EndRecordNamesItsVolumeAndTheDirectoryStart) {
    testing::ArchiveOptions options;
    options.comment = "set comment";
    auto built = BuildArchive({Stored("a.txt", NoiseBytes(900, 1)), Stored("b.txt", "bb")}, options);
    WriteBytes(source, built.bytes);
    h.zip.SetMaxVolumeSize(1000);
    h.zip.SetMinFreeVolumeSize(1);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
    const std::string last = ReadBytes(Volume(1));
    const auto* end = reinterpret_cast<const std::uint8_t*>(last.data()) + last.size() - kEndRecordSize - 11;
    EXPECT_EQ(GetU32LE(end), kEndRecordSignature);
    EXPECT_EQ(GetU16LE(end + end_record::kThisDisk), 1);
    EXPECT_EQ(GetU16LE(end + end_record::kTotalEntries), 2);
    const int central_disk = GetU16LE(end + end_record::kCentralDisk);
    const std::string volume = ReadBytes(Volume(central_disk));
    const std::uint32_t central_start = GetU32LE(end + end_record::kCentralStart);
    ASSERT_LT(central_start + 4, volume.size());
    EXPECT_EQ(GetU32LE(reinterpret_cast<const std::uint8_t*>(volume.data()) + central_start), kCentralHeaderSignature);
    EXPECT_EQ(last.substr(last.size() - 11), "set comment");

    ZipHarness reader;
    reader.Read(Volume(1));
    EXPECT_EQ(reader.zip.ArchiveComment(), "set comment");
    EXPECT_EQ(reader.zip.Entries().size(), 2u);
}

// A set that needs no zip64 is written as it always was: the volumes, read one after another,
// are the spanning signature and the source byte for byte, but for each central record's disk
// and offset (checked against the local headers there) and the end record's disks and start of
// the directory (worked out here from where the volumes split).
TEST_F(SpanOnFixedDrive, ASetThatNeedsNoZip64IsTheSourceWithOnlyItsPositionsMoved) {
    testing::ArchiveOptions options;
    options.comment = "kept";
    const auto built = BuildArchive(
        {Stored("a.txt", NoiseBytes(900, 1)), Stored("b.txt", "bb"), Stored("c.bin", NoiseBytes(3000, 2))}, options);
    WriteBytes(source, built.bytes);
    for (int size : {0, 700, 1500}) {
        SCOPED_TRACE(size);
        TempFolder out;
        const std::vector<std::string> files = SpanInto(source, out, size);
        ASSERT_FALSE(files.empty());
        std::string joined;
        std::vector<std::size_t> volume_starts;
        for (const std::string& file : files) {
            volume_starts.push_back(joined.size());
            joined += ReadBytes(file);
        }
        ASSERT_EQ(files.size() == 1, size == 0);
        ZipHarness reader;
        const auto placed = CheckSetPlacement(reader.zip, files.back(), files);
        ASSERT_EQ(placed.size(), 3u);

        std::string expected = std::string("\x50\x4B\x07\x08", 4) + built.bytes;
        auto* bytes = reinterpret_cast<std::uint8_t*>(expected.data()) + 4;
        for (std::size_t i = 0; i < placed.size(); ++i) {
            PutU16LE(bytes + built.central_entries[i] + central::kStartDisk,
                     static_cast<std::uint16_t>(placed[i].disk));
            PutU32LE(bytes + built.central_entries[i] + central::kLocalHeaderOffset, placed[i].offset);
        }
        const std::size_t central_at = 4 + built.central_start;
        std::size_t central_disk = 0;
        while (central_disk + 1 < volume_starts.size() && volume_starts[central_disk + 1] <= central_at) ++central_disk;
        PutU16LE(bytes + built.end_record + end_record::kThisDisk, static_cast<std::uint16_t>(files.size() - 1));
        PutU16LE(bytes + built.end_record + end_record::kCentralDisk, static_cast<std::uint16_t>(central_disk));
        PutU32LE(bytes + built.end_record + end_record::kCentralStart,
                 static_cast<std::uint32_t>(central_at - volume_starts[central_disk]));
        EXPECT_EQ(joined, expected);
    }
}

TEST_F(SpanOnFixedDrive, DirectoryOnAnEarlierVolumeIsReadFromItsNumberedFile) {
    // Volume 0 takes both entries (924 bytes) and the first central record (51 bytes); the
    // second record and the end record go to volume 1, so the directory starts a volume early.
    WriteBytes(source, BuildArchive({Stored("a.txt", NoiseBytes(850, 3)), Stored("b.txt")}).bytes);
    h.zip.SetMaxVolumeSize(1000);
    h.zip.SetMinFreeVolumeSize(1);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
    ASSERT_EQ(FileSize(Volume(1)), 51 + 22);

    ZipHarness reader;
    reader.Read(Volume(1));
    EXPECT_TRUE(reader.reports.empty()) << reader.zip.LastMessage();
    ASSERT_EQ(reader.zip.Entries().size(), 2u);
    EXPECT_EQ(reader.zip.CentralOffset(), 4 + 924 - 4);
    EXPECT_TRUE(reader.host.messages.empty());

    // Without its first volume the set cannot be read, and the report names the file.
    std::filesystem::remove(Volume(0));
    reader.Read(Volume(1));
    EXPECT_EQ(reader.Ids(), std::vector<int>{11001});
    EXPECT_NE(reader.reports[0].text.find(Volume(0)), std::string::npos) << reader.reports[0].text;
    EXPECT_EQ(reader.zip.ZipFilename(), "");
}

TEST_F(SpanOnFixedDrive, EveryVolumeCarriesTheSourceDate) {
    WriteStoredArchive(source, {3000});
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1500000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    h.zip.SetMaxVolumeSize(1000);
    h.zip.SetMinFreeVolumeSize(1);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0);
    for (int n = 0; n < 4; ++n) {
        struct stat st {};
        ASSERT_EQ(::stat(Volume(n).c_str(), &st), 0) << n;
        EXPECT_EQ(st.st_mtim.tv_sec, 1500000000) << n;
        EXPECT_EQ(st.st_mtim.tv_nsec, 123456789) << n;
    }
}

TEST_F(SpanOnFixedDrive, ProgressCountsEveryByteWritten) {
    const auto built = WriteStoredArchive(source, {5000, 7000});
    h.zip.SetMaxVolumeSize(4000);
    h.zip.SetMinFreeVolumeSize(1);
    std::vector<std::pair<ProgressType, std::string>> events;
    std::int64_t advanced = 0, total = -1, count = -1;
    h.zip.OnProgress = [&](TZipMaster&, ProgressType type, const std::string& name, std::int64_t size) {
        events.push_back({type, name});
        if (type == ProgressAdvance) advanced += size;
        if (type == ProgressByteTotal) total = size;
        if (type == ProgressFileCount) count = size;
    };
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(total, static_cast<std::int64_t>(built.bytes.size()));
    // Everything after the signature is reported: the archive itself.
    EXPECT_EQ(advanced, static_cast<std::int64_t>(built.bytes.size()));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().first, ProgressBatchEnd);
    std::vector<std::string> started;
    for (const auto& [type, name] : events) {
        if (type == ProgressFileStart) started.push_back(name);
    }
    EXPECT_EQ(started, (std::vector<std::string>{"file1.bin", "file2.bin", "Central directory"}));
    EXPECT_EQ(h.reports.back().text, "Copying: Central directory");
}

TEST_F(SpanOnFixedDrive, ExistingVolumeFileIsOverwrittenOnlyWhenConfirmed) {
    WriteStoredArchive(source, {500});
    WriteBytes(Volume(0), "older file");
    h.host.answers = {Answer::Cancel};
    h.zip.SetMaxVolumeSize(100000);
    EXPECT_EQ(h.zip.SpanArchive(source, output), -7);
    ASSERT_EQ(h.host.messages.size(), 1u);  // the question only: a cancel shows no error
    EXPECT_EQ(h.host.messages[0].text, "Overwrite previous file " + Volume(0));
    EXPECT_EQ(h.host.messages[0].caption, "Confirm");
    EXPECT_EQ(h.host.messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(h.Ids(), std::vector<int>{11007});
    EXPECT_EQ(ReadBytes(Volume(0)), "older file");

    h.host.answers = {Answer::Yes};
    EXPECT_EQ(h.zip.SpanArchive(source, output), 0);
    EXPECT_EQ(ReadBytes(Volume(0)).substr(0, 4), "PK\x07\x08");

    // Written again over a set of its own date: on a fixed drive the question names each
    // file (a disk number means nothing there).
    h.zip.SetMaxVolumeSize(300);
    h.zip.SetMinFreeVolumeSize(1);
    h.host.answers = {Answer::Yes};
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0);
    h.host.messages.clear();
    h.host.answers = {Answer::Yes, Answer::Yes, Answer::Yes};
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0);
    ASSERT_EQ(h.host.messages.size(), 3u);
    EXPECT_EQ(h.host.messages[1].text, "Overwrite previous file " + Volume(1));

    ZipHarness unattended;
    unattended.zip.SetUnattended(true);
    EXPECT_EQ(unattended.zip.SpanArchive(source, output), -7);
    EXPECT_EQ(unattended.Ids(), std::vector<int>{11025});
    EXPECT_TRUE(unattended.host.messages.empty());
}

// Enter must not destroy a file: No is the question's default. On a fixed drive No cannot
// lead to another disk, so it stops the copy instead of asking about the same file forever.
TEST_F(SpanOnFixedDrive, TheOverwriteQuestionDefaultsToNoAndNoStopsOnAFixedDrive) {
    WriteStoredArchive(source, {500});
    WriteBytes(Volume(0), "older file");
    h.zip.SetMaxVolumeSize(100000);
    h.host.answers = {Answer::No};
    EXPECT_EQ(h.zip.SpanArchive(source, output), -7);
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(h.host.messages[0].default_button, std::optional<Answer>(Answer::No));
    EXPECT_EQ(h.Ids(), std::vector<int>{11007});
    EXPECT_EQ(ReadBytes(Volume(0)), "older file");
}

// A free-space question whose box cannot be shown fails with 11006, shown, rather than as an
// unexplained failure of the copy.
TEST_F(SpanOnFixedDrive, AFailingFreeSpaceBoxIs11006) {
    WriteStoredArchive(source, {500});
    h.zip.SetMaxVolumeSize(1000);  // below the smallest volume of 65,536: the question comes
    // No answer is queued, so the scripted box throws, as a host whose box cannot open would.
    EXPECT_EQ(h.zip.SpanArchive(source, output), -7);
    EXPECT_EQ(h.Ids(), std::vector<int>{11006});
    EXPECT_FALSE(FileExists(Volume(0)));
}

// An archive of exactly 65,535 entries has a plain end record (count 0xFFFF, no zip64 locator).
TEST_F(SpanOnFixedDrive, AnArchiveOf65535EntriesIsSplitLikeAnyOther) {
    std::vector<BuilderEntry> entries;
    for (int i = 0; i < 0xFFFF; ++i) entries.push_back(Stored("f" + std::to_string(i), "x"));
    WriteBytes(source, BuildArchive(entries).bytes);
    h.zip.SetMaxVolumeSize(4000000);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
    const auto placed = CheckSetPlacement(h.zip, Volume(1), Volumes(2));
    EXPECT_EQ(placed.size(), 0xFFFFu);
}

TEST_F(SpanOnFixedDrive, TooLittleRoomOnTheFirstVolumeIsRefused) {
    WriteStoredArchive(source, {500});
    h.zip.SetMaxVolumeSize(100000);
    h.zip.SetKeepFreeOnDisk1(40000);  // leaves 60,000, below the smallest volume of 65,536
    h.host.answers = {Answer::Cancel};
    EXPECT_EQ(h.zip.SpanArchive(source, output), -7);
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].text, "This disk has not enough free space available");
    EXPECT_EQ(h.host.messages[0].buttons, Buttons::RetryCancel);
    EXPECT_EQ(h.host.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(FileExists(Volume(0)));  // the file just created is deleted again

    h.zip.SetKeepFreeOnDisk1(30000);
    h.host.messages.clear();
    EXPECT_EQ(h.zip.SpanArchive(source, output), 0);
    EXPECT_TRUE(h.host.messages.empty());

    ZipHarness unattended;
    unattended.zip.SetUnattended(true);
    unattended.zip.SetMaxVolumeSize(1000);
    EXPECT_EQ(unattended.zip.SpanArchive(source, folder / "other.zip"), -7);
    EXPECT_EQ(unattended.Ids(), std::vector<int>{11025});
    EXPECT_FALSE(FileExists(folder / "other001.zip"));
}

TEST_F(SpanOnFixedDrive, DamagedSourcesFailWithTheirIds) {
    struct Case {
        const char* name;
        int id;
        int result;
    };
    // Each case damages one copy of the same small archive.
    auto built = BuildArchive({Stored("one.txt", "first"), Stored("two.txt", "second")});
    const std::size_t second_local = 30 + 7 + 5;
    const auto damaged = [&](const char* name) {
        std::string bytes = built.bytes;
        const std::string_view which(name);
        if (which == "central name without a local header") bytes[built.central_entries[1] + 46] = 'X';
        if (which == "local signature") bytes[second_local + 2] = 9;
        if (which == "missing source") return std::string();
        if (which == "not a zip") bytes = std::string(100, 'z');
        return bytes;
    };
    const Case cases[] = {
        {"central name without a local header", 11026, -7},
        {"local signature", 11014, -7},
        {"missing source", 11001, -7},
        {"not a zip", 11036, -7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder out;
        const std::string path = out / "in.zip";
        if (std::string_view(c.name) != "missing source") WriteBytes(path, damaged(c.name));
        ZipHarness writer;
        EXPECT_EQ(writer.zip.SpanArchive(path, out / "arch.zip"), c.result);
        EXPECT_EQ(writer.Ids().back(), c.id);
        EXPECT_FALSE(writer.zip.OperationActive());
        EXPECT_FALSE(ZipMasterInternals::Span(writer.zip).OutputHandle.IsOpen());
    }
}

TEST_F(SpanOnFixedDrive, AVolumeThatCannotBeCreatedIsNamed) {
    WriteStoredArchive(source, {100});
    EXPECT_EQ(h.zip.SpanArchive(source, folder / "missing/arch.zip"), -7);
    ASSERT_EQ(h.Ids(), std::vector<int>{11009});
    // The file, then the system's reason.
    EXPECT_EQ(h.reports[0].text, "Cannot create the volume file.\nFile: " + (folder / "missing/arch001.zip") +
                                     ": No such file or directory (error 2)");
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].kind, MessageKind::Error);
}

TEST_F(SpanOnFixedDrive, LongNamesAreRefusedBeforeAnythingIsWritten) {
    WriteBytes(source, BuildArchive({Stored("short.txt", "x"), Stored(std::string(256, 'n'), "y")}).bytes);
    EXPECT_EQ(h.zip.SpanArchive(source, output), -9);
    EXPECT_EQ(h.Ids(), std::vector<int>{11024});
    EXPECT_NE(h.reports[0].text.find("256 bytes long"), std::string::npos) << h.reports[0].text;
    EXPECT_FALSE(FileExists(Volume(0)));

    WriteBytes(source, BuildArchive({Stored(std::string(255, 'n'), "y")}).bytes);
    EXPECT_EQ(h.zip.SpanArchive(source, output), 0) << h.zip.LastMessage();
}

TEST_F(SpanOnFixedDrive, NamesDifferingOnlyInCaseKeepTheirOwnData) {
    WriteBytes(
        source,
        BuildArchive({Stored("read.me", "lower"), Stored("READ.ME", "upper"), Stored("Read.Me", "mixed")}).bytes);
    ASSERT_EQ(h.zip.SpanArchive(source, output), 0);
    ZipHarness reader;
    const auto placed = CheckSetPlacement(reader.zip, Volume(0), Volumes(1));
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].offset, 4u);
    EXPECT_EQ(placed[1].offset, 4u + 30 + 7 + 5);
    EXPECT_EQ(placed[2].offset, 4u + 2 * (30 + 7 + 5));
}

TEST_F(SpanOnFixedDrive, ARecordLargerThanAnyVolumeFailsInsteadOfLooping) {
    BuilderEntry entry = Stored("big-extra.txt", "x");
    entry.extra = std::string(2000, '\0');
    entry.extra[0] = 0x55;  // a private extra-field id and a length that covers the rest
    entry.extra[2] = static_cast<char>((2000 - 4) & 0xFF);
    entry.extra[3] = static_cast<char>((2000 - 4) >> 8);
    WriteBytes(source, BuildArchive({entry}).bytes);
    h.zip.SetMaxVolumeSize(1000);
    h.zip.SetMinFreeVolumeSize(1);
    EXPECT_EQ(h.zip.SpanArchive(source, output), -9);
    EXPECT_EQ(h.Ids().back(), 11024);
    EXPECT_NE(h.reports.back().text.find("does not fit"), std::string::npos) << h.reports.back().text;
    EXPECT_FALSE(FileExists(Volume(3)));
}

TEST_F(SpanOnFixedDrive, AVolumeNeverReplacesTheArchiveBeingSplit) {
    const std::string input = folder / "arch001.zip";
    const auto built = WriteStoredArchive(input, {500});
    h.host.answers = {Answer::Yes};
    EXPECT_EQ(h.zip.SpanArchive(input, output), -9);
    EXPECT_EQ(ReadBytes(input), built.bytes);
}

TEST_F(SpanOnFixedDrive, CancelRequestedStopsTheCopyQuietly) {
    WriteStoredArchive(source, {5000, 5000});
    h.zip.SetMaxVolumeSize(2000);
    h.zip.SetMinFreeVolumeSize(1);
    h.zip.OnProgress = [](TZipMaster& zip, ProgressType type, const std::string&, std::int64_t) {
        if (type == ProgressFileStart) zip.SetCancelRequested(true);
    };
    EXPECT_EQ(h.zip.SpanArchive(source, output), -7);
    EXPECT_EQ(h.Ids().back(), 11007);
    EXPECT_TRUE(h.host.messages.empty());
}

TEST(SpanVolumeNames, NumberGoesInFrontOfTheExtension) {
    EXPECT_EQ(NumberedVolumeName("/d/a/arch.zip", 0), "/d/a/arch001.zip");
    EXPECT_EQ(NumberedVolumeName("/d/a/arch.zip", 998), "/d/a/arch999.zip");
    EXPECT_EQ(NumberedVolumeName("/d/a.b/arch", 1), "/d/a.b/arch002");
    EXPECT_EQ(NumberedVolumeName("/d/x.tar.zip", 2), "/d/x.tar003.zip");
    EXPECT_EQ(SpanVolumeLabel(0), "PKBACK# 001");
    EXPECT_EQ(SpanVolumeLabel(41), "PKBACK# 042");
}

}  // namespace
}  // namespace kitforge
