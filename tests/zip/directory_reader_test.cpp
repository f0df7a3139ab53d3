// Reading the directories of archives made by Info-ZIP and Python, and of the odd files that
// users hand the component: no file, no archive, archives behind stubs, with comments and
// padding.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/temp_folder.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::BuilderEntry;
using testing::ReadBytes;
using testing::RunCommand;
using testing::RunPython;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

// An archive written by Python's zipfile with the given body (statements using `z`).
std::string PythonZip(const TempFolder& folder, const std::string& name, const std::string& body) {
    const std::string path = folder / name;
    RunPython("import zipfile\nwith zipfile.ZipFile('" + path + "', 'w', zipfile.ZIP_DEFLATED) as z:\n" + body);
    return path;
}

std::string ThreeFileZip(const TempFolder& folder, const std::string& name = "three.zip",
                         const std::string& comment_statement = "") {
    return PythonZip(folder, name,
                     "    z.writestr('a.txt', 'alpha ' * 100)\n"
                     "    z.writestr('dir/b.txt', 'beta')\n"
                     "    z.writestr('dir/sub/c.bin', bytes(range(256)) * 4)\n" +
                         comment_statement);
}

TEST(DirectoryReader, MissingFileGivesAnEmptyDirectoryWithoutAMessage) {
    TempFolder folder;
    ZipHarness h;
    h.Read(folder / "new.zip");
    EXPECT_TRUE(h.zip.Entries().empty());
    EXPECT_EQ(h.zip.StubSize(), 0);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_TRUE(h.host.messages.empty());
    EXPECT_EQ(h.dir_updates, 1);
    // The name stays: an Add that follows creates the archive under it.
    EXPECT_EQ(h.zip.ZipFilename(), folder / "new.zip");
    h.Read("");
    EXPECT_EQ(h.dir_updates, 2);
    EXPECT_TRUE(h.reports.empty());
}

TEST(DirectoryReader, EntriesAreWhatPythonReadsFromAnInfoZipArchive) {
    if (!testing::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    TempFolder folder;
    std::filesystem::create_directories(folder / "src/docs/deep");
    WriteBytes(folder / "src/readme.txt", std::string(3000, 'r'));
    WriteBytes(folder / "src/docs/a b.txt", "spaces in the name");
    WriteBytes(folder / "src/docs/deep/empty.txt", "");
    ASSERT_EQ(RunCommand("cd " + folder / "src" + " && zip -q -r -X ../info.zip readme.txt docs"), 0);

    ZipHarness h;
    h.Read(folder / "info.zip");
    ASSERT_TRUE(h.reports.empty()) << h.reports[0].text;
    const auto expected = testing::PythonEntryLines(folder / "info.zip");
    ASSERT_EQ(h.zip.Entries().size(), expected.size());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ZipDirEntry& e = h.zip.Entries()[i];
        std::string stored = e.FileName;
        std::replace(stored.begin(), stored.end(), '\\', '/');
        EXPECT_EQ(testing::EntryLine(e, stored), expected[i]) << e.FileName;
        names.push_back(e.FileName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", "docs\\", "docs\\a b.txt", "docs\\deep\\",
                                               "docs\\deep\\empty.txt"}));
    EXPECT_EQ(h.zip.StubSize(), 0);
    EXPECT_FALSE(h.zip.OffsetsShifted());
    EXPECT_FALSE(h.zip.SpannedArchive());
    EXPECT_EQ(h.zip.ZipFilename(), folder / "info.zip");
    EXPECT_EQ(h.dir_updates, 1);
    // The busy cursor was shown and put back.
    EXPECT_FALSE(h.host.busy);
    EXPECT_EQ(h.host.busy_changes, 2);
    EXPECT_FALSE(h.Directory().InputHandle.IsOpen());
}

TEST(DirectoryReader, ArchiveWithoutCommentIsFoundByItsLast22Bytes) {
    TempFolder folder;
    const std::string path = ThreeFileZip(folder);
    const auto size = static_cast<std::int64_t>(ReadBytes(path).size());
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    ASSERT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.Entries()[2].FileName, "dir\\sub\\c.bin");
    EXPECT_EQ(h.Directory().EndRecordOffset, size - 22);
    EXPECT_EQ(h.zip.PhysicalSize(), size);
    EXPECT_EQ(h.zip.ArchiveSize(), size);
    EXPECT_TRUE(h.zip.ArchiveComment().empty());
    // Python writes the directory right after the data, so it starts where it says.
    EXPECT_EQ(h.zip.CentralOffset(),
              std::stoll(RunPython("import zipfile\nprint(zipfile.ZipFile('" + path + "').start_dir)\n")));
}

TEST(DirectoryReader, ArchiveCommentIsFoundByTheSearch) {
    TempFolder folder;
    const std::string path = ThreeFileZip(folder, "c.zip", "    z.comment = b'0123456789'\n");
    const auto size = static_cast<std::int64_t>(ReadBytes(path).size());
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.ArchiveComment(), "0123456789");
    EXPECT_EQ(h.Directory().EndRecordOffset, size - 32);
    EXPECT_EQ(h.zip.ArchiveSize(), size);
}

TEST(DirectoryReader, ArchiveCommentEndsAtItsFirstZeroByte) {
    TempFolder folder;
    const std::string path = ThreeFileZip(folder, "z.zip", "    z.comment = b'before\\x00after'\n");
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.zip.ArchiveComment(), "before");
    EXPECT_EQ(h.zip.Entries().size(), 3u);
}

TEST(DirectoryReader, ZeroPaddingToA512ByteBlockIsTakenSilently) {
    TempFolder folder;
    const std::string original = ReadBytes(ThreeFileZip(folder, "p.zip", "    z.comment = b'note'\n"));
    std::string padded = original;
    padded.resize((original.size() / 512 + 1) * 512, '\0');
    WriteBytes(folder / "padded.zip", padded);
    ZipHarness h;
    h.Read(folder / "padded.zip");
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.PhysicalSize(), static_cast<std::int64_t>(padded.size()));
    EXPECT_EQ(h.zip.ArchiveSize(), static_cast<std::int64_t>(original.size()));
    EXPECT_EQ(h.zip.ArchiveComment(), "note");
}

TEST(DirectoryReader, OtherBytesAfterTheArchiveWarnAndReadingGoesOn) {
    TempFolder folder;
    const std::string original = ReadBytes(ThreeFileZip(folder));
    const std::size_t to_block = (original.size() / 512 + 1) * 512 - original.size();
    struct Case {
        const char* name;
        std::string tail;
    };
    const Case cases[] = {
        {"non-zero padding to the block", std::string(to_block - 1, '\0') + "x"},
        {"zeros past a whole block", std::string(to_block + 512, '\0')},
        {"zeros short of the block", std::string(to_block - 1, '\0')},
        {"text", "garbage appended by a download tool"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(folder / "t.zip", original + c.tail);
        ZipHarness h;
        h.Read(folder / "t.zip");
        ASSERT_EQ(h.Ids(), std::vector<int>{10204});
        EXPECT_EQ(h.reports[0].text,
                  "Bytes other than zero padding follow the end of the zip archive; they are "
                  "ignored.\nFile: " +
                      folder / "t.zip");
        ASSERT_EQ(h.host.messages.size(), 1u);
        EXPECT_EQ(h.host.messages[0].kind, MessageKind::Warning);
        EXPECT_EQ(h.zip.Entries().size(), 3u);
        EXPECT_EQ(h.zip.ArchiveSize(), static_cast<std::int64_t>(original.size()));
        EXPECT_EQ(h.zip.ZipFilename(), folder / "t.zip");
    }
}

TEST(DirectoryReader, CommentRunningPastTheEndOfTheFileFails) {
    TempFolder folder;
    const std::string original = ReadBytes(ThreeFileZip(folder, "c.zip", "    z.comment = b'0123456789'\n"));
    // Cut inside the comment: found by the search. Cut the whole comment: the record is the
    // file's last 22 bytes but still declares its comment.
    for (std::size_t cut : {std::size_t{4}, std::size_t{10}}) {
        SCOPED_TRACE(cut);
        WriteBytes(folder / "cut.zip", original.substr(0, original.size() - cut));
        ZipHarness h;
        h.Read(folder / "cut.zip");
        ASSERT_EQ(h.Ids(), std::vector<int>{10202});
        EXPECT_EQ(h.reports[0].text,
                  "Cannot read the directory of the zip archive: the archive comment of 10 bytes "
                  "runs past the end of the file.\nFile: " +
                      folder / "cut.zip");
        EXPECT_EQ(h.zip.ZipFilename(), "");
        EXPECT_EQ(h.zip.StubSize(), 0);
        EXPECT_EQ(h.dir_updates, 1);
    }
}

TEST(DirectoryReader, ArchiveOfOnlyAnEndRecordIsEmpty) {
    TempFolder folder;
    const std::string path = PythonZip(folder, "empty.zip", "    pass\n");
    ASSERT_EQ(ReadBytes(path).size(), 22u);
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_TRUE(h.zip.Entries().empty());
    EXPECT_EQ(h.zip.StubSize(), 0);
    EXPECT_EQ(h.zip.CentralOffset(), 0);
    EXPECT_EQ(h.zip.ZipFilename(), path);
}

TEST(DirectoryReader, EmptyArchiveWithACommentHasNoStub) {
    TempFolder folder;
    const std::string path = PythonZip(folder, "empty.zip", "    z.comment = b'nothing here'\n");
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty());
    EXPECT_EQ(h.zip.ArchiveComment(), "nothing here");
    EXPECT_EQ(h.zip.StubSize(), 0);
}

TEST(DirectoryReader, FilesShorterThanAnEndRecordFail) {
    TempFolder folder;
    for (std::size_t size : {0, 1, 21}) {
        SCOPED_TRACE(size);
        WriteBytes(folder / "short.zip", std::string("PK\x05\x06", 4).substr(0, std::min<std::size_t>(size, 4)) +
                                             std::string(size > 4 ? size - 4 : 0, '\0'));
        ZipHarness h;
        h.Read(folder / "short.zip");
        ASSERT_EQ(h.Ids(), std::vector<int>{10202});
        EXPECT_NE(h.reports[0].text.find("shorter than the smallest zip archive"), std::string::npos)
            << h.reports[0].text;
        EXPECT_EQ(h.zip.ZipFilename(), "");
    }
}

TEST(DirectoryReader, StubInFrontWithOffsetsOfTheZipDataAlone) {
    TempFolder folder;
    const std::string zip = ReadBytes(ThreeFileZip(folder));
    // A stub that holds signatures of its own must not be taken for the archive.
    std::string stub(5000, 'S');
    stub.replace(100, 4, "PK\x05\x06");
    stub.replace(200, 4, "PK\x01\x02");
    stub.replace(300, 4, "PK\x03\x04");
    WriteBytes(folder / "sfx.exe", stub + zip);
    ZipHarness h;
    h.Read(folder / "sfx.exe");
    ASSERT_EQ(h.Ids(), std::vector<int>{10203});
    EXPECT_EQ(h.host.messages.at(0).kind, MessageKind::Warning);
    EXPECT_TRUE(h.zip.OffsetsShifted());
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.Entries()[0].LocalHeaderOffset, 0u);
    EXPECT_EQ(h.zip.StubSize(), 5000);
    EXPECT_EQ(h.zip.ZipFilename(), folder / "sfx.exe");
}

TEST(DirectoryReader, StubInFrontWithOffsetsAdjustedByInfoZip) {
    if (!testing::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    TempFolder folder;
    const std::string zip = ReadBytes(ThreeFileZip(folder));
    WriteBytes(folder / "sfx.exe", std::string(5000, '\x90') + zip);
    ASSERT_EQ(RunCommand("zip -q -A " + folder / "sfx.exe"), 0);
    ZipHarness h;
    h.Read(folder / "sfx.exe");
    EXPECT_TRUE(h.reports.empty()) << h.reports[0].text;
    EXPECT_FALSE(h.zip.OffsetsShifted());
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.Entries()[0].LocalHeaderOffset, 5000u);
    EXPECT_EQ(h.zip.StubSize(), 5000);
}

TEST(DirectoryReader, TextFileNamedZipIsNoArchive) {
    TempFolder folder;
    WriteBytes(folder / "notes.zip", std::string(3000, 'x') + "\nJust some text.\n");
    ZipHarness h;
    h.Read(folder / "notes.zip");
    ASSERT_EQ(h.Ids(), std::vector<int>{11036});
    const std::string text =
        "This file is not a zip archive: it has no end of central directory record.\nFile: " + folder / "notes.zip";
    EXPECT_EQ(h.reports[0].text, text);
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].text, text);
    EXPECT_EQ(h.host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(h.host.messages[0].caption, "Kitforge");
    EXPECT_EQ(h.zip.ZipFilename(), "");
    EXPECT_EQ(h.dir_updates, 1);
}

TEST(DirectoryReader, UnattendedReportsReachOnlyTheHandler) {
    TempFolder folder;
    WriteBytes(folder / "notes.zip", "text");
    ZipHarness h;
    h.zip.SetUnattended(true);
    h.Read(folder / "notes.zip");
    EXPECT_EQ(h.Ids(), std::vector<int>{10202});
    EXPECT_TRUE(h.host.messages.empty());
}

TEST(DirectoryReader, WrongCentralSignatureKeepsTheEntriesBeforeIt) {
    TempFolder folder;
    std::vector<BuilderEntry> entries;
    for (const char* name : {"one", "two", "three", "four"}) entries.push_back(testing::Stored(name, name));
    auto built = BuildArchive(entries);
    built.bytes[built.central_entries[2] + 1] = 'X';
    WriteBytes(folder / "bad.zip", built.bytes);
    ZipHarness h;
    h.Read(folder / "bad.zip");
    ASSERT_EQ(h.Ids(), std::vector<int>{11015});
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[1].FileName, "two");
    EXPECT_EQ(h.zip.ZipFilename(), "");
    EXPECT_EQ(h.zip.StubSize(), 0);
}

TEST(DirectoryReader, SlashesInNamesBecomeBackslashes) {
    TempFolder folder;
    const auto built = BuildArchive({testing::Stored("a/b.txt", "x", 3), testing::Stored("a\\c.txt", "", 3)});
    WriteBytes(folder / "s.zip", built.bytes);
    ZipHarness h;
    h.Read(folder / "s.zip");
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[0].FileName, "a\\b.txt");
    EXPECT_EQ(h.zip.Entries()[0].NameLength, 7u);
    EXPECT_EQ(h.zip.Entries()[1].FileName, "a\\c.txt");
}

TEST(DirectoryReader, ReadingAgainAfterAFailureStartsClean) {
    TempFolder folder;
    WriteBytes(folder / "bad.zip", "nothing");
    const std::string good = ThreeFileZip(folder);
    ZipHarness h;
    h.Read(folder / "bad.zip");
    h.Read(good);
    EXPECT_EQ(h.Ids(), std::vector<int>{10202});
    EXPECT_EQ(h.zip.Entries().size(), 3u);
    EXPECT_EQ(h.zip.ZipFilename(), good);
    // Reading the same name again reads the file again.
    WriteBytes(good, ReadBytes(PythonZip(folder, "other.zip", "    z.writestr('only', 'x')\n")));
    h.Read(good);
    EXPECT_EQ(h.zip.Entries().size(), 1u);
    EXPECT_EQ(h.dir_updates, 3);
}

TEST(DirectoryReader, Zip64EndRecordForcedByInfoZip) {
    if (!testing::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    TempFolder folder;
    WriteBytes(folder / "a.txt", "first");
    WriteBytes(folder / "b.txt", "second");
    ASSERT_EQ(RunCommand("cd " + folder.Path() + " && zip -q -fz z64.zip a.txt b.txt"), 0);
    ZipHarness h;
    h.Read(folder / "z64.zip");
    EXPECT_TRUE(h.reports.empty()) << h.reports[0].text;
    EXPECT_TRUE(h.Directory().Zip64Directory);
    EXPECT_FALSE(h.zip.OffsetsShifted());
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[1].FileName, "b.txt");
    EXPECT_EQ(h.zip.StubSize(), 0);
}

TEST(DirectoryReader, Zip64DirectoryOfMoreThan65535Entries) {
    TempFolder folder;
    const std::string path = PythonZip(folder, "many.zip",
                                       "    for i in range(70000):\n"
                                       "        z.writestr(zipfile.ZipInfo('d/f%05d' % i), b'')\n");
    ZipHarness h;
    h.Read(path);
    EXPECT_TRUE(h.reports.empty()) << h.reports[0].text;
    ASSERT_EQ(h.zip.Entries().size(), 70000u);
    EXPECT_TRUE(h.Directory().Zip64Directory);
    EXPECT_EQ(h.zip.Entries()[69999].FileName, "d\\f69999");
    EXPECT_EQ(h.zip.StubSize(), 0);
    EXPECT_FALSE(h.zip.OffsetsShifted());

    // Behind a stub the zip64 record is found right before its locator.
    WriteBytes(folder / "many.exe", std::string(777, 's') + ReadBytes(path));
    h.Read(folder / "many.exe");
    EXPECT_EQ(h.Ids(), std::vector<int>{10203});
    EXPECT_EQ(h.zip.Entries().size(), 70000u);
    EXPECT_EQ(h.zip.StubSize(), 777);
}

}  // namespace
}  // namespace kitforge
