// The line-list half of a compressed build: grouping by target folder, the three lines per
// group, and the checks made before any group is packed.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/compressed_group_step.h"
#include "installer/compressed_groups.h"
#include "os/errors.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

void WriteInFolder(const std::string& path, std::string_view bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, bytes);
}

TEST(CompressedGroups, TargetsThatDifferInCaseShareAGroupWithTheLastSpelling) {
    Lines lines = {"extract \"C:\\1.txt\" \"%program%\\A\"", "execute x", "extract \"C:\\2.txt\" \"%PROGRAM%\\a\"",
                   "EXTRACT \"C:\\3.txt\" \"%program%\\B\"", "quit "};
    const auto groups = TakeCompressedGroups(lines);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].target, "%program%\\B");
    EXPECT_EQ(groups[0].sources, (Lines{"C:\\3.txt"}));
    EXPECT_EQ(groups[1].target, "%PROGRAM%\\a");
    EXPECT_EQ(groups[1].sources, (Lines{"C:\\2.txt", "C:\\1.txt"}));
    EXPECT_EQ(lines, (Lines{"execute x", "quit "}));

    InsertGroupLines(lines, groups, "C:\\proj\\");
    EXPECT_EQ(lines, (Lines{
                         "EXTRACT \"C:\\proj\\!install1.exe\" \"%PROGRAM%\\a\"",
                         "EXECUTE %PROGRAM%\\a\\!install1.exe",
                         "CLEANUP %PROGRAM%\\a",
                         "EXTRACT \"C:\\proj\\!install0.exe\" \"%program%\\B\"",
                         "EXECUTE %program%\\B\\!install0.exe",
                         "CLEANUP %program%\\B",
                         "execute x",
                         "quit ",
                     }));
}

TEST(CompressedGroups, OnlyLinesStartingWithTheWordAndABlankAreTaken) {
    Lines lines = {"extractx \"a\" \"b\"", "Extract \"C:\\a.txt\" \"%program%\"", "run extract \"a\" \"b\""};
    const auto groups = TakeCompressedGroups(lines);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].sources, (Lines{"C:\\a.txt"}));
    EXPECT_EQ(lines, (Lines{"extractx \"a\" \"b\"", "run extract \"a\" \"b\""}));
}

TEST(CompressedGroups, RunLineOfTheTarget) {
    struct Row {
        const char* target;
        const char* run;
    } rows[] = {
        {"%program%", "EXECUTE %program%\\!install3.exe"},
        // A target ending in a backslash keeps it: the installer reads the doubled one as one.
        {"%program%\\", "EXECUTE %program%\\\\!install3.exe"},
        // A blank would split the line into two words; the quotes keep the path whole.
        {"%program%\\My Files", "EXECUTE \"%program%\\My Files\\!install3.exe\""},
    };
    for (const auto& row : rows) {
        const auto three = GroupLines("/proj/", 3, row.target);
        ASSERT_EQ(three.size(), 3u);
        EXPECT_EQ(three[0], "EXTRACT \"/proj/!install3.exe\" \"" + std::string(row.target) + "\"");
        EXPECT_EQ(three[1], row.run);
        EXPECT_EQ(three[2], "CLEANUP " + std::string(row.target));
    }
    EXPECT_EQ(GroupBaseName("/proj/", 12), "/proj/!install12");
}

TEST(CompressedGroups, TwoFilesOfOneNameInAGroupAreRefusedNamingBoth) {
    try {
        RefuseSharedFileNames({"/a/x.txt", "/b/y.txt", "/b/x.txt"}, "%program%");
        FAIL();
    } catch (const Error& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("/a/x.txt"), std::string::npos) << text;
        EXPECT_NE(text.find("/b/x.txt"), std::string::npos) << text;
        EXPECT_NE(text.find("%program%"), std::string::npos) << text;
    }
    // Names differing in case are different files here; one path twice is one file.
    EXPECT_NO_THROW(RefuseSharedFileNames({"/a/x.txt", "/b/X.txt", "/a/x.txt"}, "t"));
    EXPECT_EQ(WithoutRepeats({"/a", "/b", "/a", "/c", "/b"}), (Lines{"/a", "/b", "/c"}));
}

struct MadeGroup {
    std::string base_name;
    Lines sources;
};

struct StepFixture {
    TempFolder folder;
    std::string script = folder / "setup.inf";
    std::vector<MadeGroup> made;

    std::size_t Run(Lines& lines) {
        return RewriteCompressedGroups(lines, script, [this](const std::string& base, const Lines& sources) {
            made.push_back({base, sources});
        });
    }
};

TEST(CompressedGroupStep, GroupsAreMadeInOrderWithExpandedSourcesAfterTheLinesAreRewritten) {
    StepFixture f;
    WriteBytes(f.folder / "a.txt", "a");
    WriteBytes(f.folder / "b.txt", "b");
    Lines lines = {"extract \"%apppath%\\a.txt\" \"%program%\"", "extract \"%apppath%\\b.txt\" \"%common%\"",
                   "extract \"%apppath%\\a.txt\" \"%PROGRAM%\"", "quit "};
    EXPECT_EQ(f.Run(lines), 2u);
    ASSERT_EQ(f.made.size(), 2u);
    EXPECT_EQ(f.made[0].base_name, f.folder / "!install0");
    EXPECT_EQ(f.made[0].sources, (Lines{f.folder / "a.txt"}));  // the same file twice is packed once
    EXPECT_EQ(f.made[1].base_name, f.folder / "!install1");
    EXPECT_EQ(f.made[1].sources, (Lines{f.folder / "b.txt"}));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "EXTRACT \"" + f.folder / "!install1.exe" + "\" \"%common%\"");
    EXPECT_EQ(lines[3], "EXTRACT \"" + f.folder / "!install0.exe" + "\" \"%PROGRAM%\"");
    EXPECT_EQ(lines[6], "quit ");
}

TEST(CompressedGroupStep, WithoutPutLinesNothingChangesAndNothingIsMade) {
    StepFixture f;
    Lines lines = {"execute x", "quit "};
    EXPECT_EQ(f.Run(lines), 0u);
    EXPECT_EQ(lines, (Lines{"execute x", "quit "}));
    EXPECT_TRUE(f.made.empty());
}

TEST(CompressedGroupStep, EverySourceIsCheckedBeforeAnyGroupIsMade) {
    {
        SCOPED_TRACE("a missing source in the last group");
        StepFixture f;
        WriteBytes(f.folder / "a.txt", "a");
        Lines lines = {"extract \"%apppath%missing.txt\" \"%common%\"", "extract \"%apppath%a.txt\" \"%program%\""};
        try {
            f.Run(lines);
            FAIL();
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "File not found: " + f.folder / "missing.txt");
        }
        EXPECT_TRUE(f.made.empty());
    }
    {
        SCOPED_TRACE("two files of one name for one target");
        StepFixture f;
        WriteInFolder(f.folder / "one/a.txt", "1");
        WriteInFolder(f.folder / "two/a.txt", "2");
        Lines lines = {"extract \"%apppath%one/a.txt\" \"%program%\"", "extract \"%apppath%two/a.txt\" \"%program%\""};
        EXPECT_THROW(f.Run(lines), Error);
        EXPECT_TRUE(f.made.empty());
    }
    {
        SCOPED_TRACE("the same name for different targets is fine");
        StepFixture f;
        WriteInFolder(f.folder / "one/a.txt", "1");
        WriteInFolder(f.folder / "two/a.txt", "2");
        Lines lines = {"extract \"%apppath%one/a.txt\" \"%program%\"", "extract \"%apppath%two/a.txt\" \"%common%\""};
        EXPECT_EQ(f.Run(lines), 2u);
    }
}

TEST(CompressedGroupStep, TheFirstFailingGroupEndsTheStep) {
    StepFixture f;
    WriteBytes(f.folder / "a.txt", "a");
    Lines lines = {"extract \"%apppath%a.txt\" \"%program%\"", "extract \"%apppath%a.txt\" \"%common%\""};
    int calls = 0;
    EXPECT_THROW(RewriteCompressedGroups(lines, f.script,
                                         [&](const std::string&, const Lines&) {
                                             ++calls;
                                             throw Error("SFX conversion failed.");
                                         }),
                 Error);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace kitforge
