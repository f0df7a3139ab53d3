// The stub as the user meets it: options, the header's choices, questions and answers, and
// what lands on the disk. Each test makes a real self-extracting file (the built stub, a
// header, an archive) and runs the stub's logic on it with a scripted console.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#endif

#include <deque>
#include <functional>

#include "support/temp_folder.h"
#include "zipsfx/sfx_program.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using testing::BuildZip;
using testing::HeaderBytes;
using testing::ScriptedConsole;
using testing::StubBytes;
using testing::TestEntry;
using testing::WriteSfx;

const std::vector<TestEntry> kFiles = {
    {"readme.txt", "read me\n"},
    {"bin/", ""},
    {"bin/run.sh", "#!/bin/sh\necho ran\n", true, 0100755},
    {"data/big.txt", std::string(20000, 'z'), true},
};

constexpr std::uint8_t kQuietFlags = 0x04 | 0x08 | 0x20;  // hide the question, overwrite, no size check

class SfxProgram : public ::testing::Test {
protected:
    // Stored modes lose what the umask takes; the expected modes are those of umask 022.
    void SetUp() override { old_umask_ = ::umask(022); }
    void TearDown() override { ::umask(old_umask_); }

    // Writes exe.exe with `flags` and texts and the archive of `entries`, offsets moved.
    void Make(std::uint8_t flags, const std::vector<TestEntry>& entries = kFiles, const std::string& folder = "",
              const std::string& command = "", const std::string& caption = "Test Setup") {
        const std::string header = HeaderBytes(flags, caption, folder, command);
        WriteSfx(exe, header, BuildZip(entries, StubBytes().size() + 256).bytes);
    }

    int Run(std::vector<std::string> arguments) {
        SfxEnvironment environment;
        environment.console = &console;
        environment.self_path = exe;
        environment.home = home.Path() + "home";
        environment.free_space = [this](const std::string& folder) {
            asked_space_for = folder;
            return free_space;
        };
        environment.run_command = [this](const std::string& command, const std::string& folder) {
            commands.push_back(command + " @ " + folder);
            return command_status;
        };
        return RunSfx(arguments, environment);
    }

    std::string Out(const std::string& name) const { return dir / ("out/" + name); }

    TempFolder dir;
    TempFolder home;
    std::string exe = dir / "exe.exe";
    ScriptedConsole console;
    std::optional<std::uint64_t> free_space;
    std::string asked_space_for;
    std::vector<std::string> commands;
    int command_status = 0;
    mode_t old_umask_ = 0;
};

TEST_F(SfxProgram, ExtractsEveryFileWithItsModeIntoTheFolderGiven) {
    Make(kQuietFlags);
    ASSERT_EQ(Run({"-d", Out("")}), 0) << console.err;
    EXPECT_EQ(ReadBytes(Out("readme.txt")), "read me\n");
    EXPECT_EQ(ReadBytes(Out("data/big.txt")), std::string(20000, 'z'));
    struct stat info {};
    ASSERT_EQ(::stat(Out("bin/run.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_NE(console.out.find("Test Setup"), std::string::npos);
    EXPECT_NE(console.out.find("3 files extracted"), std::string::npos);
    EXPECT_TRUE(console.questions.empty());
}

TEST_F(SfxProgram, TheFolderComesFromOptionThenHeaderThenTheFilesOwnFolder) {
    SfxOptions options;
    StubHeader header;
    EXPECT_EQ(TargetFolder(options, header, "/opt/x/setup.exe", "/home/u"), "/opt/x");
    header.default_folder = "Program Files\\Tool";
    EXPECT_EQ(TargetFolder(options, header, "/opt/x/setup.exe", "/home/u"), "/opt/x/Program Files/Tool");
    header.default_folder = "~/tool";
    EXPECT_EQ(TargetFolder(options, header, "/opt/x/setup.exe", "/home/u"), "/home/u/tool");
    header.default_folder = "/srv/tool";
    EXPECT_EQ(TargetFolder(options, header, "/setup.exe", "/home/u"), "/srv/tool");
    header.default_folder = "rel";
    EXPECT_EQ(TargetFolder(options, header, "/setup.exe", "/home/u"), "/rel");
    options.folder = "given";
    EXPECT_EQ(TargetFolder(options, header, "/opt/x/setup.exe", "/home/u"), "given");

    Make(kQuietFlags, {{"f.txt", "x"}}, "unpacked\\here");
    ASSERT_EQ(Run({"--silent"}), 0) << console.err;
    EXPECT_EQ(ReadBytes(dir / "unpacked/here/f.txt"), "x");
    EXPECT_TRUE(console.out.empty());
}

TEST_F(SfxProgram, OverwriteModesDecideAboutExistingFiles) {
    struct Row {
        const char* label;
        std::uint8_t flags;
        std::vector<std::string> arguments;
        std::deque<std::string> answers;
        const char* expected;
    };
    const Row rows[] = {
        {"always", 0x04 | 0x08 | 0x20, {}, {}, "new"},
        {"never", 0x04 | 0x10 | 0x20, {}, {}, "old"},
        {"confirm, yes", 0x04 | 0x20, {}, {"y"}, "new"},
        {"confirm, no", 0x04 | 0x20, {}, {"n"}, "old"},
        {"confirm, all", 0x04 | 0x20, {}, {"A"}, "new"},
        {"confirm, end of input", 0x04 | 0x20, {}, {}, "old"},
        {"confirm, silent keeps", 0x04 | 0x20, {"--silent"}, {}, "old"},
        {"-o over never", 0x04 | 0x10 | 0x20, {"-o"}, {}, "new"},
        {"-n over always", 0x04 | 0x08 | 0x20, {"-n"}, {}, "old"},
        {"question shown, always chosen", 0x10 | 0x20, {}, {"a"}, "new"},
        {"question shown, kept mode", 0x10 | 0x20, {}, {""}, "old"},
    };
    for (const Row& row : rows) {
        TempFolder target;
        WriteBytes(target / "f.txt", "old");
        Make(row.flags, {{"f.txt", "new"}});
        console = ScriptedConsole();
        console.answers = row.answers;
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.end(), {"-d", target.Path()});
        EXPECT_EQ(Run(arguments), 0) << row.label << ": " << console.err;
        EXPECT_EQ(ReadBytes(target / "f.txt"), row.expected) << row.label;
    }
}

TEST_F(SfxProgram, ConfirmNoneKeepsTheRest) {
    TempFolder target;
    WriteBytes(target / "a", "old a");
    WriteBytes(target / "b", "old b");
    Make(0x04 | 0x20, {{"a", "new a"}, {"b", "new b"}, {"c", "new c"}});
    console.answers = {"N"};
    ASSERT_EQ(Run({"-d", target.Path()}), 0) << console.err;
    EXPECT_EQ(console.questions.size(), 1u);
    EXPECT_EQ(ReadBytes(target / "a"), "old a");
    EXPECT_EQ(ReadBytes(target / "b"), "old b");
    EXPECT_EQ(ReadBytes(target / "c"), "new c");
    EXPECT_NE(console.out.find("1 file extracted, 2 existing kept"), std::string::npos) << console.out;
}

TEST_F(SfxProgram, AskFilesExtractsOnlyTheChosenOnes) {
    Make(kQuietFlags | 0x02);
    console.answers = {"9", "1,3"};  // the first answer is out of range and asked again
    ASSERT_EQ(Run({"-d", Out("")}), 0) << console.err;
    EXPECT_EQ(console.questions.size(), 2u);
    EXPECT_TRUE(kitforge::testing::ReadBytes(Out("readme.txt")) == "read me\n");
    EXPECT_EQ(::access(Out("bin/run.sh").c_str(), F_OK), -1);
    EXPECT_EQ(ReadBytes(Out("data/big.txt")).size(), 20000u);

    console = ScriptedConsole();
    console.answers = {"q"};
    EXPECT_EQ(Run({"-d", dir / "cancelled"}), 3);
    EXPECT_EQ(::access((dir / "cancelled").c_str(), F_OK), -1);
}

TEST_F(SfxProgram, TooLittleFreeSpaceStopsBeforeWriting) {
    Make(0x04 | 0x08);  // size check on
    free_space = 1000;
    EXPECT_EQ(Run({"-d", Out("")}), 4);
    EXPECT_NE(console.err.find("not enough free space"), std::string::npos) << console.err;
    EXPECT_NE(console.err.find("20027 bytes"), std::string::npos) << console.err;
    EXPECT_EQ(::access(Out("").c_str(), F_OK), -1);
    EXPECT_EQ(asked_space_for, Out(""));

    console = ScriptedConsole();
    free_space = 20027;
    EXPECT_EQ(Run({"-d", Out("")}), 0) << console.err;

    Make(kQuietFlags);  // the check is off: the figure is not even asked for
    asked_space_for.clear();
    free_space = 1;
    EXPECT_EQ(Run({"-d", dir / "other"}), 0) << console.err;
    EXPECT_TRUE(asked_space_for.empty());
}

TEST_F(SfxProgram, CommandLineRunsAfterExtractingWhenTheHeaderSaysSo) {
    Make(kQuietFlags | 0x40, kFiles, "", "bin/run.sh --now");
    ASSERT_EQ(Run({"-d", Out("")}), 0) << console.err;
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], "bin/run.sh --now @ " + Out(""));

    // A bare program name that was just extracted runs from the target folder.
    commands.clear();
    Make(kQuietFlags | 0x40, kFiles, "", "readme.txt");
    ASSERT_EQ(Run({"-d", Out("")}), 0) << console.err;
    EXPECT_EQ(commands.at(0), "./readme.txt @ " + Out(""));

    commands.clear();
    Make(kQuietFlags, kFiles, "", "bin/run.sh");  // no auto-run: nothing runs
    ASSERT_EQ(Run({"-d", Out("")}), 0);
    EXPECT_TRUE(commands.empty());

    command_status = 3;
    Make(kQuietFlags | 0x40, kFiles, "", "bin/run.sh");
    EXPECT_EQ(Run({"-d", Out("")}), 5);
    EXPECT_NE(console.err.find("failed with status 3"), std::string::npos) << console.err;
}

TEST_F(SfxProgram, AskCmdLineLetsTheUserDecide) {
    struct Row {
        const char* label;
        std::uint8_t flags;
        std::deque<std::string> answers;
        std::vector<std::string> arguments;
        bool runs;
    };
    const Row rows[] = {
        {"auto-run, Enter", kQuietFlags | 0x40 | 0x01, {""}, {}, true},
        {"auto-run, no", kQuietFlags | 0x40 | 0x01, {"n"}, {}, false},
        {"no auto-run, Enter", kQuietFlags | 0x01, {""}, {}, false},
        {"no auto-run, yes", kQuietFlags | 0x01, {"y"}, {}, true},
        {"silent auto-run asks nothing", kQuietFlags | 0x40 | 0x01, {}, {"--silent"}, true},
    };
    for (const Row& row : rows) {
        commands.clear();
        console = ScriptedConsole();
        console.answers = row.answers;
        Make(row.flags, {{"f", "x"}}, "", "echo hi");
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.end(), {"-d", Out("")});
        EXPECT_EQ(Run(arguments), 0) << row.label << ": " << console.err;
        EXPECT_EQ(commands.size(), row.runs ? 1u : 0u) << row.label;
    }
}

TEST_F(SfxProgram, ADamagedEntryReplacesNothing) {
    TempFolder target;
    WriteBytes(target / "first.txt", "precious");
    std::string zip =
        BuildZip({{"first.txt", "new"}, {"second.txt", std::string(3000, 's'), true}}, StubBytes().size() + 256).bytes;
    // Damage the CRC of the second entry: the first has unpacked correctly by then.
    const std::size_t second_central = zip.size() - 22 - (46 + 10);
    testing::PutU32(zip, second_central + 16, 0x12345678);
    WriteSfx(exe, HeaderBytes(kQuietFlags), zip);
    EXPECT_EQ(Run({"-d", target.Path()}), 1);
    EXPECT_NE(console.err.find("second.txt fails its CRC check"), std::string::npos) << console.err;
    EXPECT_NE(console.err.find("nothing was replaced"), std::string::npos) << console.err;
    EXPECT_EQ(ReadBytes(target / "first.txt"), "precious");
    EXPECT_EQ(::access((target / "second.txt").c_str(), F_OK), -1);
    // No temporary file is left behind.
    EXPECT_EQ(::system(("test -z \"$(ls -A " + target.Path() + " | grep -v first.txt)\"").c_str()), 0);
}

TEST_F(SfxProgram, AHostileNameStopsEverything) {
    Make(kQuietFlags, {{"good.txt", "x"}, {"../../escaped.txt", "y"}});
    EXPECT_EQ(Run({"-d", Out("")}), 1);
    EXPECT_NE(console.err.find("refusing to extract \"../../escaped.txt\""), std::string::npos) << console.err;
    EXPECT_EQ(::access(Out("good.txt").c_str(), F_OK), -1);
    EXPECT_EQ(::access((dir / "escaped.txt").c_str(), F_OK), -1);
}

TEST_F(SfxProgram, ListAndTestReportWithoutWriting) {
    Make(kQuietFlags);
    ASSERT_EQ(Run({"-l"}), 0) << console.err;
    EXPECT_NE(console.out.find("       20000  2025-04-12 12:00  data/big.txt"), std::string::npos) << console.out;
    EXPECT_NE(console.out.find("4 files"), std::string::npos);
    EXPECT_EQ(::access((dir / "readme.txt").c_str(), F_OK), -1);

    console = ScriptedConsole();
    ASSERT_EQ(Run({"-t"}), 0) << console.err;
    EXPECT_NE(console.out.find("OK      data/big.txt"), std::string::npos) << console.out;

    std::string zip = BuildZip({{"bad", "data"}}, StubBytes().size() + 256).bytes;
    testing::PutU32(zip, zip.size() - 22 - 49 + 16, 1);
    WriteSfx(exe, HeaderBytes(kQuietFlags), zip);
    console = ScriptedConsole();
    EXPECT_EQ(Run({"-t"}), 1);
    EXPECT_NE(console.err.find("FAILED  bad"), std::string::npos) << console.err;
}

TEST_F(SfxProgram, UsageErrorsAndHelp) {
    Make(kQuietFlags);
    EXPECT_EQ(Run({"--bogus"}), 2);
    EXPECT_NE(console.err.find("unknown argument \"--bogus\""), std::string::npos);
    EXPECT_EQ(Run({"-l", "-t"}), 2);
    EXPECT_EQ(Run({"-d"}), 2);
    EXPECT_EQ(Run({"-o", "-n"}), 2);
    console = ScriptedConsole();
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(console.out.find("Usage: exe.exe"), std::string::npos);
    EXPECT_NE(console.out.find("--silent"), std::string::npos);
}

TEST_F(SfxProgram, EmptyArchiveExtractsNothingAndSucceeds) {
    Make(kQuietFlags, {});
    ASSERT_EQ(Run({"-d", Out("")}), 0) << console.err;
    EXPECT_NE(console.out.find("0 files extracted"), std::string::npos);
}

#ifndef _WIN32  // the rows use POSIX paths, programs and links
TEST_F(SfxProgram, TheCommandLineStartsOnlyAFileThisRunExtracted) {
    constexpr std::uint8_t kAlways = kQuietFlags | 0x40;
    constexpr std::uint8_t kNever = 0x04 | 0x10 | 0x20 | 0x40;
    struct Row {
        const char* label;
        const char* command;
        std::uint8_t flags;
        std::vector<std::string> before;  // files standing in the target before the run
        const char* planted_link;         // a symbolic link standing in the target, or nullptr
        bool swap_while_asked;            // setup.sh is replaced between extraction and running
        const char* runs;                 // what the shell is handed, or nullptr: refused
    };
    const Row rows[] = {
        {"extracted bare name", "setup.sh -q", kAlways, {}, nullptr, false, "./setup.sh -q"},
        {"extracted over an older one", "setup.sh", kAlways, {"setup.sh"}, nullptr, false, "./setup.sh"},
        {"older one kept by the mode", "setup.sh", kNever, {"setup.sh"}, nullptr, false, nullptr},
        {"planted program", "python3 x.py", kAlways, {"python3"}, nullptr, false, nullptr},
        {"planted link", "python3 x.py", kAlways, {}, "python3", false, nullptr},
        {"program from PATH", "python3 x.py", kAlways, {}, nullptr, false, "python3 x.py"},
        {"folder of that name", "bin", kAlways, {}, nullptr, false, "bin"},
        {"extracted relative path", "bin/run.sh --now", kAlways, {}, nullptr, false, "bin/run.sh --now"},
        {"older relative path kept", "bin/run.sh", kNever, {"bin/run.sh"}, nullptr, false, nullptr},
        {"absolute path", "/bin/true", kAlways, {}, nullptr, false, "/bin/true"},
        {"swapped while asked", "setup.sh", kAlways | 0x01, {}, nullptr, true, nullptr},
    };
    const std::vector<TestEntry> entries = {
        {"setup.sh", "#!/bin/sh\n", false, 0100755}, {"bin/run.sh", "#!/bin/sh\n", false, 0100755}, {"x.py", "1\n"}};
    for (const Row& row : rows) {
        TempFolder target;
        ::mkdir((target / "bin").c_str(), 0755);
        for (const std::string& name : row.before) WriteBytes(target / name, "old");
        if (row.planted_link) {
            ASSERT_EQ(::symlink("/bin/sh", (target / row.planted_link).c_str()), 0);
        }
        Make(row.flags, entries, "", row.command);
        commands.clear();
        console = ScriptedConsole();
        if (row.swap_while_asked) {
            console.answers = {"y"};
            console.on_ask = [&] {
                WriteBytes(target / "swapped", "#!/bin/sh\necho not from the archive\n");
                ::rename((target / "swapped").c_str(), (target / "setup.sh").c_str());
            };
        }
        const int status = Run({"-d", target.Path()});
        if (row.runs) {
            EXPECT_EQ(status, 0) << row.label << ": " << console.err;
            EXPECT_EQ(commands, std::vector<std::string>{row.runs + std::string(" @ ") + target.Path()}) << row.label;
        } else {
            EXPECT_EQ(status, 5) << row.label;
            EXPECT_TRUE(commands.empty()) << row.label << ": ran " << commands.at(0);
            const std::string first = std::string(row.command).substr(0, std::string(row.command).find(' '));
            EXPECT_NE(console.err.find("was not run: " + target.Path() + first + " was not extracted by this run"),
                      std::string::npos)
                << row.label << ": " << console.err;
        }
        EXPECT_EQ(ReadBytes(target / "x.py"), "1\n") << row.label;  // the extraction itself stands
    }
}
#endif

TEST_F(SfxProgram, ListShowsWhatRunningTheFileWouldDo) {
    struct Row {
        const char* label;
        std::uint8_t flags;
        std::string folder;
        std::string command;
        std::vector<std::string> arguments;
        std::vector<std::string> lines;
    };
    const std::string own = dir.Path().substr(0, dir.Path().size() - 1);
    const Row rows[] = {
        {"the program's own setting",
         0x6C,
         "",
         "",
         {},
         {"Default folder: none, extracts to " + own, "Command line:   none",
          "Overwrite mode: always (existing files are replaced)"}},
        {"folder, asked command, never",
         0x40 | 0x01 | 0x10,
         "Program Files\\Tool",
         "setup.sh --now",
         {},
         {"Default folder: \"Program Files\\Tool\", extracts to " + own + "/Program Files/Tool",
          "Command line:   \"setup.sh --now\", asked after extracting, default yes",
          "Overwrite mode: never (existing files are kept), asked first when files exist"}},
        {"escape sequences, -d",
         0x04 | 0x01,
         "\x1b[2J",
         "rm -rf ~ \x1b]0;x\x07",
         {"-d", "/srv/x"},
         {"Default folder: \"?[2J\", extracts to /srv/x",
          "Command line:   \"rm -rf ~ ?]0;x?\", asked after extracting, default no",
          "Overwrite mode: confirm (asks about each existing file)"}},
        {"no auto-run", 0x04 | 0x08, "", "run.sh", {}, {"Command line:   \"run.sh\", not run (auto-run is off)"}},
    };
    for (const Row& row : rows) {
        Make(row.flags, {{"f.txt", "x"}}, row.folder, row.command);
        console = ScriptedConsole();
        std::vector<std::string> arguments = row.arguments;
        arguments.push_back("-l");
        ASSERT_EQ(Run(arguments), 0) << row.label << ": " << console.err;
        for (const std::string& line : row.lines) {
            EXPECT_NE(console.out.find(line + "\n"), std::string::npos) << row.label << ": " << line << "\n"
                                                                        << console.out;
        }
        EXPECT_EQ(console.out.find('\x1b'), std::string::npos) << row.label;
        EXPECT_LT(console.out.find("Overwrite mode:"), console.out.find("f.txt")) << row.label;
    }
    console = ScriptedConsole();
    ASSERT_EQ(Run({"--help"}), 0);
    EXPECT_NE(console.out.find("the command it runs afterwards"), std::string::npos) << console.out;
}

#ifndef _WIN32  // mount namespaces are Linux's
// The disk really fills: a 64 KiB file system of the test's own, mounted in a mount namespace
// of a child process (a user namespace too when not root), so nothing outside sees it.
TEST_F(SfxProgram, AFullDiskStopsCleanlyAndSaysHowMuchWasNeeded) {
    const std::string small = dir / "small";
    const std::string report = dir / "report";
    ASSERT_EQ(::mkdir(small.c_str(), 0755), 0);
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto write_file = [](const std::string& path, const std::string& text) {
            const int fd = ::open(path.c_str(), O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0) ::close(fd);
            return ok;
        };
        if (uid == 0) {
            if (::unshare(CLONE_NEWNS) != 0) ::_exit(77);
        } else if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !write_file("/proc/self/setgroups", "deny") ||
                   !write_file("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
                   !write_file("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            ::_exit(77);
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
            ::_exit(77);
        }
        free_space = FreeSpaceFor(small);
        Make(kQuietFlags, {{"first.bin", std::string(40000, 'a')}, {"second.bin", std::string(40000, 'b')}});
        const int status = Run({"-d", small + "/out"});
        const bool clean = ::access((small + "/out").c_str(), F_OK) != 0;
        WriteBytes(report, std::to_string(status) + (clean ? " clean " : " left files ") +
                               std::to_string(free_space.value_or(0)) + "\n" + console.err);
        ::_exit(0);
    }
    int wait_status = 0;
    ASSERT_EQ(::waitpid(child, &wait_status, 0), child);
    ASSERT_TRUE(WIFEXITED(wait_status));
    if (WEXITSTATUS(wait_status) == 77) GTEST_SKIP() << "cannot mount a small file system here";
    const std::string text = ReadBytes(report);
    EXPECT_EQ(text.substr(0, text.find('\n')), "4 clean 65536") << text;
    EXPECT_NE(text.find("No space left on device"), std::string::npos) << text;
    EXPECT_NE(text.find("the files need 80000 bytes in all, 65536 bytes are free in " + small + "/out"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("nothing was replaced"), std::string::npos) << text;
}
#endif

}  // namespace
}  // namespace kitforge::zipsfx
