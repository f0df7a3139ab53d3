// Nothing is lost and nothing is half-written: a cancel, a full disk or an unreadable archive
// leave the previous archive as it was. Callbacks arrive on the calling thread, in a sensible
// order, and the same inputs give the same bytes under SOURCE_DATE_EPOCH.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <random>

#include "report_codes.h"
#include "support/temp_folder.h"
#include "zipdll_harness.h"

namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using namespace zipdll_testing;

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + rng() % 8);
    return bytes;
}

class ZipDllSafety : public ::testing::Test {
protected:
    ZipLibrary library;
    TempFolder folder;

    std::string MakeArchive(const std::string& name) {
        AddCall call;
        call.archive = folder / name;
        WriteBytes(folder / "old.txt", "old entry");
        call.specs = {folder / "old.txt"};
        EXPECT_EQ(call.Run(library), 1);
        return call.archive;
    }

    std::string FolderListing() { return RunTool("ls -A " + Quote(folder.Path())).output; }
};

TEST_F(ZipDllSafety, CallbacksComeOnTheCallingThreadInOrder) {
    WriteBytes(folder / "a.txt", Noise(9u << 20, 1));  // several pieces
    WriteBytes(folder / "b.txt", "bee");
    AddCall call;
    call.archive = folder / "cb.zip";
    call.specs = {folder / "a.txt", folder / "b.txt"};
    ASSERT_EQ(call.Run(library), 2);

    std::uint64_t advanced = 0;
    std::vector<std::string> started;
    for (const CallbackEvent& event : call.events) {
        EXPECT_EQ(event.thread, std::this_thread::get_id());
        if (event.action == ZIPDLL_ACTION_ADVANCE) advanced += event.size;
        if (event.action == ZIPDLL_ACTION_FILE_START) started.push_back(event.text);
    }
    ASSERT_GE(call.events.size(), 5u);
    EXPECT_EQ(call.events[0].action, ZIPDLL_ACTION_FILE_COUNT);
    EXPECT_EQ(call.events[0].size, 2u);
    EXPECT_EQ(call.events[1].action, ZIPDLL_ACTION_BYTE_TOTAL);
    EXPECT_EQ(call.events[1].size, (9u << 20) + 3u);
    EXPECT_EQ(call.events.back().action, ZIPDLL_ACTION_BATCH_END);
    EXPECT_EQ(advanced, (9u << 20) + 3u);
    EXPECT_EQ(started, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(ZipDllSafety, CancelLeavesThePreviousArchiveAndNoTemporaryFile) {
    std::string archive = MakeArchive("keep.zip");
    std::string before = ReadBytes(archive);
    WriteBytes(folder / "big.txt", Noise(12u << 20, 2));
    std::string listing = FolderListing();

    AddCall call;
    call.archive = archive;
    call.specs = {folder / "big.txt"};
    int advances = 0;
    call.answer = [&](const CallbackEvent& event) {
        if (event.action == ZIPDLL_ACTION_ADVANCE && ++advances == 1) return ZIPDLL_CALLBACK_CANCEL;
        return ZIPDLL_CALLBACK_CONTINUE;
    };
    EXPECT_EQ(call.Run(library), 0);
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kCancelled));
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_EQ(FolderListing(), listing);
    // Nothing but the report and the batch end comes after the cancel.
    std::size_t cancel_at = 0;
    for (std::size_t i = 0; i < call.events.size(); ++i)
        if (call.events[i].action == ZIPDLL_ACTION_ADVANCE) {
            cancel_at = i;
            break;
        }
    EXPECT_EQ(call.events.size(), cancel_at + 3);
}

// A full disk, imitated by a file-size limit in a child process (the write fails with EFBIG).
TEST_F(ZipDllSafety, AFailedWriteLeavesThePreviousArchive) {
    std::string archive = MakeArchive("full.zip");
    std::string before = ReadBytes(archive);
    WriteBytes(folder / "large.bin", Noise(3u << 20, 3));
    std::string listing = FolderListing();

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1u << 20, 1u << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        AddCall call;
        call.archive = archive;
        call.specs = {folder / "large.bin"};
        call.level = 0;
        std::int32_t added = call.Run(library);
        _exit(added == 0 && call.HasMessageWithCode(zipdll::kCannotWrite) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_EQ(FolderListing(), listing);
}

// Peak memory does not grow with the file: a 320 MiB file (sparse, so quick to make) is added in
// a child process whose maximum resident set is then read.
TEST_F(ZipDllSafety, MemoryStaysBoundedWhateverTheFileSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory makes the resident size meaningless";
#endif
    std::string huge = folder / "huge.bin";
    {
        FILE* file = fopen(huge.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(ftruncate(fileno(file), 320ll << 20), 0);
        fputs("a marker at the start", file);
        fclose(file);
    }
    std::string archive = folder / "huge.zip";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AddCall call;
        call.archive = archive;
        call.specs = {huge};
        call.level = 1;
        _exit(call.Run(library) == 1 ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, 128 * 1024) << "peak resident set in KiB";
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST_F(ZipDllSafety, AFileThatIsNotAnArchiveIsNeverOverwritten) {
    std::string precious = folder / "notes.zip";
    WriteBytes(precious, "these are notes, not a zip archive");
    WriteBytes(folder / "a.txt", "a");
    AddCall call;
    call.archive = precious;
    call.specs = {folder / "a.txt"};
    EXPECT_EQ(call.Run(library), 0);
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kBadArchive));
    EXPECT_EQ(ReadBytes(precious), "these are notes, not a zip archive");
}

// Whoever runs the Add owns the rewritten archive, so no special bit of the old file may stay:
// root adding to another user's set-user-ID "tool.exe" must not make a root-owned program that
// runs as root. The ordinary bits are kept as they were.
TEST_F(ZipDllSafety, TheRewrittenArchiveKeepsNoSpecialPermissionBits) {
    const bool root = ::geteuid() == 0;
    if (!root) std::cerr << "[ note ] not root: the archives stay this user's own\n";
    const struct {
        mode_t before;
        mode_t after;
    } rows[] = {{04777, 0777}, {02755, 0755}, {06750, 0750}, {01777, 0777}, {07700, 0700}, {0640, 0640}};
    WriteBytes(folder / "new.txt", "new entry");
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "mode " << std::oct << row.before);
        std::string archive = MakeArchive("tool.exe");
        ASSERT_EQ(::chmod(archive.c_str(), row.before), 0);
        if (root) {
            // chown clears the set-ID bits: set them again for the other owner.
            ASSERT_EQ(::chown(archive.c_str(), 65534, 65534), 0);
            ASSERT_EQ(::chmod(archive.c_str(), row.before), 0);
        }
        struct stat planted {};
        ASSERT_EQ(::stat(archive.c_str(), &planted), 0);
        ASSERT_EQ(planted.st_mode & 07777, row.before);
        AddCall call;
        call.archive = archive;
        call.specs = {folder / "new.txt"};
        ASSERT_EQ(call.Run(library), 1);
        struct stat written {};
        ASSERT_EQ(::stat(archive.c_str(), &written), 0);
        EXPECT_EQ(written.st_mode & 07777, row.after);
        EXPECT_EQ(written.st_uid, ::geteuid());
        EXPECT_EQ(UnzipEntry(archive, "new.txt"), "new entry");
        ::unlink(archive.c_str());
    }
}

TEST_F(ZipDllSafety, DamagedArchivesAreRefusedWithTheirName) {
    std::string archive = MakeArchive("damaged.zip");
    std::string bytes = ReadBytes(archive);
    bytes[0] = 'X';  // the first local header loses its signature
    WriteBytes(archive, bytes);
    WriteBytes(folder / "a.txt", "a");
    AddCall call;
    call.archive = archive;
    call.specs = {folder / "a.txt"};
    EXPECT_EQ(call.Run(library), 0);
    ASSERT_TRUE(call.HasMessageWithCode(zipdll::kBadArchive));
    EXPECT_NE(call.Messages().front().text.find("damaged.zip"), std::string::npos);
    EXPECT_EQ(ReadBytes(archive), bytes);
}

// The file shrinks after it was listed and before it is read (done from the callback that
// announces the file count, which comes before any reading).
TEST_F(ZipDllSafety, AFileThatChangesWhileReadIsSkippedAndTheEntryItReplacesSurvives) {
    std::string archive = MakeArchive("partial.zip");
    WriteBytes(folder / "old.txt", "a newer and longer text");
    WriteBytes(folder / "fine.txt", "fine");
    AddCall call;
    call.archive = archive;
    call.specs = {folder / "old.txt", folder / "fine.txt"};
    call.answer = [&](const CallbackEvent& event) {
        if (event.action == ZIPDLL_ACTION_FILE_COUNT) truncate((folder / "old.txt").c_str(), 3);
        return ZIPDLL_CALLBACK_CONTINUE;
    };
    EXPECT_EQ(call.Run(library), 1);
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kChangedWhileRead));
    EXPECT_EQ(UnzipEntry(archive, "old.txt"), "old entry");
    EXPECT_EQ(UnzipEntry(archive, "fine.txt"), "fine");
    EXPECT_TRUE(UnzipTestPasses(archive));
}

TEST_F(ZipDllSafety, SourceDateEpochMakesTheSameInputsGiveTheSameBytes) {
    WriteBytes(folder / "r1.txt", Noise(300000, 4));
    WriteBytes(folder / "r2.txt", "two");
    setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
    AddCall call;
    call.specs = {folder / "r1.txt", folder / "r2.txt"};
    call.archive = folder / "one.zip";
    ASSERT_EQ(call.Run(library), 2);
    std::string first = ReadBytes(call.archive);
    // Touching the files (newer than the epoch) changes nothing.
    timeval now[2] = {{2000000000, 0}, {2000000000, 0}};
    utimes((folder / "r1.txt").c_str(), now);
    call.archive = folder / "two.zip";
    ASSERT_EQ(call.Run(library), 2);
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(ReadBytes(call.archive), first);
    ToolResult listing = RunTool("unzip -Z -T " + Quote(call.archive));
    EXPECT_NE(listing.output.find("20010909.014640"), std::string::npos) << listing.output;
}

TEST_F(ZipDllSafety, BadCallRecordsAreReportedNotFollowed) {
    ZipCallRecord record{};
    int calls = 0;
    static int* seen = nullptr;
    seen = &calls;
    record.header.callback = [](ZipCallbackRecord*) -> std::int32_t {
        ++*seen;
        return 0;
    };
    record.header.record_version = 150;  // not this layout
    EXPECT_EQ(library.Exec(&record), 0);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(library.Exec(nullptr), 0);
}

}  // namespace
