// kitforge-cli build under a full disk and with sources that cannot be read, on real files with
// the real stub: the build fails, says which file and why, and leaves no half-written installer
// (the earlier installer is deleted before every build, so that it can never be taken for the
// result of a failed one).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "fault_run.h"
#include "support/temp_folder.h"

namespace kitforge::testing {
namespace {

class BuildFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir(Root("src").c_str(), 0755);
        ::mkdir(Root("out").c_str(), 0755);
        WriteBytes(Root("src/a.txt"), "first file\n");
        WriteBytes(Root("src/big.bin"), PseudoRandomBytes(3'000'000));
        WriteBytes(Root("src/notes.txt"), std::string(20'000, 'n'));
        WriteScript(false);
    }

    std::string Root(const std::string& name = {}) const { return root_.Path() + name; }
    std::string Installer() const { return Root("out/setup.exe"); }
    std::string Log() const { return Root("faults.log"); }

    void WriteScript(bool compressed) const {
        WriteBytes(Root("src/setup.inf"), std::string("[info]\ntitle=Faults\nprompt=Install?\ncompressed=") +
                                              (compressed ? "1" : "0") +
                                              "\n\n[script]\n"
                                              "1=extract \"%apppath%a.txt\" \"%program%\"\n"
                                              "2=extract \"%apppath%big.bin\" \"%program%\\data\"\n"
                                              "3=extract \"%apppath%notes.txt\" \"%program%\"\n"
                                              "4=quit \n");
    }

    std::vector<std::string> BuildCommand() const {
        return {BuiltProgram("kitforge-cli"), "build", "-q", Root("src/setup.inf"), "-o", Installer(), "--stub",
                BuiltProgram("setup.ex_")};
    }

    // A good installer from an earlier build, which the failing build finds in its place.
    std::string BuildEarlierInstaller() const {
        const ProgramResult result = RunProgram(BuildCommand());
        EXPECT_EQ(result.status, 0) << result.err;
        return ReadBytes(Installer());
    }

    std::string FaultLog() const { return std::filesystem::exists(Log()) ? ReadBytes(Log()) : std::string(); }

    // What every failed build must show: a failure, the file and the reason in the message,
    // nothing in the output folder, the sources as they were.
    void ExpectCleanFailure(const ProgramResult& result, const std::string& file, const std::string& reason,
                            const std::map<std::string, std::string>& sources_before) const {
        ExpectFailure(result, file, reason);
        EXPECT_EQ(FolderContents(Root("src")), sources_before) << "the sources changed";
    }

    void ExpectFailure(const ProgramResult& result, const std::string& file, const std::string& reason) const {
        EXPECT_NE(result.status, 0) << result.err;
        EXPECT_TRUE(Contains(result.err, file)) << result.err;
        EXPECT_TRUE(Contains(result.err, reason)) << result.err;
        EXPECT_FALSE(Contains(result.err, "Build complete")) << result.err;
        EXPECT_TRUE(result.out.empty()) << "a failed build printed an installer path: " << result.out;
        const auto left = FolderContents(Root("out"));
        EXPECT_TRUE(left.empty()) << "left in the output folder:\n" << Names(left);
    }

    // The script folder without the group archives and executables of a compressed build,
    // which a failed build leaves for the next one to replace.
    std::map<std::string, std::string> SourcesWithoutGroups() const {
        auto contents = FolderContents(Root("src"));
        std::erase_if(contents, [](const auto& entry) { return entry.first.rfind("!install", 0) == 0; });
        return contents;
    }

    TempFolder root_;
};

TEST_F(BuildFaults, AFullDiskAnywhereInTheInstallerFailsTheBuildAndLeavesNoPartOfIt) {
    const std::string earlier = BuildEarlierInstaller();
    ASSERT_GT(earlier.size(), 3'000'000u);
    const auto sources = FolderContents(Root("src"));
    // In the stub, within the large file's copy, in the line records, and four bytes before
    // the end, in the mark itself.
    for (const std::size_t room :
         {std::size_t{0}, std::size_t{400'000}, earlier.size() - 1'500'000, earlier.size() - 60, earlier.size() - 4}) {
        SCOPED_TRACE("room for " + std::to_string(room) + " bytes");
        std::filesystem::remove(Log());
        // Each round starts from the earlier installer, as a user's second build would.
        WriteBytes(Installer(), earlier);
        const ProgramResult result =
            RunWithFaults({{"KF_FAULT_FULL_PATH", Root("out/")}, {"KF_FAULT_FULL_AFTER", std::to_string(room)}},
                          BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "full disk")) << "the fault was not injected";
        ExpectCleanFailure(result, Installer(), "No space left on device", sources);
    }
    // The same build with room enough succeeds: the failures above came from the disk.
    const ProgramResult result =
        RunWithFaults({{"KF_FAULT_FULL_PATH", Root("out/")}, {"KF_FAULT_FULL_AFTER", std::to_string(earlier.size())}},
                      BuildCommand(), Log());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Fingerprint(ReadBytes(Installer())), Fingerprint(earlier));
}

TEST_F(BuildFaults, ASourceThatCannotBeOpenedOrReadFailsTheBuildNamingIt) {
    BuildEarlierInstaller();
    const auto sources = FolderContents(Root("src"));
    {
        SCOPED_TRACE("opening is refused");
        const ProgramResult result = RunWithFaults(
            {{"KF_FAULT_UNREADABLE_PATH", "big.bin"}, {"KF_FAULT_UNREADABLE_MODE", "open"}}, BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "refused open"));
        ExpectCleanFailure(result, Root("src/big.bin"), "Permission denied", sources);
    }
    std::filesystem::remove(Log());
    BuildEarlierInstaller();
    {
        SCOPED_TRACE("reading fails part way");
        const ProgramResult result = RunWithFaults({{"KF_FAULT_UNREADABLE_PATH", "big.bin"},
                                                    {"KF_FAULT_UNREADABLE_MODE", "read"},
                                                    {"KF_FAULT_READ_AFTER", "1000000"}},
                                                   BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "read error"));
        ExpectCleanFailure(result, Root("src/big.bin"), "Input/output error", sources);
    }
}

// The build reads its script twice: first for the sources that the output must not overwrite,
// then to write the installer. When it cannot be read, the earlier installer must still be
// gone, as after any failed build.
TEST_F(BuildFaults, AScriptThatCannotBeReadLeavesNoEarlierInstaller) {
    const struct {
        const char* mode;
        const char* logged;
        const char* reason;
    } rows[] = {{"open", "refused open", "Permission denied"}, {"read", "read error", "Input/output error"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        std::filesystem::remove(Log());
        BuildEarlierInstaller();
        const auto sources = FolderContents(Root("src"));
        const ProgramResult result = RunWithFaults(
            {{"KF_FAULT_UNREADABLE_PATH", "setup.inf"}, {"KF_FAULT_UNREADABLE_MODE", row.mode}}, BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), row.logged)) << "the fault was not injected";
        ExpectCleanFailure(result, Root("src/setup.inf"), row.reason, sources);
    }
}

// A compressed build packs each target folder's files into a self-extracting group with the
// zip library first, in the script's folder, then writes the installer.
TEST_F(BuildFaults, ACompressedBuildFailsCleanlyOnAFullDiskOrAnUnreadableSource) {
    WriteScript(true);
    WriteBytes(Root("src/big.bin"), PseudoRandomBytes(400'000));
    const std::string earlier = BuildEarlierInstaller();
    const auto sources = FolderContents(Root("src"));
    ASSERT_EQ(sources.count("!install0.exe"), 0u) << "a successful build removes its groups";
    {
        SCOPED_TRACE("the disk of the installer is full");
        const ProgramResult result = RunWithFaults(
            {{"KF_FAULT_FULL_PATH", Root("out/")}, {"KF_FAULT_FULL_AFTER", std::to_string(earlier.size() / 2)}},
            BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "full disk"));
        ExpectFailure(result, Installer(), "No space left on device");
        EXPECT_EQ(SourcesWithoutGroups(), sources);
    }
    std::filesystem::remove(Log());
    BuildEarlierInstaller();
    {
        // The groups are written into the script's folder: its disk fills while the zip library
        // writes the first group's archive.
        SCOPED_TRACE("the disk of the script folder is full");
        const ProgramResult result = RunWithFaults(
            {{"KF_FAULT_FULL_PATH", Root("src/")}, {"KF_FAULT_FULL_AFTER", "100"}}, BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "full disk"));
        ExpectFailure(result, Root("src/!install0.zip"), "No space left on device");
        EXPECT_EQ(SourcesWithoutGroups(), sources);
    }
    std::filesystem::remove(Log());
    BuildEarlierInstaller();
    {
        SCOPED_TRACE("a source cannot be read");
        const ProgramResult result = RunWithFaults({{"KF_FAULT_UNREADABLE_PATH", "big.bin"},
                                                    {"KF_FAULT_UNREADABLE_MODE", "read"},
                                                    {"KF_FAULT_READ_AFTER", "100000"}},
                                                   BuildCommand(), Log());
        EXPECT_TRUE(Contains(FaultLog(), "read error"));
        ExpectFailure(result, Root("src/big.bin"), "Input/output error");
        EXPECT_EQ(SourcesWithoutGroups(), sources);
    }
}

}  // namespace
}  // namespace kitforge::testing
