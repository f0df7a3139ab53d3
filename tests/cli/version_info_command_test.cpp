// kitforge-cli version-info, run on this test program, which carries a version block of its
// own in the same section as the editor's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <climits>

#include "platform/version_block_writer.h"
#include "support/pe_resource_image.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::RunProgram;

constexpr VersionBlockString kStrings[] = {
    {"CompanyName", "Test Makers"}, {"FileVersion", "1.2.3.4"}, {"ProductVersion", "1.2"}, {"Comments", "a test"}};
constexpr VersionBlockContent kContent{{1, 2, 3, 4}, {1, 2}, 4, 1, 0x0C09, 0x04E4, kStrings};
constexpr std::size_t kSize = FormatVersionBlock(kContent).size();
[[gnu::used, gnu::section(".kitforge.version")]] constexpr std::array<std::uint8_t, kSize> kBlock = [] {
    std::array<std::uint8_t, kSize> bytes{};
    const auto formatted = FormatVersionBlock(kContent);
    for (std::size_t i = 0; i < kSize; ++i) bytes[i] = formatted[i];
    return bytes;
}();

std::string ThisProgram() {
    std::array<char, PATH_MAX + 1> path{};
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), PATH_MAX);
    return n > 0 ? std::string(path.data(), static_cast<std::size_t>(n)) : std::string();
}

TEST(CliVersionInfo, PrintsTheTenFieldsOfTheFilesStringTable) {
    const auto result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", ThisProgram()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "CompanyName:      Test Makers\n"
              "FileDescription:  \n"
              "FileVersion:      1.2.3.4\n"
              "InternalName:     \n"
              "LegalCopyright:   \n"
              "LegalTradeMarks:  \n"
              "OriginalFilename: \n"
              "ProductName:      \n"
              "ProductVersion:   1.2\n"
              "Comments:         a test\n");
    EXPECT_EQ(result.err, "");
}

TEST(CliVersionInfo, AnotherLanguagePrintsEmptyFieldsAndNamesTheTablesThereAre) {
    const auto result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", ThisProgram(), "--lang", "040c"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("FileVersion:      \n"), std::string::npos);
    EXPECT_NE(result.err.find("no string table 040c04E4; it has 0C0904E4"), std::string::npos) << result.err;
}

TEST(CliVersionInfo, FilesWithoutVersionInformationAndBadLanguagesAreErrors) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / "plain.exe", "MZ just bytes");
    auto result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", folder / "plain.exe"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "kitforge-cli: " + folder / "plain.exe" + " holds no version information\n");
    result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", folder / "missing.exe"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Cannot open " + folder / "missing.exe"), std::string::npos) << result.err;
    result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", ThisProgram(), "--lang", "0C9"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("four hexadecimal digits"), std::string::npos) << result.err;
}

// An installer built with a Windows stub carries the script's title, version and publisher,
// and its own file name, in place of the stub's values.
TEST(CliVersionInfo, ReadsTheVersionInformationTheBuilderWroteIntoAnInstaller) {
    testing::TempFolder folder;
    const std::string blanks(600, ' ');
    const VersionBlockString strings[] = {{"CompanyName", "The Kitforge authors"}, {"FileVersion", "2.1.0.33"},
                                          {"OriginalFilename", "setup.ex_"},       {"ProductName", "Kitforge"},
                                          {"ProductVersion", "2.1.0.33"},          {"Reserved", blanks}};
    const auto stub = testing::MakePe(
        {true, {{1, FormatVersionBlock({{2, 1, 0, 33}, {2, 1, 0, 33}, 0x40004, 1, 0x0C09, 0x04E4, strings})}}});
    testing::WriteBytes(folder / "setup.ex_", std::string(stub.begin(), stub.end()));
    testing::WriteBytes(folder / "a.inf",
                        "[info]\r\ntitle=Hello Tool\r\nprompt=P\r\noutput=\r\nversion=1.4\r\npublisher=Acme "
                        "Ltd\r\n\r\n[script]\r\n1=quit \r\n");
    auto result = RunProgram({BuiltProgram("kitforge-cli"), "build", folder / "a.inf", "--stub", folder / "setup.ex_",
                              "-o", folder / "hello-setup.exe"});
    ASSERT_EQ(result.status, 0) << result.err;
    result = RunProgram({BuiltProgram("kitforge-cli"), "version-info", folder / "hello-setup.exe"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "CompanyName:      Acme Ltd\n"
              "FileDescription:  Hello Tool\n"
              "FileVersion:      1.4.0.0\n"
              "InternalName:     \n"
              "LegalCopyright:   \n"
              "LegalTradeMarks:  \n"
              "OriginalFilename: hello-setup.exe\n"
              "ProductName:      Hello Tool\n"
              "ProductVersion:   1.4\n"
              "Comments:         \n");
}

}  // namespace
}  // namespace kitforge
