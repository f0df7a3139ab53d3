// Damaged installers: cut short, a length flipped, a stored name that climbs out of its folder.
// Each must fail with a clear message and status 1, and write nothing anywhere.

#include <cstdint>
#include <filesystem>

#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

class DamagedInstaller : public InstallerEndToEnd {
protected:
    void SetUp() override {
        InstallerEndToEnd::SetUp();
        WriteBytes(Root("src/aa.txt"), "contents of aa");
        WriteBytes(Root("src/bb.txt"), "contents of bb");
        WriteScript({"extract \"%apppath%aa.txt\" \"%program%\"", "extract \"%apppath%bb.txt\" \"%program%\\sub\"",
                     "execute /bin/cp %program%\\aa.txt %program%\\ran.txt"});
        Build();
        good_ = ReadBytes(Installer());
        before_ = FilesBelow(Root());
    }

    // Runs `bytes` as an installer; expects a clean failure that wrote nothing.
    void ExpectCleanFailure(const std::string& bytes, const std::string& what, const std::string& message) {
        const std::string path = damaged_folder_ / "damaged.exe";
        WriteBytes(path, bytes);
        ::chmod(path.c_str(), 0755);
        const ProgramResult result = RunInstaller(path, {"--silent", "--user", "--target", Target()});
        EXPECT_EQ(result.status, 1) << what << "\n" << result.out << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << what << ": " << result.err;
        EXPECT_EQ(result.err.find("\n"), result.err.size() - 1) << what << ": one line of error\n" << result.err;
        EXPECT_EQ(FilesBelow(Root()), before_) << what << ": something was written";
    }

    std::uint32_t NumberAt(std::size_t offset) const {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(good_[offset + i]);
        return value;
    }

    TempFolder damaged_folder_;  // apart from the folders that must stay untouched
    std::string good_;
    std::vector<std::string> before_;
};

TEST_F(DamagedInstaller, TheUndamagedInstallerWorks) {
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadBytes(Target("sub/bb.txt")), "contents of bb");
    EXPECT_EQ(ReadBytes(Target("ran.txt")), "contents of aa");
}

TEST_F(DamagedInstaller, CutShortAtAnyPointOfThePayload) {
    const std::size_t payload_size = 2 * (14 + 4 + 6 + 4) + 4 + 200;  // well past the start of the payload
    for (std::size_t cut = 1; cut < payload_size; cut += cut < 40 ? 1 : 7) {
        ExpectCleanFailure(good_.substr(0, good_.size() - cut), "cut by " + std::to_string(cut),
                           "Cannot read " + damaged_folder_ / "damaged.exe" + ": ");
        if (HasFailure()) break;
    }
}

TEST_F(DamagedInstaller, ALengthOrCountThatLies) {
    // From the end: mark (4), title length, title, prompt length, prompt, line count...
    const std::size_t title_length_at = good_.size() - 8;
    const std::size_t title_size = NumberAt(title_length_at);
    const std::size_t prompt_length_at = title_length_at - title_size - 4;
    const std::size_t line_count_at = prompt_length_at - NumberAt(prompt_length_at) - 4;
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"title length past the start of the file", title_length_at, 0x7FFFFFF0u},
        {"title length with the top bit", title_length_at, 0x80000001u},
        {"prompt length past the start", prompt_length_at, static_cast<std::uint32_t>(good_.size())},
        {"line count far too high", line_count_at, 0x00FFFFFFu},
        {"one line too many", line_count_at, 4u},
    };
    for (const auto& c : cases) {
        std::string bytes = good_;
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<char>(c.value >> (8 * i));
        ExpectCleanFailure(bytes, c.name, ": ");
    }
}

TEST_F(DamagedInstaller, AFileSizeThatLiesIsCaughtBeforeAnythingIsWritten) {
    // The record of aa.txt, the first file, is the last before the file count: ... contents,
    // size, "aa.txt", 6, file count. Make its size claim one byte more.
    const std::size_t name_at = good_.rfind(std::string("aa.txt\x06\0\0\0", 10));
    ASSERT_NE(name_at, std::string::npos);
    std::string bytes = good_;
    bytes[name_at - 4] = static_cast<char>(NumberAt(name_at - 4) + 1);
    ExpectCleanFailure(bytes, "size of aa.txt + 1", "damaged");
}

TEST_F(DamagedInstaller, ANameThatClimbsOutOfItsFolderIsRefused) {
    // "aa.txt" becomes "../a.t" in the file record and in its line alike, so that the line
    // still names its record and only the name check stands in the way.
    std::string bytes = good_;
    for (std::size_t at = bytes.find("aa.txt", bytes.size() - 400); at != std::string::npos;
         at = bytes.find("aa.txt", at + 1)) {
        bytes.replace(at, 6, "../a.t");
    }
    ExpectCleanFailure(bytes, "name ../a.t", "line 1 (EXTRACT ../a.t %program%): the installer is damaged");
    EXPECT_FALSE(std::filesystem::exists(Root("a.t")));
}

TEST_F(DamagedInstaller, ARecordThatDoesNotBelongToItsLineIsRefused) {
    std::string bytes = good_;
    const std::size_t record_name = bytes.rfind(std::string("bb.txt\x06\0\0\0", 10));
    ASSERT_NE(record_name, std::string::npos);
    bytes.replace(record_name, 6, "cc.txt");
    ExpectCleanFailure(bytes, "record renamed", "line 2 (EXTRACT bb.txt %program%\\sub)");
}

TEST_F(DamagedInstaller, ANameWithAControlCharacterIsRefused) {
    // "aa.txt" becomes "a\x1B.txt" in the record and in its line, so that only the name check
    // stands in the way; the message shows the escape as "?".
    std::string bytes = good_;
    for (std::size_t at = bytes.find("aa.txt", bytes.size() - 400); at != std::string::npos;
         at = bytes.find("aa.txt", at + 1)) {
        bytes.replace(at, 6, "a\x1B.txt");
    }
    ExpectCleanFailure(bytes, "name a ESC .txt", "line 1 (EXTRACT a?.txt %program%): the installer is damaged");
}

TEST_F(DamagedInstaller, ARecordThatReachesIntoTheInstallerProgramIsRefused) {
    // The first record in the file is that of the last EXTRACT line, bb.txt, right after the
    // program. Its size claims 100 bytes more, so its contents would begin inside the program.
    const std::size_t name_at = good_.rfind(std::string("bb.txt\x06\0\0\0", 10));
    ASSERT_NE(name_at, std::string::npos);
    std::string bytes = good_;
    bytes[name_at - 4] = static_cast<char>(NumberAt(name_at - 4) + 100);
    ExpectCleanFailure(bytes, "size of bb.txt + 100", "inside the installer program");
}

}  // namespace
}  // namespace kitforge::testing
