// The uninstaller a real installer leaves: built with kitforge-cli and the real stub, installed,
// then run as a user runs it.

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

namespace fs = std::filesystem;

// Every entry below `root` but the built installer: files with their contents, folders.
std::map<std::string, std::string> TreeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (name == "out/setup.exe") continue;
        tree[name] = entry.is_symlink()        ? "link"
                     : entry.is_regular_file() ? ReadBytes(entry.path().string())
                                               : "folder";
    }
    return tree;
}

TEST_F(InstallerEndToEnd, TheUninstallerRemovesWhatTheInstallationWroteAndKeepsChangedFiles) {
    WriteBytes(Root("src/hello.sh"), "#!/bin/sh\necho hello\n");
    WriteBytes(Root("src/readme.txt"), "read me\n");
    WriteScript({"extract \"%apppath%hello.sh\" \"%program%\\bin\"", "extract \"%apppath%readme.txt\" \"%program%\"",
                 "link \"<PROGRAMS>\\E2E\\Hello\" \"%program%\\bin\\hello.sh\" \"\"",
                 "link \"<DESKTOP>\\Hello\" \"%program%\\bin\\hello.sh\" \"\""});
    Build();
    const auto before = TreeOf(Root());
    for (const bool change_one : {false, true}) {
        SCOPED_TRACE(change_one ? "a file changed" : "as installed");
        ProgramResult result = InstallSilently();
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        // The installer's program byte for byte, then the record instead of the payload.
        struct stat st {};
        ASSERT_EQ(::stat(Target("uninstall").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0100, 0100u) << "the uninstaller cannot be run";
        const std::string stub = ReadBytes(BuiltProgram("setup.ex_"));
        const std::string uninstaller = ReadBytes(Target("uninstall"));
        EXPECT_TRUE(uninstaller.compare(0, stub.size(), stub) == 0) << "the uninstaller does not start with the stub";
        EXPECT_LT(uninstaller.size(), stub.size() + 4096) << "the uninstaller holds more than its record";
        const std::string entry = ReadBytes(Home(".local/share/applications/Uninstall E2E App.desktop"));
        EXPECT_NE(entry.find("\nExec=" + Target("uninstall") + "\n"), std::string::npos) << entry;

        result = RunInstaller(Target("uninstall"), {"--list"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("  file " + Target("readme.txt") + " (8 bytes)\n"), std::string::npos) << result.out;

        if (change_one) WriteBytes(Target("readme.txt"), "my own notes\n");
        result = RunInstaller(Target("uninstall"), {"--silent"});
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        auto expected = before;
        if (change_one) {
            EXPECT_NE(result.err.find("kept because it was changed since it was installed: " + Target("readme.txt")),
                      std::string::npos)
                << result.err;
            expected["target"] = "folder";
            expected["target/readme.txt"] = "my own notes\n";
        }
        EXPECT_EQ(TreeOf(Root()), expected);
    }
}

}  // namespace
}  // namespace kitforge::testing
