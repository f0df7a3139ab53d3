// Writing under temporary names, renaming into place, and undoing a failed extraction.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "support/temp_folder.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.insert(entry->d_name);
            }
        }
        ::closedir(dir);
    }
    return names;
}

auto Text(const std::string& text) {
    return [text](const ByteSink& sink) { sink(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()); };
}

TEST(FolderWriter, NothingIsVisibleUntilTheCommit) {
    TempFolder root;
    WriteBytes(root / "keep.txt", "old");
    FolderWriter writer(root / "out");
    writer.Open();
    writer.StageFile("keep.txt", std::nullopt, 0, Text("new"));
    writer.StageFile("sub/deep/f.txt", 0100700, 0x5A8C6000, Text("deep"));
    EXPECT_EQ(Names(root / "out").count("keep.txt"), 0u);
    EXPECT_EQ(Names(root / "out/sub/deep").size(), 1u);  // only the temporary file
    writer.Commit();
    EXPECT_EQ(ReadBytes(root / "out/keep.txt"), "new");
    EXPECT_EQ(ReadBytes(root / "out/sub/deep/f.txt"), "deep");
    EXPECT_EQ(Names(root / "out/sub/deep"), std::set<std::string>{"f.txt"});

    struct stat info {};
    ASSERT_EQ(::stat((root / "out/sub/deep/f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(static_cast<std::int64_t>(info.st_mtime), *DosTimeToUnix(0x5A8C6000));
}

TEST(FolderWriter, StoredModesLoseWhatTheUmaskTakesAndTheSpecialBits) {
    struct Row {
        mode_t umask;
        std::optional<std::uint32_t> stored;
        mode_t expected;
    };
    const Row rows[] = {
        {022, 0100777, 0755}, {022, 0104755, 0755}, {022, 0106777, 0755}, {022, 0101777, 0755},
        {077, 0100755, 0700}, {002, 0100775, 0775}, {0, 0100777, 0777},   {022, std::nullopt, 0644},
    };
    const mode_t saved = ::umask(0);
    for (const Row& row : rows) {
        TempFolder root;
        ::umask(row.umask);
        FolderWriter writer(root.Path());
        writer.Open();
        writer.StageFile("f", row.stored, 0, Text("x"));
        writer.Commit();
        struct stat info {};
        ASSERT_EQ(::stat((root / "f").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, row.expected)
            << "umask " << std::oct << row.umask << ", stored " << row.stored.value_or(0);
    }
    ::umask(saved);
}

TEST(FolderWriter, CommitReplacesExistingFiles) {
    TempFolder root;
    WriteBytes(root / "a.txt", "old");
    FolderWriter writer(root.Path());
    writer.Open();
    writer.StageFile("a.txt", std::nullopt, 0, Text("new"));
    EXPECT_EQ(ReadBytes(root / "a.txt"), "old");
    writer.Commit();
    EXPECT_EQ(ReadBytes(root / "a.txt"), "new");
    EXPECT_EQ(Names(root.Path()), std::set<std::string>{"a.txt"});
}

TEST(FolderWriter, DiscardLeavesTheTargetAsItWas) {
    TempFolder root;
    WriteBytes(root / "a.txt", "old");
    ::mkdir((root / "existing").c_str(), 0755);
    {
        FolderWriter writer(root / "new/target");
        writer.Open();
        writer.StageFile("a.txt", std::nullopt, 0, Text("1"));
        writer.StageFile("existing/b.txt", std::nullopt, 0, Text("2"));
        writer.MakeFolder("made/inside");
        EXPECT_THROW(
            writer.StageFile("c.txt", std::nullopt, 0, [](const ByteSink&) { throw SfxError("damaged entry"); }),
            SfxError);
        writer.Discard();
    }
    EXPECT_EQ(Names(root.Path()), (std::set<std::string>{"a.txt", "existing"}));
    EXPECT_TRUE(Names(root / "existing").empty());
    EXPECT_EQ(ReadBytes(root / "a.txt"), "old");

    {
        FolderWriter abandoned(root.Path());
        abandoned.Open();
        abandoned.StageFile("x.txt", std::nullopt, 0, Text("x"));
    }  // going away without a commit discards
    EXPECT_EQ(Names(root.Path()), (std::set<std::string>{"a.txt", "existing"}));
}

TEST(FolderWriter, NeverFollowsALinkOutOfTheTarget) {
    TempFolder root;
    TempFolder outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), (root / "link").c_str()), 0);
    FolderWriter writer(root.Path());
    writer.Open();
    EXPECT_THROW(writer.StageFile("link/passwd", std::nullopt, 0, Text("owned")), SfxError);
    EXPECT_THROW(writer.MakeFolder("link/sub"), SfxError);
    writer.Discard();
    EXPECT_TRUE(Names(outside.Path()).empty());
}

TEST(FolderWriter, AFailedWriteNamesTheFileAndLeavesNothing) {
    TempFolder root;
    // A file size limit makes write() fail with EFBIG, as a full disk would with ENOSPC. The
    // limit is set in a child process so that the test program keeps its own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int verdict = 1;
        {
            FolderWriter writer(root.Path());
            writer.Open();
            try {
                writer.StageFile("big.bin", std::nullopt, 0, Text(std::string(5000, 'x')));
            } catch (const SfxError& error) {
                const std::string text = error.what();
                verdict =
                    text.find("cannot write") != std::string::npos && text.find("big.bin") != std::string::npos ? 0 : 2;
            }
        }  // the writer goes away without a commit
        ::_exit(verdict);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(Names(root.Path()).empty());  // the writer discarded its temporary file
}

TEST(DosTime, FieldsBecomeLocalTime) {
    const auto seconds = DosTimeToUnix((45u << 25) | (4u << 21) | (12u << 16) | (13u << 11) | (30u << 5) | 10u);
    ASSERT_TRUE(seconds.has_value());
    std::time_t value = static_cast<std::time_t>(*seconds);
    std::tm local{};
    ::localtime_r(&value, &local);
    EXPECT_EQ(local.tm_year, 125);
    EXPECT_EQ(local.tm_mon, 3);
    EXPECT_EQ(local.tm_mday, 12);
    EXPECT_EQ(local.tm_hour, 13);
    EXPECT_EQ(local.tm_min, 30);
    EXPECT_EQ(local.tm_sec, 20);
    EXPECT_FALSE(DosTimeToUnix(0).has_value());                     // day 0, month 0
    EXPECT_FALSE(DosTimeToUnix(13u << 21 | 1u << 16).has_value());  // month 13
}

}  // namespace
}  // namespace kitforge::zipsfx
