// Deciding an extraction before writing: names, clashes inside the archive, what stands in
// the target already, and the answer to "which files?".

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_folder.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/extraction_plan.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/zip_archive.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using testing::AsBytes;
using testing::BuildZip;
using testing::TestEntry;

// Holds the bytes the archive's entries point into.
struct Archive {
    explicit Archive(const std::vector<TestEntry>& entries) : bytes(BuildZip(entries).bytes), source(AsBytes(bytes)) {
        archive = ReadZipArchive(source, 0);
    }
    std::string bytes;
    MemorySource source;
    ZipArchive archive;
};

std::string RefusalOf(const std::vector<TestEntry>& entries) {
    Archive archive(entries);
    try {
        CheckEntries(archive.archive);
    } catch (const SfxError& error) {
        return error.what();
    }
    return "";
}

TEST(ExtractionPlan, EveryEntryBecomesAnItem) {
    Archive archive({{"dir/", ""}, {"dir/a", "1"}, {"b", "2"}});
    const auto items = CheckEntries(archive.archive);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].is_directory);
    EXPECT_EQ(items[0].path, "dir");
    EXPECT_EQ(items[1].path, "dir/a");
    EXPECT_EQ(BytesToWrite(items), 2u);
}

TEST(ExtractionPlan, OneUnfitEntryRefusesTheWholeArchive) {
    EXPECT_NE(RefusalOf({{"ok", "1"}, {"../evil", "2"}}).find("\"../evil\""), std::string::npos);
    EXPECT_NE(RefusalOf({{"/abs", "1"}}).find("absolute"), std::string::npos);
    EXPECT_NE(RefusalOf({{"same", "1"}, {"same", "2"}}).find("twice"), std::string::npos);
    EXPECT_NE(RefusalOf({{"dup\\x", "1"}, {"dup/x", "2"}}).find("twice"), std::string::npos);
    EXPECT_NE(RefusalOf({{"a", "file"}, {"a/b", "under it"}}).find("folder of that name"), std::string::npos);
    EXPECT_NE(RefusalOf({{"a/", ""}, {"a", "file"}}).find("folder of that name"), std::string::npos);
    EXPECT_NE(RefusalOf({{"link", "/etc/passwd", false, 0120777}}).find("symbolic link"), std::string::npos);
    EXPECT_EQ(RefusalOf({{"a/", ""}, {"a/", ""}, {"a/b", "x"}}), "");  // a folder twice is harmless
}

TEST(ExtractionPlan, SelectionAnswers) {
    struct Row {
        const char* answer;
        std::optional<std::vector<bool>> chosen;
    };
    const Row rows[] = {
        {"", std::vector<bool>{true, true, true, true}},
        {"*", std::vector<bool>{true, true, true, true}},
        {"2", std::vector<bool>{false, true, false, false}},
        {" 1, 3-4 ", std::vector<bool>{true, false, true, true}},
        {"4 1", std::vector<bool>{true, false, false, true}},
        {"0", std::nullopt},
        {"5", std::nullopt},
        {"3-2", std::nullopt},
        {"1-", std::nullopt},
        {"x", std::nullopt},
        {"2x", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseSelection(row.answer, 4), row.chosen) << "answer \"" << row.answer << "\"";
    }
}

TEST(ExtractionPlan, ProbeFindsExistingFilesAndFolders) {
    TempFolder target;
    WriteBytes(target / "old.txt", "old");
    ::mkdir((target / "dir").c_str(), 0755);
    Archive archive({{"old.txt", "new"}, {"dir/", ""}, {"dir/new.txt", "x"}, {"missing/deep/f", "y"}});
    auto items = CheckEntries(archive.archive);
    ProbeTargets(target.Path(), items);
    EXPECT_EQ(items[0].state, TargetState::File);
    EXPECT_EQ(items[1].state, TargetState::Folder);
    EXPECT_EQ(items[2].state, TargetState::Missing);
    EXPECT_EQ(items[3].state, TargetState::Missing);

    TempFolder missing_root;
    auto fresh = CheckEntries(archive.archive);
    ProbeTargets(missing_root / "not/yet", fresh);
    EXPECT_EQ(fresh[0].state, TargetState::Missing);
}

TEST(ExtractionPlan, ProbeRefusesWhatStandsInTheWay) {
    TempFolder target;
    WriteBytes(target / "plain", "a file where a folder should be");
    ::mkdir((target / "folder").c_str(), 0755);
    TempFolder outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), (target / "escape").c_str()), 0);

    auto probe = [&](const std::vector<TestEntry>& entries) {
        Archive archive(entries);
        auto items = CheckEntries(archive.archive);
        ProbeTargets(target.Path(), items);
    };
    EXPECT_THROW(probe({{"plain/x", "1"}}), SfxError);
    EXPECT_THROW(probe({{"escape/x", "1"}}), SfxError);  // never through a link
    EXPECT_THROW(probe({{"folder", "1"}}), SfxError);
    EXPECT_THROW(probe({{"plain/", ""}}), SfxError);
    EXPECT_NO_THROW(probe({{"escape", "1"}}));  // the link itself is replaced, not followed
}

}  // namespace
}  // namespace kitforge::zipsfx
