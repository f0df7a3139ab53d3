// kitforge-cli make-sfx, run as a user runs it, on archives that Info-ZIP zip wrote.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/file.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::ProgramResult;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

// Points the trash at a temporary folder for the programs this test runs.
class TrashInTemporaryFolder {
public:
    explicit TrashInTemporaryFolder(const std::string& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~TrashInTemporaryFolder() {
        if (old_) {
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
    }

private:
    std::optional<std::string> old_;
};

class CliMakeSfx : public ::testing::Test {
protected:
    void SetUp() override {
        if (RunProgram({"sh", "-c", "command -v zip"}).status != 0) GTEST_SKIP() << "Info-ZIP zip is not installed";
        ::mkdir((folder / "tree").c_str(), 0755);
        ::mkdir((folder / "tree/sub").c_str(), 0755);
        WriteBytes(folder / "tree/a.txt", "alpha\n");
        WriteBytes(folder / "tree/sub/b.txt", std::string(50000, 'b'));
        ASSERT_EQ(RunProgram({"zip", "-qr", folder / "data.zip", "."}, folder / "tree").status, 0);
    }

    ProgramResult Cli(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), BuiltProgram("kitforge-cli"));
        return RunProgram(arguments, folder.Path());
    }

    std::vector<std::int64_t> Offsets(const std::string& archive) {
        const ProgramResult listed = Cli({"list", "--json", archive});
        EXPECT_EQ(listed.status, 0) << listed.err;
        std::vector<std::int64_t> offsets;
        // The document must outlive the loop: a range over a part of a temporary would dangle.
        const nlohmann::json document = nlohmann::json::parse(listed.out);
        for (const auto& entry : document["entries"]) offsets.push_back(entry["offset"]);
        return offsets;
    }

    TempFolder folder;
    TempFolder trash;
    TrashInTemporaryFolder xdg{trash.Path()};
};

TEST_F(CliMakeSfx, ConvertsMovesEveryOffsetAndTheResultExtracts) {
    const std::vector<std::int64_t> before = Offsets("data.zip");
    const std::string zip_bytes = ReadBytes(folder / "data.zip");
    const ProgramResult made = Cli({"make-sfx", "data.zip", "--caption", "Demo", "--dir", "unpacked", "--command",
                                    "sh -c 'echo ran > ran.txt'", "--auto-run", "--overwrite", "always"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, folder / "data.exe\n");
    EXPECT_FALSE(FileExists(folder / "data.zip"));
    EXPECT_EQ(ReadBytes(trash / "Trash/files/data.zip"), zip_bytes);  // deleted to the trash

    const std::int64_t shift = FileSize(BuiltProgram("zipsfx.bin")) + 256;
    const std::vector<std::int64_t> after = Offsets("data.exe");
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before[i] + shift);

    const ProgramResult run = RunProgram({folder / "data.exe"}, folder.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Demo"), std::string::npos) << run.out;
    EXPECT_EQ(ReadBytes(folder / "unpacked/sub/b.txt"), std::string(50000, 'b'));
    EXPECT_EQ(ReadBytes(folder / "unpacked/ran.txt"), "ran\n");
}

TEST_F(CliMakeSfx, FailuresNameTheFileAndLeaveTheArchive) {
    ASSERT_EQ(RunProgram({"cp", folder / "data.zip", folder / "data.zap"}).status, 0);
    ProgramResult result = Cli({"make-sfx", "data.zap"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("kitforge-cli: "), std::string::npos) << result.err;
    EXPECT_TRUE(FileExists(folder / "data.zap"));
    EXPECT_FALSE(FileExists(folder / "data.exe"));

    result = Cli({"make-sfx", "data.zip", "--stub", "no-such-stub.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(FileExists(folder / "data.zip"));

    result = Cli({"make-sfx", "missing.zip"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("missing.zip"), std::string::npos) << result.err;

    result = Cli({"make-sfx", "data.zip", "--caption", std::string(250, 'c')});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("= 250"), std::string::npos) << result.err;

    EXPECT_EQ(Cli({"make-sfx", "data.zip", "--overwrite", "sometimes"}).status, 2);
    EXPECT_TRUE(FileExists(folder / "data.zip"));
}

TEST_F(CliMakeSfx, FinalDeleteLeavesNothingInTheTrash) {
    WriteBytes(folder / "data.exe", "old");
    const ProgramResult made = Cli({"make-sfx", "data.zip", "--delete", "final"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_FALSE(FileExists(folder / "data.zip"));
    EXPECT_FALSE(FolderExists(trash / "Trash/files"));
    EXPECT_NE(ReadBytes(folder / "data.exe"), "old");
}

}  // namespace
}  // namespace kitforge
