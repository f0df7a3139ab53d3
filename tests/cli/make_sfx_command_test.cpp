// kitforge-cli make-sfx, run as a user runs it, on archives that Info-ZIP zip wrote.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

#include "os/file.h"
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

// Sets the fields of the central record of `name` in an archive without a comment.
void PatchCentralRecord(std::string& bytes, const std::string& name, std::uint16_t method, std::uint16_t flags,
                        std::uint32_t external_attributes) {
    auto u16 = [&bytes](std::size_t at) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                          static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    auto u32 = [&](std::size_t at) { return std::uint32_t{u16(at)} | std::uint32_t{u16(at + 2)} << 16; };
    auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    const std::size_t end = bytes.size() - 22;
    for (std::size_t at = u32(end + 16), n = 0; n < u16(end + 10); ++n) {
        if (bytes.compare(at + 46, u16(at + 28), name) == 0 && name.size() == u16(at + 28)) {
            put(at + 10, method, 2);
            put(at + 8, flags, 2);
            put(at + 38, external_attributes, 4);
            return;
        }
        at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
    }
    ADD_FAILURE() << name << " is not in the archive";
}

// An entry the self-extractor cannot extract is refused by name and reason before anything
// changes; --force converts anyway and says what the executable will not extract.
TEST_F(CliMakeSfx, EntriesTheSelfExtractorCannotExtractAreRefused) {
    constexpr std::uint32_t kRegularFile = 0100644u << 16;
    struct Case {
        std::uint16_t method;
        std::uint16_t flags;
        std::uint32_t attributes;
        const char* reason;
    };
    const Case cases[] = {
        {12, 0, kRegularFile, "compressed with BZip2 (method 12)"},
        {9, 0, kRegularFile, "compressed with Deflate64 (method 9)"},
        {14, 0, kRegularFile, "compressed with LZMA (method 14)"},
        {99, 1, kRegularFile, "encrypted with AES (method 99)"},
        {8, 0x41, kRegularFile, "encrypted with PKWARE strong encryption"},
        {0, 0, 0120777u << 16, "a symbolic link"},
    };
    const std::string original = ReadBytes(folder / "data.zip");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::string bytes = original;
        PatchCentralRecord(bytes, "a.txt", c.method, c.flags, c.attributes);
        WriteBytes(folder / "data.zip", bytes);
        const ProgramResult refused = Cli({"make-sfx", "data.zip"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("\"a.txt\": it is " + std::string(c.reason)), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
        EXPECT_EQ(ReadBytes(folder / "data.zip"), bytes);
        EXPECT_FALSE(FileExists(folder / "data.exe"));
    }
    const ProgramResult forced = Cli({"make-sfx", "data.zip", "--force", "--delete", "final"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(forced.err.find("warning"), std::string::npos) << forced.err;
    EXPECT_TRUE(FileExists(folder / "data.exe"));
}

// A volume of a multi-volume set is refused before anything changes: the executable could
// never extract it.
TEST_F(CliMakeSfx, AVolumeOfASetIsRefused) {
    const ProgramResult split = Cli({"span", "data.zip", "set.zip", "--max-volume", "300", "--min-volume", "1"});
    ASSERT_EQ(split.status, 0) << split.err;
    std::string last;
    for (int n = 9; n >= 2 && last.empty(); --n) {
        if (FileExists(folder / ("set00" + std::to_string(n) + ".zip"))) last = "set00" + std::to_string(n) + ".zip";
    }
    ASSERT_FALSE(last.empty());
    const std::string bytes = ReadBytes(folder / last);
    const ProgramResult refused = Cli({"make-sfx", last});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("multi-volume set"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadBytes(folder / last), bytes);
    EXPECT_FALSE(FileExists(folder / (last.substr(0, 6) + ".exe")));
    EXPECT_FALSE(FolderExists(trash / "Trash/files"));
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
