// End to end: the same script built with and without compression, each installer run with
// --silent --target. Both must install the same tree, byte for byte, and a compressed build
// must leave no packed group behind, neither in the install folder nor beside the script.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

namespace fs = std::filesystem;

// Every file below `root` by its relative path, with its contents and whether its owner may
// run it. The uninstaller is left out: its record names the folder it was installed in, so
// two installs into two folders never leave the same one.
std::map<std::string, std::string> TreeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || fs::relative(entry.path(), root) == "uninstall") continue;
        const bool runnable = (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
        tree[fs::relative(entry.path(), root).string()] = ReadBytes(entry.path().string()) + (runnable ? "+x" : "");
    }
    return tree;
}

// Names below `root` that start with "!install".
std::vector<std::string> GroupFilesIn(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename().string().rfind("!install", 0) == 0) found.push_back(entry.path().string());
    }
    return found;
}

class CompressedBuildEndToEnd : public InstallerEndToEnd {
protected:
    void WriteScript(const std::vector<std::string>& lines, bool compressed) const {
        std::string text =
            "[info]\ntitle=E2E App\nprompt=Choose INSTALL or EXIT.\ncompressed=" + std::string(compressed ? "1" : "0") +
            "\n\n[script]\n";
        for (std::size_t i = 0; i < lines.size(); ++i) text += std::to_string(i + 1) + "=" + lines[i] + "\n";
        WriteBytes(Root("src/setup.inf"), text);
    }

    // Builds the script both ways and installs each into a folder of its own.
    void BuildAndInstallBothWays(const std::vector<std::string>& lines) {
        for (const bool compressed : {false, true}) {
            SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
            WriteScript(lines, compressed);
            Build();
            const std::string target = Root(compressed ? "compressed/" : "plain/");
            const ProgramResult result = RunInstaller(Installer(), {"--silent", "--user", "--target", target});
            ASSERT_EQ(result.status, 0) << result.out << result.err;
        }
    }
};

TEST_F(CompressedBuildEndToEnd, BothBuildsInstallTheSameTreeAndNoGroupIsLeft) {
    ::mkdir(Root("src/data").c_str(), 0755);
    ::mkdir(Root("src/more").c_str(), 0755);
    WriteBytes(Root("src/readme.txt"), "read me\n");
    WriteBytes(Root("src/app.sh"), "#!/bin/sh\necho app\n");
    // A packed file keeps the permission bits of its source, as an author's script has them.
    ::chmod(Root("src/app.sh").c_str(), 0755);
    std::string binary(300000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 131) % 256);
    WriteBytes(Root("src/data/big.bin"), binary);
    WriteBytes(Root("src/data/empty.dat"), "");
    WriteBytes(Root("src/more/readme.txt"), "another read me, for another folder\n");
    WriteBytes(Root("src/more/notes with blanks.txt"), "blanks\n");

    BuildAndInstallBothWays({
        "extract \"%apppath%readme.txt\" \"%program%\"",
        "extract \"%apppath%app.sh\" \"%program%\"",
        "execute %program%\\app.sh",
        "extract \"%apppath%data\\big.bin\" \"%program%\\data\"",
        "extract \"%apppath%data\\empty.dat\" \"%program%\\data\"",
        "extract \"%apppath%more\\readme.txt\" \"%program%\\My Files\"",
        "extract \"%apppath%more\\notes with blanks.txt\" \"%PROGRAM%\\My Files\"",
        "quit ",
    });

    const auto plain = TreeOf(Root("plain"));
    const auto compressed = TreeOf(Root("compressed"));
    EXPECT_EQ(plain.size(), 6u);
    EXPECT_EQ(plain.at("data/big.bin"), binary);
    EXPECT_EQ(plain.at("app.sh"), "#!/bin/sh\necho app\n+x");
    EXPECT_EQ(plain.at("My Files/readme.txt"), "another read me, for another folder\n");
    EXPECT_TRUE(plain == compressed) << "the compressed build installed another tree";
    for (const auto& [name, bytes] : plain) {
        ASSERT_TRUE(compressed.count(name)) << name;
        EXPECT_EQ(compressed.at(name), bytes) << name;
    }
    EXPECT_EQ(GroupFilesIn(Root("compressed")), std::vector<std::string>{});
    EXPECT_EQ(GroupFilesIn(Root("src")), std::vector<std::string>{});
}

TEST_F(CompressedBuildEndToEnd, AGroupWithTwoFilesOfOneNameFailsTheBuildNamingBoth) {
    ::mkdir(Root("src/one").c_str(), 0755);
    ::mkdir(Root("src/two").c_str(), 0755);
    WriteBytes(Root("src/one/a.txt"), "1");
    WriteBytes(Root("src/two/a.txt"), "2");
    WriteScript({"extract \"%apppath%one\\a.txt\" \"%program%\"", "extract \"%apppath%two\\a.txt\" \"%program%\""},
                true);
    const ProgramResult result = RunProgram({BuiltProgram("kitforge-cli"), "build", "-q", Root("src/setup.inf"), "-o",
                                             Installer(), "--stub", BuiltProgram("setup.ex_")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("one\\a.txt"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("two\\a.txt"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Build failed"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(Installer()));
    EXPECT_EQ(GroupFilesIn(Root("src")), std::vector<std::string>{});
}

}  // namespace
}  // namespace kitforge::testing
