// Installers holding a file of 5 GiB, built with kitforge-cli and the real stub: listed by
// inspect and by the installer itself, checked, installed byte for byte and uninstalled. The
// builds write some 10 GiB each (the installer and the installed file), so they run only with
// KITFORGE_LARGE_TESTS=1; the source is sparse, and the test's folder, with every large file in
// it, is removed however the test ends.

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>

#include "installer_e2e_fixture.h"
#include "support/large_files.h"

namespace kitforge::testing {
namespace {

constexpr std::uint64_t kFiveGiB = 5ull << 30;

// Runs `step` and prints how long it took, for the record of how long large installers take.
template <typename Step>
auto Timed(const char* what, Step step) {
    const auto start = std::chrono::steady_clock::now();
    auto result = step();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << what << ": " << took.count() << " s\n";
    return result;
}

class LargeInstaller : public InstallerEndToEnd {
protected:
    // Builds out/setup.exe from a sparse 5 GiB src/big.bin put into %program%, compressed or not.
    void BuildFromBigSource(bool compressed) const {
        MakeSparseFile(Root("src/big.bin"), kFiveGiB);
        WriteBytes(Root("src/setup.inf"), "[info]\ntitle=Big\nprompt=Choose INSTALL or EXIT.\ncompressed=" +
                                              std::string(compressed ? "1" : "0") +
                                              "\n\n[script]\n1=extract \"%apppath%big.bin\" \"%program%\"\n2=quit\n");
        Timed(compressed ? "compressed build" : "build", [&] {
            Build();
            return 0;
        });
    }

    // Installs what out/setup.exe holds and checks that the installed file equals the source.
    void InstallAndCompare() const {
        const ProgramResult installed = Timed("install", [&] { return InstallSilently(); });
        ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
        const ProgramResult compared = RunProgram({"cmp", Root("src/big.bin"), Target("big.bin")});
        EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
    }
};

// The installer's own reading of the long form, on an installer made by hand: the real stub,
// then a sparse 5 GiB file (a hole) and its record, without a checksum block, so that listing
// and checking read only the end of the payload and the test runs in the default suite.
TEST_F(LargeInstaller, TheInstallerListsAndChecksAFileOf5GiB) {
    const std::string stub = ReadBytes(BuiltProgram("setup.ex_"));
    {
        std::ofstream out(Installer(), std::ios::binary);
        out << stub;
        out.seekp(static_cast<std::streamoff>(stub.size() + kFiveGiB));
        const std::string line = "EXTRACT big.bin %program%";
        out << std::string("\x00\x00\x00\x40\x01\x00\x00\x80", 8) << "big.bin" << std::string("\x07\0\0\0", 4)
            << std::string("\x01\0\0\0", 4) << line << std::string("\x19\0\0\0", 4) << std::string("\x01\0\0\0", 4)
            << std::string("\0\0\0\0\0\0\0\0", 8) << "\x2E\x22\x6B\x3D";
        ASSERT_TRUE(out.good());
    }
    ::chmod(Installer().c_str(), 0755);
    const ProgramResult listed = RunInstaller(Installer(), {"--list"});
    ASSERT_EQ(listed.status, 0) << listed.out << listed.err;
    EXPECT_NE(listed.out.find("  5368709120  big.bin  (line 1)\n"), std::string::npos) << listed.out;
    const ProgramResult checked = RunInstaller(Installer(), {"--check"});
    ASSERT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("1 line, 1 file of 5368709120 bytes in all"), std::string::npos) << checked.out;
}

TEST_F(LargeInstaller, AFileOf5GiBIsListedCheckedInstalledWholeAndUninstalled) {
    KITFORGE_LARGE_TEST_ONLY();
    BuildFromBigSource(false);
    if (HasFatalFailure()) return;

    const ProgramResult inspected = RunProgram({BuiltProgram("kitforge-cli"), "inspect", Installer()});
    ASSERT_EQ(inspected.status, 0) << inspected.out << inspected.err;
    EXPECT_NE(inspected.out.find("\n  big.bin  5368709120 bytes\n"), std::string::npos) << inspected.out;
    const ProgramResult checked = RunInstaller(Installer(), {"--check"});
    ASSERT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("1 file of 5368709120 bytes in all"), std::string::npos) << checked.out;
    const ProgramResult listed = RunInstaller(Installer(), {"--list"});
    EXPECT_NE(listed.out.find("  5368709120  big.bin  (line 1)\n"), std::string::npos) << listed.out;

    InstallAndCompare();
    if (HasFatalFailure()) return;
    const ProgramResult record = RunInstaller(Target("uninstall"), {"--list"});
    EXPECT_NE(record.out.find("  file " + Target("big.bin") + " (5368709120 bytes)\n"), std::string::npos)
        << record.out << record.err;
    const ProgramResult removed = RunInstaller(Target("uninstall"), {"--silent"});
    EXPECT_EQ(removed.status, 0) << removed.out << removed.err;
    EXPECT_FALSE(std::filesystem::exists(Target("big.bin")));
}

// The group of a compressed build is a self-extracting zip, which holds a file of 5 GiB
// through zip64; the group itself goes into the installer like any file.
TEST_F(LargeInstaller, ACompressedGroupCarriesAFileOf5GiB) {
    KITFORGE_LARGE_TEST_ONLY();
    BuildFromBigSource(true);
    if (HasFatalFailure()) return;
    InstallAndCompare();
}

}  // namespace
}  // namespace kitforge::testing
