// Installers built by kitforge-cli build with the real stub, run as a user runs them.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "installer_e2e_fixture.h"

namespace kitforge::testing {
namespace {

const char* const kMarkScript =
    "#!/bin/sh\n"
    "# Leaves a mark: the folder it ran in and its arguments, one per line.\n"
    "mark=\"$1\"; shift\n"
    "pwd > \"$mark\"\n"
    "for a in \"$@\"; do echo \"[$a]\" >> \"$mark\"; done\n";

std::string PseudoRandomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 23);
    }
    return bytes;
}

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

// Waits for a program started without waiting to leave its mark.
std::string AwaitFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Exists(path)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return ReadBytes(path);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

TEST_F(InstallerEndToEnd, InstalledFilesEqualTheSourcesByteForByte) {
    const std::string binary = PseudoRandomBytes(700000);
    ::mkdir(Root("src/files").c_str(), 0755);
    WriteBytes(Root("src/files/data.bin"), binary);
    WriteBytes(Root("src/files/my notes.txt"), "notes with blanks in the name\n");
    WriteBytes(Root("src/files/empty"), "");
    WriteBytes(Root("src/files/run.sh"), kMarkScript);
    WriteScript({"extract \"%apppath%files\\data.bin\" \"%program%\"",
                 "extract \"%apppath%files\\my notes.txt\" \"%PROGRAM%\\My Docs\"",
                 "extract \"%apppath%\\files\\empty\" \"%program%\\a\\b\\c\"",
                 "extract \"%apppath%files\\run.sh\" \"%program%\\bin\"", "quit "});
    Build();
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(Target("data.bin")), binary);
    EXPECT_EQ(ReadBytes(Target("My Docs/my notes.txt")), "notes with blanks in the name\n");
    EXPECT_EQ(ReadBytes(Target("a/b/c/empty")), "");
    EXPECT_EQ(ReadBytes(Target("bin/run.sh")), kMarkScript);
    EXPECT_EQ(std::filesystem::status(Target("bin/run.sh")).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::owner_exec);
    EXPECT_EQ(std::filesystem::status(Target("data.bin")).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
    EXPECT_NE(result.out.find("[5/5] Quit"), std::string::npos) << result.out;
    EXPECT_TRUE(std::filesystem::is_empty(Root("tmp"))) << "the %wtemp% folder was left behind";
}

TEST_F(InstallerEndToEnd, ExecuteAndRunReallyRunInTheProgramsFolder) {
    WriteBytes(Root("src/mark.sh"), kMarkScript);
    WriteScript({"extract \"%apppath%mark.sh\" \"%program%\\tools\"",
                 "execute \"%program%\\tools\\mark.sh\" executed.txt \"two words\" %program%\\x",
                 "run %program%\\tools\\mark.sh started.txt"});
    Build();
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(Target("tools/executed.txt")),
              Root("target/tools") + "\n[two words]\n[" + Root("target/x") + "]\n");
    EXPECT_EQ(AwaitFile(Target("tools/started.txt")), Root("target/tools") + "\n");
}

TEST_F(InstallerEndToEnd, ExecuteFailureStopsTheInstallationWithTheLine) {
    WriteBytes(Root("src/a.txt"), "a");
    WriteScript({"execute /bin/sh -c \"exit 4\"", "extract \"%apppath%a.txt\" \"%program%\""});
    Build();
    const ProgramResult result = InstallSilently();
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("line 1 (execute /bin/sh -c \"exit 4\"): /bin/sh ended with status 4"), std::string::npos)
        << result.err;
    EXPECT_FALSE(Exists(Target("a.txt")));
}

TEST_F(InstallerEndToEnd, TheLinesOfACompressedBuildRunTheirArchiveAndRemoveIt) {
    // A compressed build puts each packed group as "!install<i>.exe", runs it in its folder and
    // cleans that folder up, with these lines in capitals. A script stands in for the packed
    // group here: it unpacks by leaving a file.
    ::mkdir(Root("src/groups").c_str(), 0755);
    WriteBytes(Root("src/groups/!install0.exe"), "#!/bin/sh\necho unpacked > unpacked.txt\n");
    WriteScript({"EXTRACT \"%apppath%groups\\!install0.exe\" \"%program%\\App\"",
                 "EXECUTE %program%\\App\\!install0.exe", "CLEANUP %program%\\App"});
    Build();
    ::mkdir(Target().c_str(), 0755);
    ::mkdir(Target("App").c_str(), 0755);
    WriteBytes(Target("App/!install1.exe"), "not put there by this installer");
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(Target("App/unpacked.txt")), "unpacked\n");
    EXPECT_FALSE(Exists(Target("App/!install0.exe")));
    EXPECT_EQ(ReadBytes(Target("App/!install1.exe")), "not put there by this installer");
}

TEST_F(InstallerEndToEnd, LaunchersGoWhereTheTokensPointWithTheRightExecLine) {
    WriteBytes(Root("src/hello.sh"), "#!/bin/sh\necho hello\n");
    WriteScript({"extract \"%apppath%hello.sh\" \"%program%\"",
                 "link \"<DESKTOP>\\Hello App\" \"%program%\\hello.sh\" \"--greet loud\"",
                 "link \"<PROGRAMS>\\Tools\\Hello\" \"%program%\\hello.sh\" \"\"",
                 "link \"<STARTUP>\\Hello\" \"%program%\\hello.sh\" \"\"",
                 "link \"<NOWHERE>\\Hello\" \"%program%\\hello.sh\" \"\""});
    Build();
    // A folder with a blank, so that the Exec line must quote the program.
    const ProgramResult result = RunInstaller(Installer(), {"--silent", "--user", "--target", Root("my place")});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string desktop = ReadBytes(Home("Desktop/Hello App.desktop"));
    EXPECT_NE(desktop.find("\nExec=\"" + Root("my place/hello.sh") + "\" --greet loud\n"), std::string::npos)
        << desktop;
    EXPECT_NE(desktop.find("\nPath=" + Root("my place") + "\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nName=Hello App\n"), std::string::npos) << desktop;
    EXPECT_TRUE(Exists(Home(".local/share/applications/Tools/Hello.desktop")));
    EXPECT_TRUE(Exists(Home(".config/autostart/Hello.desktop")));
    EXPECT_NE(result.err.find("warning: line 5"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("<NOWHERE> is unknown"), std::string::npos) << result.err;
}

TEST_F(InstallerEndToEnd, QuitStopsTheScript) {
    WriteBytes(Root("src/a.txt"), "a");
    WriteBytes(Root("src/b.txt"), "b");
    WriteScript({"extract \"%apppath%a.txt\" \"%program%\"", "quit ", "extract \"%apppath%b.txt\" \"%program%\"",
                 "execute /bin/false"});
    Build();
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_TRUE(Exists(Target("a.txt")));
    EXPECT_FALSE(Exists(Target("b.txt")));
}

TEST_F(InstallerEndToEnd, CopyAndTheSharedFoldersOfThisUser) {
    WriteBytes(Root("src/tool"), "#!/bin/sh\n");
    WriteScript(
        {"extract \"%apppath%tool\" \"%wtemp%\"", "copy %wtemp%\\tool %system%", "copy %wtemp%\\tool %common%\\e2e"});
    Build();
    const ProgramResult result = InstallSilently();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(Home(".local/bin/tool")), "#!/bin/sh\n");
    EXPECT_EQ(ReadBytes(Home(".local/share/e2e/tool")), "#!/bin/sh\n");
    EXPECT_TRUE(std::filesystem::is_empty(Root("tmp")));
}

TEST_F(InstallerEndToEnd, AsksBeforeInstallingAndExitCancels) {
    WriteBytes(Root("src/a.txt"), "a");
    WriteScript({"extract \"%apppath%a.txt\" \"%program%\""}, "Asking App");
    Build();
    ProgramResult result = RunInstaller(Installer(), {"--user", "--target", Target()}, "exit\n");
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.out.find("Asking App\nChoose INSTALL or EXIT.\n"), std::string::npos) << result.out;
    EXPECT_FALSE(Exists(Target()));

    result = RunInstaller(Installer(), {"--user", "--target", Target()}, "INSTALL\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Exists(Target("a.txt")));
}

TEST_F(InstallerEndToEnd, DefaultFolderIsNamedAfterTheTitle) {
    WriteBytes(Root("src/a.txt"), "a");
    WriteScript({"extract \"%apppath%a.txt\" \"%program%\""}, "My: App/2");
    Build();
    const ProgramResult result = RunInstaller(Installer(), {"/S", "--user"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(Home(".local/opt/My_ App_2/a.txt")), "a");
}

TEST_F(InstallerEndToEnd, ListAndCheckReadTheBuiltInstaller) {
    WriteBytes(Root("src/a.txt"), "abc");
    WriteScript({"extract \"%apppath%a.txt\" \"%program%\"", "execute %program%\\a.txt"});
    Build();
    ProgramResult result = RunInstaller(Installer(), {"--list"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("     1  EXTRACT a.txt %program%\n     2  execute %program%\\a.txt\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("           3  a.txt  (line 1)\n"), std::string::npos) << result.out;
    result = RunInstaller(Installer(), {"--check"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("the installer is sound: 2 lines, 1 file of 3 bytes"), std::string::npos) << result.out;
    EXPECT_FALSE(Exists(Target()));
}

TEST_F(InstallerEndToEnd, TheBareStubHasNoPayloadAndSaysSo) {
    const ProgramResult result = RunInstaller(BuiltProgram("setup.ex_"), {"--silent", "--user"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("not an installer"), std::string::npos) << result.err;
    const ProgramResult help = RunInstaller(BuiltProgram("setup.ex_"), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--target DIR"), std::string::npos);
    EXPECT_EQ(RunInstaller(BuiltProgram("setup.ex_"), {"--target"}).status, 2);
}

// A link planted in the install folder, or a program swapped after it was extracted, is
// refused: nothing goes through the link and the swapped-in program never runs.
TEST_F(InstallerEndToEnd, LinksAndSwappedProgramsInTheTargetAreRefused) {
    const std::string victim = Root("victim");
    ::mkdir(victim.c_str(), 0755);
    WriteBytes(Root("src/x.txt"), "x");
    WriteBytes(Root("src/run.sh"), kMarkScript);
    WriteBytes(Root("evil.sh"), "#!/bin/sh\necho ran > " + victim + "/evil-ran\n");
    ::chmod(Root("evil.sh").c_str(), 0755);
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string message;
    };
    const Case cases[] = {
        {"a link planted at target/bin",
         {"extract \"%apppath%x.txt\" \"%program%\\bin\""},
         "line 1 (EXTRACT x.txt %program%\\bin): Cannot write into " + Target("bin") +
             ": it is not a folder but a link or a file"},
        {"a program swapped before EXECUTE",
         {"extract \"%apppath%run.sh\" \"%program%\"", "execute /bin/mv " + Root("evil.sh") + " %program%\\run.sh",
          "execute %program%\\run.sh " + Root("mark")},
         Target("run.sh") + " was replaced after this installer wrote it; it is not run"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(Target());
        ::mkdir(Target().c_str(), 0755);
        ASSERT_EQ(::symlink(victim.c_str(), Target("bin").c_str()), 0);
        WriteScript(c.lines);
        Build();
        const ProgramResult result = InstallSilently();
        EXPECT_EQ(result.status, 1) << c.name << "\n" << result.out << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.name << ": " << result.err;
        EXPECT_TRUE(std::filesystem::is_empty(victim)) << c.name << ": went through the link";
    }
}

TEST_F(InstallerEndToEnd, AsRootAFolderOthersMayWriteIsRefusedUnlessForced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: the installer checks the folders only when run as root";
    ::mkdir(Root("shared").c_str(), 0700);
    ::chmod(Root("shared").c_str(), 0777);
    WriteBytes(Root("src/x.txt"), "x");
    WriteScript({"extract \"%apppath%x.txt\" \"%program%\""});
    Build();
    const std::string target = Root("shared/app");
    ProgramResult result = RunInstaller(Installer(), {"--silent", "--user", "--target", target});
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_NE(result.err.find(Root("shared") + " is writable by others and has no sticky bit"), std::string::npos)
        << result.err;
    EXPECT_FALSE(Exists(target));
    result = RunInstaller(Installer(), {"--silent", "--user", "--force", "--target", target});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(target + "/x.txt"), "x");
}

}  // namespace
}  // namespace kitforge::testing
