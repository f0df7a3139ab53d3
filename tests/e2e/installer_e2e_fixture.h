#pragma once
// End-to-end tests of the installer: build scripts written by the test, installers built with
// kitforge-cli build and the real stub, and the installers run as a user runs them, in
// temporary folders. HOME, the XDG folders and TMPDIR point into the test's folder, and every
// run passes --user, so nothing touches the real desktop or the system folders, even as root.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge::testing {

// Every file below `folder`, as paths relative to it, sorted: what a refused installer must
// leave exactly as it was.
inline std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        files.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class InstallerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"src", "out", "home", "tmp"}) ::mkdir((root_.Path() + folder).c_str(), 0755);
    }

    std::string Root(const std::string& name = {}) const { return root_.Path() + name; }
    std::string Home(const std::string& name = {}) const { return Root("home/") + name; }
    std::string Target(const std::string& name = {}) const { return Root("target/") + name; }
    std::string Installer() const { return Root("out/setup.exe"); }

    // Writes src/setup.inf with the title, the prompt and the [script] lines numbered from 1.
    void WriteScript(const std::vector<std::string>& lines, const std::string& title = "E2E App") const {
        std::string text = "[info]\ntitle=" + title + "\nprompt=Choose INSTALL or EXIT.\ncompressed=0\n\n[script]\n";
        for (std::size_t i = 0; i < lines.size(); ++i) text += std::to_string(i + 1) + "=" + lines[i] + "\n";
        WriteBytes(Root("src/setup.inf"), text);
    }

    // Builds out/setup.exe from src/setup.inf with the real stub; the test fails if that fails.
    void Build() const {
        const ProgramResult result = RunProgram({BuiltProgram("kitforge-cli"), "build", "-q", Root("src/setup.inf"),
                                                 "-o", Installer(), "--stub", BuiltProgram("setup.ex_")});
        ASSERT_EQ(result.status, 0) << result.out << result.err;
    }

    // Runs `installer` with the test's home and temporary folders.
    ProgramResult RunInstaller(const std::string& installer, const std::vector<std::string>& arguments,
                               const std::string& input = {}) const {
        // Without a display: the installers answer on standard input, which is not a terminal
        // here, and on a desktop they would show their window instead.
        std::vector<std::string> command = {"env",
                                            "-u",
                                            "XDG_DATA_HOME",
                                            "-u",
                                            "XDG_CONFIG_HOME",
                                            "-u",
                                            "DISPLAY",
                                            "-u",
                                            "WAYLAND_DISPLAY",
                                            "HOME=" + Home().substr(0, Home().size() - 1),
                                            "TMPDIR=" + Root("tmp"),
                                            installer};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return RunProgram(command, Root(), input);
    }

    ProgramResult InstallSilently() const {
        return RunInstaller(Installer(), {"--silent", "--user", "--target", Target()});
    }

    TempFolder root_;
};

}  // namespace kitforge::testing
