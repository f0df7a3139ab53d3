// The built zipsfx.bin started as from a file manager (standard input not a terminal) on an X
// server of its own: its window is found by title, Extract and Close are pressed (and
// passwords typed) with the keyboard, and the extracted tree is compared with the source.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "support/run_program.h"
#include "support/temp_folder.h"
#include "zipsfx_test_archives.h"

extern char** environ;

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::BuiltProgram;
using kitforge::testing::ProgramResult;
using kitforge::testing::RunProgram;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using testing::HaveProgram;

// A child process started with `arguments` in `folder`, standard input from /dev/null, and
// standard error there too when `quiet`.
pid_t Start(const std::vector<std::string>& arguments, const std::string& folder, bool quiet = false) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Xvfb names every display it finds taken on its way to a free one.
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status once `pid` has ended within `seconds`, or nothing.
std::optional<int> Ended(pid_t pid, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (std::chrono::steady_clock::now() > until) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// An X server on a free display for the test's lifetime; DISPLAY names it meanwhile.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int pipe_ends[2];
        if (::pipe(pipe_ends) != 0) return;
        pid_ = Start(
            {"Xvfb", "-displayfd", std::to_string(pipe_ends[1]), "-screen", "0", "800x600x24", "-nolisten", "tcp"}, "",
            true);
        ::close(pipe_ends[1]);
        char buffer[32] = {};
        const ssize_t n = ::read(pipe_ends[0], buffer, sizeof buffer - 1);
        ::close(pipe_ends[0]);
        if (n <= 0) return;
        name_ = ":" + std::string(buffer, static_cast<std::size_t>(n));
        while (!name_.empty() && (name_.back() == '\n')) name_.pop_back();
        const char* old = std::getenv("DISPLAY");
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("DISPLAY", name_.c_str(), 1);
    }
    ~VirtualDisplay() {
        if (old_) {
            ::setenv("DISPLAY", old_->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
        Stop(pid_);
    }
    bool Ready() const { return !name_.empty(); }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::optional<std::string> old_;
};

TEST(SfxWindow, ExtractsWhenExtractAndCloseArePressedInItsWindow) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    if (RunProgram({BuiltProgram("zipsfx.bin"), "--help"}).out.find("no window") != std::string::npos) {
        GTEST_SKIP() << "this build of zipsfx.bin has no window";
    }
    TempFolder folder;
    const std::string source = folder / "source";
    ::mkdir(source.c_str(), 0755);
    ::mkdir((source + "/docs").c_str(), 0755);
    WriteBytes(source + "/readme.txt", "Read me.\n");
    WriteBytes(source + "/docs/big.bin", std::string(3000000, 'b'));
    ASSERT_EQ(RunProgram({"zip", "-qr", folder / "data.zip", "."}, source).status, 0);
    const std::string caption = "Window test \xc3\xa9t\xc3\xa9";
    const ProgramResult made = RunProgram({BuiltProgram("kitforge-cli"), "make-sfx", "data.zip", "--caption", caption,
                                           "--dir", "unpacked", "--delete", "final"},
                                          folder.Path());
    ASSERT_EQ(made.status, 0) << made.err;

    VirtualDisplay display;
    ASSERT_TRUE(display.Ready());
    // Also with a fontconfig that knows no font, as on a machine with none installed.
    WriteBytes(folder / "no-fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    for (const bool without_fonts : {false, true}) {
        SCOPED_TRACE(without_fonts ? "without fonts" : "with fonts");
        RunProgram({"rm", "-rf", folder / "unpacked"});
        if (without_fonts) ::setenv("FONTCONFIG_FILE", (folder / "no-fonts.conf").c_str(), 1);
        const pid_t sfx = Start({folder / "data.exe"}, folder.Path());
        ::unsetenv("FONTCONFIG_FILE");
        ASSERT_GT(sfx, 0);
        // xdotool matches the title as Latin-1 (WM_NAME): look for the ASCII start of it.
        const ProgramResult found =
            RunProgram({"timeout", "20", "xdotool", "search", "--sync", "--name", "^Window test "});
        if (found.status != 0) Stop(sfx);
        ASSERT_EQ(found.status, 0) << "no window titled " << caption << ": " << found.err;
        const std::string window = found.out.substr(0, found.out.find('\n'));
        RunProgram({"xdotool", "windowfocus", "--sync", window});
        RunProgram({"xdotool", "key", "Return"});  // Extract
        // Then Close on the result page; Return does nothing while the files are written.
        std::optional<int> status;
        for (int attempt = 0; attempt < 100 && !status; ++attempt) {
            status = Ended(sfx, 0.3);
            if (!status && ::access((folder / "unpacked/docs/big.bin").c_str(), F_OK) == 0) {
                RunProgram({"xdotool", "key", "Return"});
            }
        }
        if (!status) Stop(sfx);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(RunProgram({"diff", "-r", source, folder / "unpacked"}).status, 0);
    }
}

// An encrypted archive asks for its password on a page of the window with a hidden field:
// a wrong password asks again, the right one extracts, three wrong ones extract nothing.
TEST(SfxWindow, AskForThePasswordInAHiddenField) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool") || !HaveProgram("zip")) {
        GTEST_SKIP() << "Xvfb, xdotool or zip is not installed";
    }
    if (RunProgram({BuiltProgram("zipsfx.bin"), "--help"}).out.find("no window") != std::string::npos) {
        GTEST_SKIP() << "this build of zipsfx.bin has no window";
    }
    TempFolder folder;
    WriteBytes(folder / "secret.txt", "the contents\n");
    ASSERT_EQ(RunProgram({"zip", "-q", "-e", "-P", "right", "data.zip", "secret.txt"}, folder.Path()).status, 0);
    const ProgramResult made = RunProgram({BuiltProgram("kitforge-cli"), "make-sfx", "data.zip", "--caption",
                                           "Password test", "--dir", "unpacked", "--delete", "final"},
                                          folder.Path());
    ASSERT_EQ(made.status, 0) << made.err;
    VirtualDisplay display;
    ASSERT_TRUE(display.Ready());
    struct Row {
        std::vector<const char*> typed;
        int status;
    };
    const Row rows[] = {{{"wrong", "right"}, 0}, {{"one", "two", "three"}, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed.size());
        RunProgram({"rm", "-rf", folder / "unpacked"});
        const pid_t sfx = Start({folder / "data.exe"}, folder.Path(), true);
        ASSERT_GT(sfx, 0);
        const ProgramResult found =
            RunProgram({"timeout", "20", "xdotool", "search", "--sync", "--name", "^Password test"});
        if (found.status != 0) Stop(sfx);
        ASSERT_EQ(found.status, 0) << found.err;
        const std::string window = found.out.substr(0, found.out.find('\n'));
        RunProgram({"xdotool", "windowfocus", "--sync", window});
        RunProgram({"xdotool", "key", "Return"});  // Extract
        for (const char* password : row.typed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            RunProgram({"xdotool", "type", "--delay", "30", password});
            RunProgram({"xdotool", "key", "Return"});
        }
        // Then Close on the result page.
        std::optional<int> status;
        for (int attempt = 0; attempt < 40 && !status; ++attempt) {
            status = Ended(sfx, 0.3);
            if (!status) RunProgram({"xdotool", "key", "Return"});
        }
        if (!status) Stop(sfx);
        EXPECT_EQ(status, row.status);
        const bool extracted = ::access((folder / "unpacked/secret.txt").c_str(), F_OK) == 0;
        EXPECT_EQ(extracted, row.status == 0);
        if (extracted) {
            EXPECT_EQ(kitforge::testing::ReadBytes(folder / "unpacked/secret.txt"), "the contents\n");
        }
    }
}

}  // namespace
}  // namespace kitforge::zipsfx
