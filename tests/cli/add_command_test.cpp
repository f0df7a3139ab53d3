// kitforge-cli add, run as a user runs it, with archives checked by Info-ZIP unzip.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

TEST(CliAdd, CreatesAnArchiveThatUnzipAccepts) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", std::string(5000, 'a'));
    mkdir((folder / "d").c_str(), 0755);
    WriteBytes(folder / "d/b.txt", "bee");
    auto result = RunProgram({BuiltProgram("kitforge-cli"), "add", "out.zip", "a.txt", "d", "-r", "-D", "-9"}, folder.Path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("2 entries added"), std::string::npos) << result.out;
    auto test = RunProgram({"unzip", "-t", folder / "out.zip"});
    EXPECT_EQ(test.status, 0) << test.out;
    auto list = RunProgram({"unzip", "-Z1", folder / "out.zip"});
    EXPECT_EQ(list.out, "a.txt\nd/b.txt\n");
}

TEST(CliAdd, EncryptsWithThePasswordAndRefusesOneWithoutTheOther) {
    TempFolder folder;
    WriteBytes(folder / "s.txt", "secret text");
    auto missing = RunProgram({BuiltProgram("kitforge-cli"), "add", "x.zip", "s.txt", "-e"}, folder.Path());
    EXPECT_EQ(missing.status, 2);
    auto result = RunProgram({BuiltProgram("kitforge-cli"), "add", "x.zip", "s.txt", "-e", "--password", "pw"},
                             folder.Path());
    ASSERT_EQ(result.status, 0) << result.err;
    auto extracted = RunProgram({"unzip", "-p", "-P", "pw", folder / "x.zip", "s.txt"});
    EXPECT_EQ(extracted.out, "secret text");
}

TEST(CliAdd, ReportsSkippedFilesAndFailsWhenNothingWasAdded) {
    TempFolder folder;
    WriteBytes(folder / "here.txt", "here");
    auto partial = RunProgram({BuiltProgram("kitforge-cli"), "add", "p.zip", "here.txt", "gone.txt"}, folder.Path());
    EXPECT_EQ(partial.status, 0) << partial.err;
    EXPECT_NE(partial.err.find("gone.txt"), std::string::npos) << partial.err;

    auto none = RunProgram({BuiltProgram("kitforge-cli"), "add", "n.zip", "gone.txt"}, folder.Path());
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Nothing was added"), std::string::npos) << none.err;
}

TEST(CliAdd, LevelZeroStoresAndFreshenTouchesOnlyExistingEntries) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", std::string(10000, 'a'));
    ASSERT_EQ(RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "a.txt", "-0"}, folder.Path()).status, 0);
    EXPECT_GT(ReadBytes(folder / "s.zip").size(), 10000u);
    WriteBytes(folder / "new.txt", "new");
    auto fresh = RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "new.txt", "-f"}, folder.Path());
    EXPECT_EQ(fresh.status, 1);  // nothing newer, nothing new taken
    auto both = RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "new.txt", "-f", "-u"}, folder.Path());
    EXPECT_EQ(both.status, 2);
}

}  // namespace
}  // namespace kitforge
