// The checksum every installer carries: one changed byte anywhere in the payload or in the
// checksum block makes the real installer refuse before it writes anything; an installer built
// without the block (an older one) still installs; --check and inspect report the checksum.

#include <sys/stat.h>

#include <filesystem>

#include "formats/installer_integrity.h"
#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

class InstallerIntegrity : public InstallerEndToEnd {
protected:
    void SetUp() override {
        InstallerEndToEnd::SetUp();
        WriteBytes(Root("src/aa.txt"), "contents of aa");
        WriteScript({"extract \"%apppath%aa.txt\" \"%program%\"", "execute /bin/cp %program%\\aa.txt %program%\\b"},
                    "Integrity Title");
        Build();
        good_ = ReadBytes(Installer());
        before_ = FilesBelow(Root());
    }

    ProgramResult Run(const std::string& bytes, const std::vector<std::string>& arguments) {
        WriteBytes(copy_, bytes);
        ::chmod(copy_.c_str(), 0755);
        return RunInstaller(copy_, arguments);
    }

    // Where a field starts: the offset of `text` searched from the end (the payload is at the end).
    std::size_t Last(const std::string& text) const {
        const std::size_t at = good_.rfind(text);
        EXPECT_NE(at, std::string::npos) << text;
        return at;
    }

    std::size_t BlockStart() const {
        return Last(std::string(formats::kIntegrityMark.begin(), formats::kIntegrityMark.end())) -
               formats::kIntegrityMarkAt;
    }

    std::string Stripped() const {
        const std::size_t block = BlockStart();
        return good_.substr(0, block) + good_.substr(block + formats::kIntegrityBlockSize);
    }

    TempFolder other_;  // apart from the folders that must stay untouched
    std::string copy_ = other_ / "copy.exe";
    std::string good_;
    std::vector<std::string> before_;
};

TEST_F(InstallerIntegrity, OneChangedByteInAnyRegionIsRefusedAndNothingIsWritten) {
    const std::size_t block = BlockStart();
    const std::size_t records = block + formats::kIntegrityBlockSize;  // the first file record
    const std::size_t title_length = good_.size() - 8;
    struct Case {
        const char* region;
        std::size_t offset;
        const char* message;  // in the one line of error
    };
    const Case cases[] = {
        {"file contents", records + 3, "is damaged: its contents do not match the checksum"},
        {"file size", records + 14, "damaged"},
        {"file name", Last("aa.txt\x06") + 1, "damaged"},
        {"file name length", Last("aa.txt\x06") + 6, "damaged"},
        {"file count", Last("aa.txt\x06") + 10, "damaged"},
        {"script line", Last("execute /bin/cp") + 13, "is damaged: its contents do not match the checksum"},
        {"EXTRACT word", Last("EXTRACT aa.txt") + 2, "damaged"},
        {"script line length", Last("EXTRACT aa.txt") + 24, "damaged"},
        {"line count", Last("Choose INSTALL") - 4, "damaged"},
        {"prompt", Last("Choose INSTALL") + 1, "is damaged: its contents do not match the checksum"},
        {"prompt length", Last("Choose INSTALL") + 23, "damaged"},
        {"title", Last("Integrity Title") + 2, "is damaged: its contents do not match the checksum"},
        {"title length", title_length, "damaged"},
        {"payload mark", good_.size() - 1, "not an installer"},
        {"block: checksum", block + 5, "is damaged: its contents do not match the checksum"},
        {"block: unused end of the checksum", block + 20, "is damaged: its contents do not match the checksum"},
        {"block: length covered", block + formats::kIntegrityCoveredAt, "is damaged: it is not as long"},
        {"block: algorithm", block + formats::kIntegrityAlgorithmAt, "checksum this installer does not know"},
        {"block: mark", block + formats::kIntegrityMarkAt + 3, "are not its checksum block"},
    };
    for (const auto& c : cases) {
        std::string bytes = good_;
        bytes[c.offset] = static_cast<char>(bytes[c.offset] ^ 0x01);
        const ProgramResult result = Run(bytes, {"--silent", "--user", "--target", Target()});
        EXPECT_EQ(result.status, 1) << c.region << "\n" << result.out << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.region << ": " << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << c.region << ": one line of error\n" << result.err;
        EXPECT_EQ(FilesBelow(Root()), before_) << c.region << ": something was written";
    }
    // The message names the installer and says what to do.
    std::string bytes = good_;
    bytes[records] ^= 0x01;
    EXPECT_EQ(Run(bytes, {"--check"}).err, "copy.exe: " + copy_ +
                                               " is damaged: its contents do not match the checksum stored when it "
                                               "was built; download it again\n");
}

TEST_F(InstallerIntegrity, CheckVerifiesTheContentsAndListShowsTheStoredChecksum) {
    const ProgramResult checked = RunInstaller(Installer(), {"--check"});
    ASSERT_EQ(checked.status, 0) << checked.err;
    EXPECT_NE(checked.out.find("the installer is sound: 2 lines, 1 file of 14 bytes in all; checksum XXH3-128 "),
              std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find(", matches\n"), std::string::npos) << checked.out;

    const ProgramResult listed = RunInstaller(Installer(), {"--list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("\nChecksum:  XXH3-128 "), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(", not checked\n"), std::string::npos) << listed.out;
}

TEST_F(InstallerIntegrity, AnInstallerWithoutTheBlockStillInstallsListsAndChecks) {
    const std::string older = Stripped();
    ASSERT_EQ(older.size(), good_.size() - formats::kIntegrityBlockSize);
    const ProgramResult checked = Run(older, {"--check"});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_NE(checked.out.find("; checksum none (built without one)\n"), std::string::npos) << checked.out;
    const ProgramResult listed = Run(older, {"--list"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Checksum:  none (built without one)\n"), std::string::npos) << listed.out;

    const ProgramResult installed = Run(older, {"--silent", "--user", "--target", Target()});
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(ReadBytes(Target("aa.txt")), "contents of aa");
    EXPECT_EQ(ReadBytes(Target("b")), "contents of aa");
}

TEST_F(InstallerIntegrity, InspectShowsTheChecksumAndWhetherItMatches) {
    const auto inspect = [&](const std::string& bytes, bool json) {
        WriteBytes(copy_, bytes);
        std::vector<std::string> command = {BuiltProgram("kitforge-cli"), "inspect", copy_};
        if (json) command.push_back("--json");
        return RunProgram(command);
    };
    const ProgramResult good = inspect(good_, false);
    ASSERT_EQ(good.status, 0) << good.err;
    const std::size_t line = good.out.find("Checksum: XXH3-128 ");
    ASSERT_NE(line, std::string::npos) << good.out;
    const std::string digest = good.out.substr(line + 19, 32);
    EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
    EXPECT_EQ(good.out.substr(line + 19 + 32, 10), ", matches\n");
    const ProgramResult good_json = inspect(good_, true);
    EXPECT_NE(good_json.out.find("\"checksum\": {\n    \"algorithm\": \"XXH3-128\",\n    \"value\": \"" + digest +
                                 "\",\n    \"matches\": true,\n    \"computed\": \"" + digest + "\"\n  }"),
              std::string::npos)
        << good_json.out;

    std::string damaged = good_;
    damaged[Last("contents of aa")] ^= 0x01;
    const ProgramResult bad = inspect(damaged, false);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("Checksum: XXH3-128 " + digest + ", DOES NOT MATCH (the payload gives "), std::string::npos)
        << bad.out;
    EXPECT_EQ(bad.err, "kitforge-cli: " + copy_ +
                           " is damaged: its contents do not match the checksum stored when it was built; download "
                           "it again\n");
    EXPECT_NE(inspect(damaged, true).out.find("\"matches\": false"), std::string::npos);

    const ProgramResult older = inspect(Stripped(), false);
    EXPECT_EQ(older.status, 0) << older.err;
    EXPECT_NE(older.out.find("Checksum: none (built without one)\n"), std::string::npos) << older.out;
    EXPECT_NE(inspect(Stripped(), true).out.find("\"checksum\": null"), std::string::npos);
}

}  // namespace
}  // namespace kitforge::testing
