// kitforge-cli add, make-sfx and span under a full disk and with input that cannot be read, on
// real archives with the real zip library and stub: each fails naming the file and the reason,
// and the archive it started from is exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "fault_run.h"
#include "support/temp_folder.h"

namespace kitforge::testing {
namespace {

class ZipFaults : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"in", "arch", "vols", "data"}) ::mkdir(Root(folder).c_str(), 0755);
        WriteBytes(Root("in/first.txt"), std::string(30'000, 'f'));
        WriteBytes(Root("in/random.bin"), PseudoRandomBytes(600'000, 7));
        WriteBytes(Root("in/new.bin"), PseudoRandomBytes(500'000, 8));
        const ProgramResult made = RunProgram(
            {BuiltProgram("kitforge-cli"), "add", "-q", "-0", Archive(), Root("in/first.txt"), Root("in/random.bin")});
        ASSERT_EQ(made.status, 0) << made.err;
        original_ = ReadBytes(Archive());
    }

    std::string Root(const std::string& name = {}) const { return root_.Path() + name; }
    std::string Archive() const { return Root("arch/old.zip"); }
    std::string Log() const { return Root("faults.log"); }
    std::string FaultLog() const { return std::filesystem::exists(Log()) ? ReadBytes(Log()) : std::string(); }

    // Runs kitforge-cli with the injector; HOME and the data folder point into the test's folder,
    // so that anything sent to the trash lands there.
    ProgramResult Cli(const FaultSettings& settings, std::vector<std::string> arguments) const {
        std::filesystem::remove(Log());
        arguments.insert(arguments.begin(), {"env", "HOME=" + Root("home"), "XDG_DATA_HOME=" + Root("data"),
                                             BuiltProgram("kitforge-cli")});
        return RunWithFaults(settings, arguments, Log());
    }

    void ExpectFailureNaming(const ProgramResult& result, const std::string& file, const std::string& reason) const {
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, file)) << result.err;
        EXPECT_TRUE(Contains(result.err, reason)) << result.err;
    }

    // The archive folder holds the untouched archive and nothing else.
    void ExpectArchiveAsItWas() const {
        EXPECT_EQ(FolderContents(Root("arch")),
                  (std::map<std::string, std::string>{{"old.zip", Fingerprint(original_)}}));
    }

    TempFolder root_;
    std::string original_;
};

TEST_F(ZipFaults, AddOnAFullDiskKeepsTheArchiveAndLeavesNoTemporaryFile) {
    // Room for a part of the new archive, and room for all of it but the flush.
    for (const std::string room : {"0", "200000", "900000"}) {
        SCOPED_TRACE("room for " + room + " bytes");
        const ProgramResult result = Cli({{"KF_FAULT_FULL_PATH", Root("arch/")}, {"KF_FAULT_FULL_AFTER", room}},
                                         {"add", "-q", "-0", Archive(), Root("in/new.bin")});
        EXPECT_TRUE(Contains(FaultLog(), "full disk"));
        ExpectFailureNaming(result, Archive(), "No space left on device");
        ExpectArchiveAsItWas();
    }
    {
        SCOPED_TRACE("every write fits, the flush to the disk fails");
        const ProgramResult result = Cli(
            {{"KF_FAULT_FULL_PATH", Root("arch/")}, {"KF_FAULT_FULL_AFTER", "100000000"}, {"KF_FAULT_SYNC_FAILS", "1"}},
            {"add", "-q", "-0", Archive(), Root("in/new.bin")});
        EXPECT_TRUE(Contains(FaultLog(), "sync failed"));
        ExpectFailureNaming(result, Archive(), "No space left on device");
        ExpectArchiveAsItWas();
    }
    // With room the same Add works: the failures came from the disk.
    const ProgramResult result = Cli({}, {"add", "-q", "-0", Archive(), Root("in/new.bin")});
    EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(ZipFaults, AddOfAFileThatCannotBeReadKeepsTheArchive) {
    {
        SCOPED_TRACE("opening is refused");
        const ProgramResult result =
            Cli({{"KF_FAULT_UNREADABLE_PATH", "new.bin"}}, {"add", "-q", Archive(), Root("in/new.bin")});
        EXPECT_TRUE(Contains(FaultLog(), "refused open"));
        ExpectFailureNaming(result, Root("in/new.bin"), "Permission denied");
        ExpectArchiveAsItWas();
    }
    {
        SCOPED_TRACE("reading fails part way");
        const ProgramResult result = Cli({{"KF_FAULT_UNREADABLE_PATH", "new.bin"},
                                          {"KF_FAULT_UNREADABLE_MODE", "read"},
                                          {"KF_FAULT_READ_AFTER", "100000"}},
                                         {"add", "-q", Archive(), Root("in/new.bin")});
        EXPECT_TRUE(Contains(FaultLog(), "read error"));
        ExpectFailureNaming(result, Root("in/new.bin"), "Input/output error");
        ExpectArchiveAsItWas();
    }
}

TEST_F(ZipFaults, MakeSfxOnAFullDiskKeepsTheZipAndLeavesNoExecutable) {
    // An earlier executable of the same name goes to the trash first, so it is not lost either.
    // The new one is written under a temporary name in the same folder: the whole folder is full.
    WriteBytes(Root("arch/old.exe"), "an earlier executable");
    const ProgramResult result =
        Cli({{"KF_FAULT_FULL_PATH", Root("arch/")}, {"KF_FAULT_FULL_AFTER", "300000"}}, {"make-sfx", Archive()});
    EXPECT_TRUE(Contains(FaultLog(), "full disk"));
    ExpectFailureNaming(result, Root("arch/old.exe"), "No space left on device");
    ExpectArchiveAsItWas();
    EXPECT_EQ(ReadBytes(Root("data/Trash/files/old.exe")), "an earlier executable");
    EXPECT_TRUE(result.out.empty()) << result.out;
}

TEST_F(ZipFaults, MakeSfxOfAZipThatCannotBeReadKeepsItAndLeavesNoExecutable) {
    {
        SCOPED_TRACE("reading fails part way through the copy");
        const ProgramResult result = Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"},
                                          {"KF_FAULT_UNREADABLE_MODE", "read"},
                                          {"KF_FAULT_READ_AFTER", "300000"}},
                                         {"make-sfx", Archive(), "--delete", "final"});
        EXPECT_TRUE(Contains(FaultLog(), "read error"));
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, Archive())) << result.err;
        ExpectArchiveAsItWas();
    }
    {
        SCOPED_TRACE("opening is refused");
        const ProgramResult result =
            Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"}}, {"make-sfx", Archive(), "--delete", "final"});
        EXPECT_TRUE(Contains(FaultLog(), "refused open"));
        EXPECT_EQ(result.status, 1) << result.err;
        ExpectArchiveAsItWas();
    }
}

TEST_F(ZipFaults, SpanOnAFullDiskFailsNamingTheVolumeAndKeepsTheArchive) {
    // Volumes of 250,000 bytes: the disk fills within the second one.
    const ProgramResult result = Cli({{"KF_FAULT_FULL_PATH", Root("vols/")}, {"KF_FAULT_FULL_AFTER", "400000"}},
                                     {"span", Archive(), Root("vols/set.zip"), "--max-volume", "250000"});
    EXPECT_TRUE(Contains(FaultLog(), "full disk"));
    ExpectFailureNaming(result, Root("vols/set002.zip"), "Cannot write");
    ExpectArchiveAsItWas();
    // The first volume is complete and left as written, as the message says.
    const auto volumes = FolderContents(Root("vols"));
    EXPECT_EQ(volumes.count("set001.zip"), 1u) << Names(volumes);
}

TEST_F(ZipFaults, SpanOfAnArchiveThatCannotBeReadFailsNamingIt) {
    {
        SCOPED_TRACE("opening is refused");
        const ProgramResult result = Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"}},
                                         {"span", Archive(), Root("vols/set.zip"), "--max-volume", "250000"});
        EXPECT_TRUE(Contains(FaultLog(), "refused open"));
        ExpectFailureNaming(result, Archive(), "Cannot open");
        EXPECT_TRUE(FolderContents(Root("vols")).empty());
    }
    {
        SCOPED_TRACE("reading fails part way");
        const ProgramResult result =
            Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"},
                 {"KF_FAULT_UNREADABLE_MODE", "read"},
                 {"KF_FAULT_READ_AFTER", "400000"}},
                {"span", Archive(), Root("vols/set.zip"), "--max-volume", "250000", "--overwrite"});
        EXPECT_TRUE(Contains(FaultLog(), "read error"));
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, Archive())) << result.err;
    }
    ExpectArchiveAsItWas();
}

// Not met yet: make-sfx and span do not pass on the system's reason (their components report
// fixed texts such as "Cannot write to the volume."), and a failed span leaves the volume it was
// writing cut off under its final name. Enable with --gtest_also_run_disabled_tests.
TEST_F(ZipFaults, MakeSfxAndSpanNameTheReasonAndLeaveNoCutOffVolume) {
    ProgramResult result = Cli({{"KF_FAULT_FULL_PATH", Root("arch/")}, {"KF_FAULT_FULL_AFTER", "300000"}},
                               {"make-sfx", Archive(), "--delete", "final"});
    ExpectFailureNaming(result, Root("arch/old.exe"), "No space left on device");
    result = Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"}}, {"make-sfx", Archive(), "--delete", "final"});
    ExpectFailureNaming(result, Archive(), "Permission denied");
    result = Cli({{"KF_FAULT_FULL_PATH", Root("vols/")}, {"KF_FAULT_FULL_AFTER", "400000"}},
                 {"span", Archive(), Root("vols/set.zip"), "--max-volume", "250000"});
    ExpectFailureNaming(result, Root("vols/set002.zip"), "No space left on device");
    EXPECT_EQ(FolderContents(Root("vols")).count("set002.zip"), 0u);
    result = Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"},
                  {"KF_FAULT_UNREADABLE_MODE", "read"},
                  {"KF_FAULT_READ_AFTER", "300000"}},
                 {"make-sfx", Archive(), "--delete", "final"});
    ExpectFailureNaming(result, Archive(), "Input/output error");
    result = Cli({{"KF_FAULT_UNREADABLE_PATH", "old.zip"}}, {"span", Archive(), Root("vols/other.zip")});
    ExpectFailureNaming(result, Archive(), "Permission denied");
}

}  // namespace
}  // namespace kitforge::testing
