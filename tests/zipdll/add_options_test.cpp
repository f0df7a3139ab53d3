// The options of the call record: folder names kept or dropped, recursion and patterns,
// hidden files, separate folder entries, move, freshen and update, archive time, the
// temporary folder and MS-DOS attributes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>

#include "report_codes.h"
#include "support/temp_folder.h"
#include "zipdll_harness.h"

namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using namespace zipdll_testing;

class ZipDllOptions : public ::testing::Test {
protected:
    ZipLibrary library;
    TempFolder folder;
    std::string tree = folder / "tree";

    void SetUp() override {
        // tree/a.txt, tree/b.log, tree/.hidden, tree/sub/c.txt, tree/sub/deeper/d.txt, tree/empty/
        for (const char* dir : {"tree", "tree/sub", "tree/sub/deeper", "tree/empty"})
            ASSERT_EQ(mkdir((folder / dir).c_str(), 0755), 0);
        WriteBytes(folder / "tree/a.txt", "a");
        WriteBytes(folder / "tree/b.log", "b");
        WriteBytes(folder / "tree/.hidden", "h");
        WriteBytes(folder / "tree/sub/c.txt", "c");
        WriteBytes(folder / "tree/sub/deeper/d.txt", "d");
    }

    // Stored names relative to the temporary folder, sorted, for comparison.
    std::vector<std::string> Names(const std::string& archive) {
        std::string prefix = folder.Path().substr(1);  // stored names have no leading "/"
        std::vector<std::string> names;
        for (std::string name : PythonEntryNames(archive)) {
            if (name.compare(0, prefix.size(), prefix) == 0) name = name.substr(prefix.size());
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static void SetTime(const std::string& path, time_t when) {
        timeval times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(utimes(path.c_str(), times), 0);
    }
};

TEST_F(ZipDllOptions, FolderNamesAreDroppedUnlessKept) {
    AddCall junk;
    junk.archive = folder / "junk.zip";
    junk.specs = {tree + "/sub/c.txt"};
    ASSERT_EQ(junk.Run(library), 1);
    EXPECT_EQ(PythonEntryNames(junk.archive), std::vector<std::string>{"c.txt"});

    AddCall kept = junk;
    kept.archive = folder / "kept.zip";
    kept.dir_names = true;
    ASSERT_EQ(kept.Run(library), 1);
    EXPECT_EQ(Names(kept.archive), std::vector<std::string>{"tree/sub/c.txt"});
}

TEST_F(ZipDllOptions, RelativeNamesAndBackslashesAreStoredSafely) {
    AddCall call;
    call.archive = folder / "rel.zip";
    call.dir_names = true;
    // A Windows-style specification and one that climbs out of its folder.
    call.specs = {tree + "\\sub\\c.txt", tree + "/sub/../a.txt"};
    ASSERT_EQ(call.Run(library), 2);
    EXPECT_EQ(Names(call.archive), (std::vector<std::string>{"tree/a.txt", "tree/sub/c.txt"}));
    EXPECT_TRUE(UnzipTestPasses(call.archive));
}

TEST_F(ZipDllOptions, RecursionTakesEveryVisibleFileAndFolderEntriesOnlyWhenAsked) {
    AddCall call;
    call.archive = folder / "all.zip";
    call.specs = {tree};
    call.recurse = true;
    call.dir_names = true;
    ASSERT_EQ(call.Run(library), 4);
    EXPECT_EQ(Names(call.archive),
              (std::vector<std::string>{"tree/a.txt", "tree/b.log", "tree/sub/c.txt", "tree/sub/deeper/d.txt"}));

    AddCall dirs = call;
    dirs.archive = folder / "dirs.zip";
    dirs.separate_dirs = true;
    dirs.hidden = true;
    ASSERT_EQ(dirs.Run(library), 9);
    EXPECT_EQ(Names(dirs.archive),
              (std::vector<std::string>{"tree/", "tree/.hidden", "tree/a.txt", "tree/b.log", "tree/empty/", "tree/sub/",
                                        "tree/sub/c.txt", "tree/sub/deeper/", "tree/sub/deeper/d.txt"}));
    EXPECT_TRUE(UnzipTestPasses(dirs.archive));
}

TEST_F(ZipDllOptions, AnArchiveInsideTheAddedFolderIsNotAddedToItself) {
    AddCall call;
    call.archive = tree + "/self.zip";
    call.specs = {tree};
    call.recurse = true;
    ASSERT_EQ(call.Run(library), 4);
    ASSERT_EQ(call.Run(library), 4);  // again, now that the archive exists in the folder
    EXPECT_EQ(Names(call.archive), (std::vector<std::string>{"a.txt", "b.log", "c.txt", "d.txt"}));
}

TEST_F(ZipDllOptions, PatternsMatchInTheFolderAndWithRecursionBelowIt) {
    AddCall flat;
    flat.archive = folder / "flat.zip";
    flat.specs = {tree + "/*.txt"};
    ASSERT_EQ(flat.Run(library), 1);
    EXPECT_EQ(PythonEntryNames(flat.archive), std::vector<std::string>{"a.txt"});

    AddCall deep;
    deep.archive = folder / "deep.zip";
    deep.specs = {tree + "/?.txt"};
    deep.recurse = true;
    ASSERT_EQ(deep.Run(library), 3);
    EXPECT_EQ(Names(deep.archive), (std::vector<std::string>{"a.txt", "c.txt", "d.txt"}));
}

TEST_F(ZipDllOptions, HiddenFilesNeedTheOptionUnlessNamedExplicitly) {
    AddCall pattern;
    pattern.archive = folder / "p.zip";
    pattern.specs = {tree + "/*"};
    ASSERT_EQ(pattern.Run(library), 2);
    EXPECT_EQ(Names(pattern.archive), (std::vector<std::string>{"a.txt", "b.log"}));

    AddCall named;
    named.archive = folder / "n.zip";
    named.specs = {tree + "/.hidden"};
    ASSERT_EQ(named.Run(library), 1);
}

TEST_F(ZipDllOptions, MissingFilesAndFoldersWithoutRecursionAreReportedAndSkipped) {
    AddCall call;
    call.archive = folder / "some.zip";
    call.specs = {tree + "/a.txt", tree + "/missing.txt", tree + "/sub", tree + "/*.none"};
    ASSERT_EQ(call.Run(library), 1);
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kNotFound));
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kFolderSkipped));
    bool named = false;
    for (const CallbackEvent& message : call.Messages())
        named =
            named || (message.error_code == zipdll::kNotFound && message.text.find("missing.txt") != std::string::npos);
    EXPECT_TRUE(named);
}

TEST_F(ZipDllOptions, TheSameStoredNameTwiceKeepsTheLaterFile) {
    AddCall call;
    call.archive = folder / "dup.zip";
    WriteBytes(tree + "/sub/a.txt", "later");
    call.specs = {tree + "/a.txt", tree + "/sub/a.txt"};
    ASSERT_EQ(call.Run(library), 1);
    EXPECT_EQ(UnzipEntry(call.archive, "a.txt"), "later");
    EXPECT_TRUE(call.HasMessageWithCode(zipdll::kDuplicateName));
}

TEST_F(ZipDllOptions, MoveDeletesSourcesOnlyAfterTheArchiveIsWritten) {
    AddCall call;
    call.archive = folder / "moved.zip";
    call.specs = {tree + "/sub"};
    call.recurse = true;
    call.dir_names = true;
    call.separate_dirs = true;
    call.move = true;
    ASSERT_EQ(call.Run(library), 4);
    EXPECT_TRUE(UnzipTestPasses(call.archive));
    EXPECT_NE(access((tree + "/sub/c.txt").c_str(), F_OK), 0);
    EXPECT_NE(access((tree + "/sub").c_str(), F_OK), 0);
    EXPECT_EQ(access((tree + "/a.txt").c_str(), F_OK), 0);

    // A move that fails to write the archive deletes nothing.
    AddCall failing;
    failing.archive = folder / "no-such-folder/x.zip";
    failing.specs = {tree + "/a.txt"};
    failing.move = true;
    EXPECT_EQ(failing.Run(library), 0);
    EXPECT_EQ(access((tree + "/a.txt").c_str(), F_OK), 0);
}

TEST_F(ZipDllOptions, FreshenReplacesOnlyNewerAndUpdateAlsoAddsNew) {
    std::string archive = folder / "fresh.zip";
    SetTime(tree + "/a.txt", 1600000000);
    SetTime(tree + "/b.log", 1600000000);
    AddCall first;
    first.archive = archive;
    first.specs = {tree + "/a.txt", tree + "/b.log"};
    ASSERT_EQ(first.Run(library), 2);

    WriteBytes(tree + "/a.txt", "a2");
    SetTime(tree + "/a.txt", 1700000000);
    WriteBytes(tree + "/b.log", "b2");
    SetTime(tree + "/b.log", 1500000000);  // older than the entry: left alone

    AddCall freshen;
    freshen.archive = archive;
    freshen.specs = {tree + "/a.txt", tree + "/b.log", tree + "/sub/c.txt"};
    freshen.freshen = true;
    ASSERT_EQ(freshen.Run(library), 1);
    EXPECT_EQ(PythonEntryNames(archive), (std::vector<std::string>{"a.txt", "b.log"}));
    EXPECT_EQ(UnzipEntry(archive, "a.txt"), "a2");
    EXPECT_EQ(UnzipEntry(archive, "b.log"), "b");

    AddCall update = freshen;
    update.freshen = false;
    update.update = true;
    ASSERT_EQ(update.Run(library), 1);  // a.txt is now up to date; c.txt is new
    EXPECT_EQ(PythonEntryNames(archive), (std::vector<std::string>{"a.txt", "b.log", "c.txt"}));

    AddCall nothing = freshen;
    std::string before = ReadBytes(archive);
    EXPECT_EQ(nothing.Run(library), 0);
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_TRUE(nothing.HasMessageWithCode(zipdll::kNothingToDo));
}

TEST_F(ZipDllOptions, ZipTimeSetsTheArchiveToItsNewestEntry) {
    SetTime(tree + "/a.txt", 1500000000);
    SetTime(tree + "/b.log", 1600000000);
    AddCall call;
    call.archive = folder / "timed.zip";
    call.specs = {tree + "/a.txt", tree + "/b.log"};
    call.zip_time = true;
    ASSERT_EQ(call.Run(library), 2);
    struct stat st {};
    ASSERT_EQ(stat(call.archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);  // even seconds survive the two-second steps
}

TEST_F(ZipDllOptions, TemporaryFolderIsUsedAndLeftClean) {
    std::string temp = folder / "scratch";
    ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
    AddCall call;
    call.archive = folder / "t.zip";
    call.specs = {tree + "/a.txt"};
    call.temp_dir = temp;
    ASSERT_EQ(call.Run(library), 1);
    EXPECT_TRUE(UnzipTestPasses(call.archive));
    EXPECT_EQ(RunTool("ls -A " + Quote(temp)).output, "");

    AddCall missing = call;
    missing.temp_dir = folder / "no-such-scratch";
    std::string before = ReadBytes(call.archive);
    EXPECT_EQ(missing.Run(library), 0);
    EXPECT_TRUE(missing.HasMessageWithCode(zipdll::kCannotWrite));
    EXPECT_EQ(ReadBytes(call.archive), before);
}

TEST_F(ZipDllOptions, ForceDosRecordsMsDosAttributesOnly) {
    chmod((tree + "/a.txt").c_str(), 0444);
    AddCall call;
    call.archive = folder / "dos.zip";
    call.specs = {tree + "/a.txt"};
    call.force_dos = true;
    ASSERT_EQ(call.Run(library), 1);
    ToolResult info = RunTool("python3 -c " +
                              Quote("import sys,zipfile\ni=zipfile.ZipFile(sys.argv[1]).infolist()[0]\n"
                                    "print(i.create_system, i.external_attr)") +
                              " " + Quote(call.archive));
    EXPECT_EQ(info.output, "0 33\n");  // MS-DOS; archive and read-only bits
}

}  // namespace
