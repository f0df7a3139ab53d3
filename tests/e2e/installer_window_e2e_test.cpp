// The installer's window, driven as a person drives it: the installer is started without a
// terminal on a private X server (Xvfb), and xdotool finds its window by title and presses
// its keys.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

using namespace std::chrono_literals;

// The window is found by the title's ASCII start: xdotool reads window names in the C locale.
const char* const kTitle = "Window App \xC3\xA9t\xC3\xA9";
const char* const kTitleStart = "^Window App ";

bool HasProgram(const std::string& name) {
    return RunProgram({"sh", "-c", "command -v \"$0\" >/dev/null", name}).status == 0;
}

// An X server of the test's own, on the first free display number, which the server picks and
// reports itself.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            // The server tries display numbers until one is free and complains about the others.
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd wait_for{fds[0], POLLIN, 0};
        char c;
        while (::poll(&wait_for, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

struct WindowCase {
    const char* name;
    // xdotool commands sent to the window once it is found; "type" types the other folder.
    std::vector<std::vector<std::string>> actions;
    int status;
    // Where the files land, under the test's folder ("" when nothing may be installed).
    const char* installed_in;
    // The last line the installer prints before the window shows its result (or closes).
    const char* last_line;
    // Run with a fontconfig that knows no font, as on a machine with none installed.
    bool without_fonts = false;
};

void PrintTo(const WindowCase& row, std::ostream* out) { *out << row.name; }

class InstallerWindow : public InstallerEndToEnd, public ::testing::WithParamInterface<WindowCase> {
protected:
    // Runs xdotool on the test's display. A key that closes the window can make xdotool fail
    // as it tidies up after sending it, so only the effects of the keys are checked.
    ProgramResult Xdotool(std::vector<std::string> words) const {
        words.insert(words.begin(), {"env", "DISPLAY=" + display_.Name(), "timeout", "20", "xdotool"});
        return RunProgram(words);
    }

    // Waits (at most 20 s) until the file at `path` holds `text`.
    static bool AwaitText(const std::string& path, const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists(path) && ReadBytes(path).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    VirtualDisplay display_;
};

TEST_P(InstallerWindow, IsDrivenFromItsWindowWithoutATerminal) {
    const WindowCase& row = GetParam();
    if (!HasProgram("Xvfb") || !HasProgram("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
    if (RunProgram({BuiltProgram("setup.ex_"), "--help"}).out.find("has no window") != std::string::npos) {
        GTEST_SKIP() << "this build of setup.ex_ has no window (a sanitizer build)";
    }
    ASSERT_FALSE(display_.Name().empty()) << "Xvfb did not start";
    WriteBytes(Root("src/readme.txt"), "read me\n");
    WriteScript({"extract \"%apppath%readme.txt\" \"%program%\\doc\""}, kTitle);
    Build();

    // Standard input is not a terminal (RunProgram gives a pipe), as in a file manager; the
    // output goes to a file the test can watch while the installer runs.
    std::atomic<bool> ended = false;
    ProgramResult result;
    WriteBytes(Root("no-fonts.conf"), "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    const std::string fonts = row.without_fonts ? Root("no-fonts.conf") : "";
    std::thread installer([&] {
        result = RunInstaller(
            "sh", {"-c", "[ -z \"$3\" ] || export FONTCONFIG_FILE=\"$3\"; DISPLAY=$1 exec \"$0\" --user >\"$2\"",
                   Installer(), display_.Name(), Root("out.txt"), fonts});
        ended = true;
    });
    const ProgramResult found = Xdotool({"search", "--sync", "--onlyvisible", "--name", kTitleStart});
    const std::string window = found.out.substr(0, found.out.find('\n'));
    EXPECT_EQ(found.status, 0) << "no window: " << found.err;
    for (std::vector<std::string> action : row.actions) {
        if (action.front() == "type") action.push_back(Root("typed folder"));
        action.insert(action.begin() + 1, {"--window", window});
        Xdotool(action);
    }
    const bool said = AwaitText(Root("out.txt"), row.last_line);
    if (row.status == 0) {
        // The result page waits to be closed.
        std::this_thread::sleep_for(300ms);
        EXPECT_FALSE(ended) << "the window closed without showing the result";
        Xdotool({"key", "--window", window, "Return"});
    }
    installer.join();
    ASSERT_TRUE(said) << ReadBytes(Root("out.txt")) << result.err;
    EXPECT_EQ(result.status, row.status) << result.err;
    const std::string default_folder = Home(".local/opt/") + kTitle;
    if (*row.installed_in != '\0') {
        EXPECT_EQ(ReadBytes(Root(row.installed_in) + "/doc/readme.txt"), "read me\n");
    }
    for (const std::string& folder : {default_folder, Root("typed folder")}) {
        if (folder != Root(row.installed_in)) {
            EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
        }
    }
}

// The uninstaller that an install leaves shows the same window: Uninstall, then the result.
TEST_F(InstallerWindow, TheUninstallerIsDrivenFromItsWindowToo) {
    if (!HasProgram("Xvfb") || !HasProgram("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
    if (RunProgram({BuiltProgram("setup.ex_"), "--help"}).out.find("has no window") != std::string::npos) {
        GTEST_SKIP() << "this build of setup.ex_ has no window (a sanitizer build)";
    }
    ASSERT_FALSE(display_.Name().empty()) << "Xvfb did not start";
    WriteBytes(Root("src/readme.txt"), "read me\n");
    WriteScript({"extract \"%apppath%readme.txt\" \"%program%\\doc\""}, kTitle);
    Build();
    ASSERT_EQ(RunInstaller(Installer(), {"--silent", "--user", "--target", Root("app")}).status, 0);
    ASSERT_TRUE(std::filesystem::exists(Root("app/uninstall")));

    std::atomic<bool> ended = false;
    ProgramResult result;
    std::thread uninstaller([&] {
        result = RunInstaller(
            "sh", {"-c", "DISPLAY=$1 exec \"$0\" >\"$2\"", Root("app/uninstall"), display_.Name(), Root("out.txt")});
        ended = true;
    });
    const ProgramResult found = Xdotool({"search", "--sync", "--onlyvisible", "--name", kTitleStart});
    const std::string window = found.out.substr(0, found.out.find('\n'));
    EXPECT_EQ(found.status, 0) << "no window: " << found.err;
    Xdotool({"key", "--window", window, "Return"});
    const bool said = AwaitText(Root("out.txt"), "Uninstallation complete.");
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(ended) << "the window closed without showing the result";
    Xdotool({"key", "--window", window, "Return"});
    uninstaller.join();
    ASSERT_TRUE(said) << ReadBytes(Root("out.txt")) << result.err;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(std::filesystem::exists(Root("app"))) << "the install folder was made by the install";
}

const WindowCase kWindowCases[] = {
    {"InstallIntoTheDefaultFolder",
     {{"key", "Return"}},
     0,
     "home/.local/opt/Window App \xC3\xA9t\xC3\xA9",
     "Installation complete."},
    {"InstallIntoATypedFolder",
     {{"key", "ctrl+a"}, {"type"}, {"key", "Return"}},
     0,
     "typed folder",
     "Installation complete."},
    {"ExitInstallsNothing", {{"key", "Escape"}}, 3, "", "Nothing was installed."},
    {"InstallOnAMachineWithoutFonts",
     {{"key", "Return"}},
     0,
     "home/.local/opt/Window App \xC3\xA9t\xC3\xA9",
     "Installation complete.",
     true},
};

INSTANTIATE_TEST_SUITE_P(Cases, InstallerWindow, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kitforge::testing
