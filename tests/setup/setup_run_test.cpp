// The installer as a whole, run in this process on installers made by the test: its command
// line, its question, --list and --check, and its exit statuses.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "payload_bytes.h"
#include "setup_run_fixture.h"
#include "setup/setup_cancel.h"
#include "setup/setup_options.h"
#include "setup/setup_run.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::PayloadBytes;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(ParseSetupOptions, ReadsEveryOption) {
    const SetupOptions options = ParseSetupOptions({"/S", "--target", "x y", "--user"});
    EXPECT_TRUE(options.silent);
    EXPECT_EQ(options.target, "x y");
    EXPECT_TRUE(options.per_user);
    EXPECT_EQ(ParseSetupOptions({"--target=/opt/a"}).target, "/opt/a");
    EXPECT_TRUE(ParseSetupOptions({"--silent"}).silent);
    EXPECT_TRUE(ParseSetupOptions({"--list"}).list);
    EXPECT_TRUE(ParseSetupOptions({"--check"}).check);
    EXPECT_TRUE(ParseSetupOptions({"/?"}).help);
    EXPECT_TRUE(ParseSetupOptions({"--force"}).force);
    EXPECT_TRUE(ParseSetupOptions({"--gui"}).gui);
    EXPECT_TRUE(ParseSetupOptions({"--text"}).text);
}

TEST(ParseSetupOptions, RefusesWhatItCannotMeanClearly) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"--target"}, "--target needs a folder"},
        {{"--target="}, "--target needs a folder"},
        {{"--target", "a", "--target", "b"}, "--target is given more than once"},
        {{"--list", "--check"}, "--list and --check cannot be combined"},
        {{"--gui", "--text"}, "--gui and --text cannot be combined"},
        {{"--silently"}, "unknown option '--silently'"},
        {{"install"}, "unknown option 'install'"},
    };
    for (const auto& c : cases) {
        try {
            ParseSetupOptions(c.arguments);
            ADD_FAILURE() << c.message << ": no error";
        } catch (const UsageError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(ReadChoice, UnderstandsInstallAndExitInAnyCase) {
    EXPECT_EQ(ReadChoice(" INSTALL\n"), Choice::Install);
    EXPECT_EQ(ReadChoice("y"), Choice::Install);
    EXPECT_EQ(ReadChoice("Exit\r\n"), Choice::Exit);
    EXPECT_EQ(ReadChoice("no"), Choice::Exit);
    EXPECT_EQ(ReadChoice(""), std::nullopt);
    EXPECT_EQ(ReadChoice("installx"), std::nullopt);
}

// The window is used only when nobody can answer on the terminal and nothing asks for the
// terminal; a folder chosen there stands for %program%; the outcome reaches the window.
TEST_F(SetupRunTest, ShowsTheWindowOnlyWhenItShouldAndInstallsWhereItWasTold) {
    MakeInstaller({{"a.txt", "alpha"}, {"b.txt", "bravo!"}}, {"EXTRACT a.txt %program%", "EXTRACT b.txt %program%"});
    struct Case {
        std::vector<std::string> arguments;
        bool window_opens;
        std::optional<std::string> answer;
        bool window_used;
        int status;
    };
    const std::string chosen = root_ / "chosen";
    const Case cases[] = {
        {{}, true, chosen, true, kInstalled},
        {{}, true, std::nullopt, true, kCancelled},
        {{"--text"}, true, chosen, false, kCancelled},    // asks on standard input, which is empty
        {{"--silent"}, true, chosen, false, kInstalled},  // never a window
        {{}, false, chosen, false, kCancelled},           // no display: the terminal, as before
        {{"--gui"}, false, chosen, false, kCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments) + (c.window_opens ? " with display" : " without"));
        ::system(("rm -rf '" + chosen + "' '" + root_.Path() + "home'").c_str());
        ScriptedWindow::Record record;
        make_window_ = [&](const std::string&) -> std::unique_ptr<SetupFrontEnd> {
            if (!c.window_opens) return nullptr;
            return std::make_unique<ScriptedWindow>(record, c.answer);
        };
        EXPECT_EQ(Run(c.arguments), c.status) << err_;
        EXPECT_EQ(record.finished, c.window_used ? c.status : -1);
        if (!c.window_used) continue;
        EXPECT_TRUE(record.folder_choosable);
        EXPECT_NE(record.asked_folder, chosen);
        if (c.status == kInstalled) {
            EXPECT_EQ(ReadBytes(chosen + "/b.txt"), "bravo!");
            EXPECT_EQ(record.last_done, 11u);
            EXPECT_EQ(record.last_total, 11u);
            EXPECT_EQ(record.said, std::vector<std::string>{"Installation complete."});
        } else {
            EXPECT_EQ(record.said, std::vector<std::string>{"Nothing was installed."});
        }
        EXPECT_TRUE(out_.empty()) << out_;
    }
}

TEST_F(SetupRunTest, AsksAndInstallsIntoTheTarget) {
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%", "QUIT "});
    EXPECT_EQ(Run({"--target", "inst"}, "what?\ninstall\n"), kInstalled) << err_;
    EXPECT_EQ(ReadBytes(root_ / "inst/a.txt"), "alpha");
    EXPECT_NE(out_.find("Demo App\nChoose INSTALL or EXIT.\nInstall folder: " + root_.Path() + "inst\n"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("Please answer INSTALL or EXIT."), std::string::npos) << out_;
    EXPECT_NE(out_.find("[1/2] Extracting a.txt to " + root_.Path() + "inst\n[2/2] Quit"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Installation complete."), std::string::npos);
}

TEST_F(SetupRunTest, ExitOrTheEndOfInputCancelsWithoutWriting) {
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%"});
    EXPECT_EQ(Run({"--target", "inst"}, "exit\n"), kCancelled);
    EXPECT_EQ(Run({"--target", "inst"}), kCancelled);
    EXPECT_FALSE(FolderExists(root_.Path() + "inst"));
}

TEST_F(SetupRunTest, SilentInstallsIntoTheDefaultFolderAndRemovesItsTemporaryFolder) {
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %wtemp%", "copy %wtemp%\\a.txt %program%"});
    EXPECT_EQ(Run({"/S", "--user"}), kInstalled) << err_;
    EXPECT_EQ(ReadBytes(environment_.home + "/.local/opt/Demo App/a.txt"), "alpha");
    EXPECT_EQ(::rmdir(environment_.temp_root.c_str()), 0) << "%wtemp% was left behind in " << environment_.temp_root;
}

TEST_F(SetupRunTest, AFailedLineEndsWithStatusOneAndNamesIt) {
    MakeInstaller({}, {"execute /bin/false"});
    EXPECT_EQ(Run({"--silent", "--target", "inst"}), kFailed);
    EXPECT_NE(err_.find("setup.exe: line 1 (execute /bin/false): /bin/false ended with status 1\n"), std::string::npos)
        << err_;
}

TEST_F(SetupRunTest, ListShowsTheScriptAndTheFiles) {
    MakeInstaller({{"my file.txt", "12345"}}, {"EXTRACT my file.txt %program%\\docs", "quit "});
    EXPECT_EQ(Run({"--list"}), kInstalled) << err_;
    EXPECT_NE(out_.find("Title:     Demo App\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("     1  EXTRACT my file.txt %program%\\docs\n     2  quit \n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("           5  my file.txt  (line 1)\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("(stub 7 bytes, "), std::string::npos) << out_;
}

TEST_F(SetupRunTest, CheckPassesASoundInstallerAndFailsADamagedOne) {
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%"});
    EXPECT_EQ(Run({"--check"}), kInstalled);
    EXPECT_NE(out_.find("the installer is sound: 1 line, 1 file of 5 bytes in all"), std::string::npos) << out_;

    std::string bytes = ReadBytes(installer_);
    bytes.erase(3,
                1);  // the stub loses a byte: every offset still fits, the payload reads the same
    WriteBytes(installer_, bytes);
    EXPECT_EQ(Run({"--check"}), kInstalled);

    WriteBytes(installer_, bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(Run({"--check"}), kFailed);
    EXPECT_NE(err_.find("not an installer"), std::string::npos) << err_;
}

TEST_F(SetupRunTest, UnsafeNamesAreRefusedBeforeAnythingIsWritten) {
    MakeInstaller({{"ok.txt", "fine"}, {"../escape.txt", "bad"}},
                  {"EXTRACT ok.txt %program%", "EXTRACT ../escape.txt %program%"});
    EXPECT_EQ(Run({"--silent", "--target", "inst/deeper"}), kFailed);
    EXPECT_NE(err_.find("line 2 (EXTRACT ../escape.txt %program%): the installer is damaged"), std::string::npos)
        << err_;
    EXPECT_FALSE(FolderExists(root_.Path() + "inst"));
}

TEST_F(SetupRunTest, HelpAndUsageErrors) {
    EXPECT_EQ(Run({"--help"}), kInstalled);
    EXPECT_NE(out_.find("Usage: setup.exe [--silent]"), std::string::npos) << out_;
    EXPECT_NE(out_.find("3 cancelled"), std::string::npos);
    EXPECT_EQ(Run({"--nope"}), kBadUsage);
    EXPECT_EQ(err_, "setup.exe: unknown option '--nope'\nTry 'setup.exe --help' for the options.\n");
}

TEST_F(SetupRunTest, ControlCharactersOfTheTitleNeverReachTheTerminal) {
    WriteBytes(installer_, PayloadBytes({}, {}, "P\x1b[2J", "T\x1b]0;x\x07"));
    EXPECT_EQ(Run({"--silent", "--target", "inst"}), kInstalled);
    EXPECT_EQ(out_.find('\x1b'), std::string::npos);
    EXPECT_NE(out_.find("T?]0;x?\nP?[2J\n"), std::string::npos) << out_;
}

TEST_F(SetupRunTest, AsRootAFolderOthersCouldChangeIsRefusedUnlessForced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: the test's folders must belong to root";
    environment_.is_root = true;
    const std::string shared = root_.Path() + "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%"});

    EXPECT_EQ(Run({"--silent", "--user", "--target", "shared/app"}), kFailed);
    EXPECT_EQ(err_, "setup.exe: refusing to install as root into " + shared + "/app: " + shared +
                        " is writable by others and has no sticky bit, so another user could "
                        "redirect what is written there; use --force to install anyway\n");
    EXPECT_FALSE(FolderExists(shared + "/app"));

    EXPECT_EQ(Run({"--silent", "--user", "--force", "--target", "shared/app"}), kInstalled) << err_;
    EXPECT_EQ(ReadBytes(shared + "/app/a.txt"), "alpha");
    EXPECT_EQ(Run({"--help"}), kInstalled);
    EXPECT_NE(out_.find("--force"), std::string::npos) << out_;
}

}  // namespace
}  // namespace kitforge::setup
