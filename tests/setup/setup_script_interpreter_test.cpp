// Carrying out installer scripts against installers made by the test, in temporary folders.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "payload/payload_reader.h"
#include "payload_bytes.h"
#include "setup/safe_extraction.h"
#include "setup/script_interpreter.h"
#include "setup/script_plan.h"
#include "setup/setup_cancel.h"
#include "setup/setup_errors.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::PayloadBytes;
using testing::PayloadTestFile;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class RecordingProgress : public ProgressSink {
public:
    void Step(std::size_t number, std::size_t count, const std::string& text) override {
        steps.push_back(std::to_string(number) + "/" + std::to_string(count) + " " + text);
    }
    void Warning(const std::string& text) override { warnings.push_back(text); }
    std::vector<std::string> steps;
    std::vector<std::string> warnings;
};

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 0777;
}

std::string ReadBytesOrEmpty(const std::string& path) {
    try {
        return ReadBytes(path);
    } catch (const std::exception&) {
        return {};
    }
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

const char* const kMarkScript = "#!/bin/sh\npwd > ran.txt\nfor a in \"$@\"; do echo \"[$a]\" >> ran.txt; done\n";

// An installer in a temporary folder, and the folders its macros stand for there.
class Installation : public ::testing::Test {
protected:
    void SetUp() override {
        old_umask_ = ::umask(022);
        ResetCancel();
        settings_.environment.home = root_.Path() + "home";
        ApplyXdgDefaults(settings_.environment, "", "");
        settings_.folders = {root_.Path() + "program", root_.Path() + "wtemp", root_.Path() + "common",
                             root_.Path() + "system"};
    }
    void TearDown() override {
        ::umask(old_umask_);
        ResetCancel();
    }

    std::string Program(const std::string& name) const { return settings_.folders.program + "/" + name; }

    // Builds the installer, plans it and carries it out; throws what the interpreter throws.
    void Install(const std::vector<PayloadTestFile>& files, const std::vector<std::string>& lines) {
        const std::string path = root_ / "installer";
        WriteBytes(path, "STUB-BYTES" + PayloadBytes(files, lines, "Prompt", "Title"));
        File installer = File::OpenRead(path);
        payload::FileByteSource source(installer);
        const payload::Payload payload = payload::ReadPayload(source);
        const auto steps = PlanScript(payload);
        ScriptInterpreter interpreter(payload, installer, settings_, progress_);
        try {
            interpreter.Run(steps);
        } catch (...) {
            written_ = interpreter.WrittenFiles();
            recorded_ = interpreter.RecordedItems();
            throw;
        }
        written_ = interpreter.WrittenFiles();
        recorded_ = interpreter.RecordedItems();
    }

    // The message of the ScriptError that the installation throws.
    std::string FailedInstall(const std::vector<PayloadTestFile>& files, const std::vector<std::string>& lines) {
        try {
            Install(files, lines);
        } catch (const ScriptError& e) {
            return e.what();
        }
        ADD_FAILURE() << "the installation did not fail";
        return {};
    }

    TempFolder root_;
    InstallSettings settings_;
    RecordingProgress progress_;
    std::vector<std::string> written_;
    std::vector<formats::InstallItem> recorded_;
    mode_t old_umask_ = 0;
};

TEST_F(Installation, ExtractsEveryFileByteForByteWithTheModeItsContentsAsk) {
    std::string binary(200000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 + i / 251);
    Install({{"tool.sh", kMarkScript},
             {"data.bin", binary},
             {"empty.txt", ""},
             {"prog",
              "\x7F"
              "ELF\x02\x01"}},
            {"EXTRACT tool.sh %program%\\bin", "EXTRACT data.bin %PROGRAM%", "extract empty.txt %Common%\\share\\",
             "EXTRACT prog %system%"});
    EXPECT_EQ(ReadBytes(Program("bin/tool.sh")), kMarkScript);
    EXPECT_EQ(ReadBytes(Program("data.bin")), binary);
    EXPECT_EQ(ReadBytes(settings_.folders.common + "/share/empty.txt"), "");
    EXPECT_EQ(ModeOf(Program("bin/tool.sh")), 0755u);
    EXPECT_EQ(ModeOf(Program("data.bin")), 0644u);
    EXPECT_EQ(ModeOf(settings_.folders.system + "/prog"), 0755u);
    ASSERT_EQ(progress_.steps.size(), 4u);
    EXPECT_EQ(progress_.steps[1], "2/4 Extracting data.bin to " + settings_.folders.program);
    EXPECT_EQ(written_.size(), 4u);
}

TEST_F(Installation, ExecuteRunsInTheProgramsFolderAndAFailureStopsTheScript) {
    const std::string error =
        FailedInstall({{"mark.sh", kMarkScript}, {"never.txt", "x"}},
                      {"EXTRACT mark.sh %program%", "execute \"%program%\\mark.sh\" \"a b\" %program%\\sub\\x 100%",
                       "execute /bin/sh -c \"exit 3\"", "EXTRACT never.txt %program%"});
    EXPECT_EQ(ReadBytes(Program("ran.txt")),
              settings_.folders.program + "\n[a b]\n[" + settings_.folders.program + "/sub/x]\n[100%]\n");
    EXPECT_EQ(error, "line 3 (execute /bin/sh -c \"exit 3\"): /bin/sh ended with status 3");
    EXPECT_FALSE(Exists(Program("never.txt")));
}

TEST_F(Installation, ExecuteOfAProgramThatCannotStartNamesTheReason) {
    const std::string error = FailedInstall({}, {"EXECUTE %program%\\missing.sh"});
    EXPECT_NE(error.find("line 1 ("), std::string::npos) << error;
    EXPECT_NE(error.find(Program("missing.sh") + " cannot be started: No such file or directory"), std::string::npos)
        << error;
}

TEST_F(Installation, ExecuteReportsAProgramKilledByASignal) {
    const std::string error = FailedInstall({}, {"execute /bin/sh -c \"kill -TERM $$\""});
    EXPECT_NE(error.find("was killed by signal 15"), std::string::npos) << error;
}

TEST_F(Installation, RunStartsTheProgramWithoutWaiting) {
    Install({{"mark.sh", kMarkScript}}, {"EXTRACT mark.sh %program%", "run %program%\\mark.sh started"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadBytesOrEmpty(Program("ran.txt")).find("[started]") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ReadBytes(Program("ran.txt")), settings_.folders.program + "\n[started]\n");
}

TEST_F(Installation, QuitEndsTheScript) {
    Install({{"a.txt", "a"}, {"b.txt", "b"}}, {"EXTRACT a.txt %program%", "quit ", "EXTRACT b.txt %program%"});
    EXPECT_TRUE(Exists(Program("a.txt")));
    EXPECT_FALSE(Exists(Program("b.txt")));
    ASSERT_EQ(progress_.steps.size(), 2u);
    EXPECT_EQ(progress_.steps[1].substr(0, 4), "2/2 ");
}

TEST_F(Installation, CleanupRemovesOnlyTheArchivesThisInstallerPutThere) {
    MakeFolders(settings_.folders.program);
    WriteBytes(Program("!install1.exe"), "someone else's");
    Install({{"!install0.exe",
              "\x7F"
              "ELF"},
             {"keep.txt", "k"},
             {"!install2.exe", "x"}},
            {"EXTRACT !install0.exe %program%", "EXTRACT keep.txt %program%", "EXTRACT !install2.exe %common%",
             "CLEANUP %common%\\..\\program\\", "cleanup %system%"});
    EXPECT_FALSE(Exists(Program("!install0.exe")));
    EXPECT_TRUE(Exists(Program("keep.txt")));
    EXPECT_TRUE(Exists(Program("!install1.exe")));
    EXPECT_TRUE(Exists(settings_.folders.common + "/!install2.exe")) << "a folder not named is left alone";
}

TEST_F(Installation, IsInstallArchiveNameAcceptsOnlyTheGroupArchives) {
    EXPECT_TRUE(IsInstallArchiveName("!install0.exe"));
    EXPECT_TRUE(IsInstallArchiveName("!install12.exe"));
    EXPECT_FALSE(IsInstallArchiveName("!install.exe"));
    EXPECT_FALSE(IsInstallArchiveName("!installx.exe"));
    EXPECT_FALSE(IsInstallArchiveName("!INSTALL0.EXE"));
    EXPECT_FALSE(IsInstallArchiveName("setup.exe"));
}

TEST_F(Installation, CopyPutsTheFileIntoTheFolderWithItsPermissions) {
    Install({{"tool.sh", kMarkScript}}, {"EXTRACT tool.sh %program%", "copy %program%\\tool.sh %system%\\bin"});
    EXPECT_EQ(ReadBytes(settings_.folders.system + "/bin/tool.sh"), kMarkScript);
    EXPECT_EQ(ModeOf(settings_.folders.system + "/bin/tool.sh"), 0755u);
}

TEST_F(Installation, CopyOfAMissingSourceFailsWithTheLine) {
    EXPECT_NO_THROW(Install({}, {"quit", "copy %program%\\nothing.txt %system%"})) << "QUIT came first";
    const std::string second = FailedInstall({}, {"copy %program%\\nothing.txt %system%"});
    EXPECT_NE(second.find("line 1 (copy %program%\\nothing.txt %system%): Cannot open " + Program("nothing.txt")),
              std::string::npos)
        << second;
}

TEST_F(Installation, LinkWritesALauncherAndSkipsUnknownTokens) {
    Install({{"tool.sh", kMarkScript}},
            {"EXTRACT tool.sh %program%", "link \"<DESKTOP>\\Hello App\" \"%program%\\tool.sh\" \"--fast\"",
             "link \"<NOWHERE>\\X\" \"x\" \"\"", "link \"<RECENT>\\X\" \"x\" \"\""});
    const std::string launcher = settings_.environment.home + "/Desktop/Hello App.desktop";
    const std::string text = ReadBytes(launcher);
    EXPECT_NE(text.find("\nName=Hello App\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=" + Program("tool.sh") + " --fast\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPath=" + settings_.folders.program + "\n"), std::string::npos) << text;
    EXPECT_EQ(ModeOf(launcher), 0755u);
    ASSERT_EQ(progress_.warnings.size(), 2u);
    EXPECT_NE(progress_.warnings[0].find("line 3"), std::string::npos);
    EXPECT_NE(progress_.warnings[0].find("<NOWHERE> is unknown"), std::string::npos) << progress_.warnings[0];
    EXPECT_NE(progress_.warnings[1].find("<RECENT> has no place"), std::string::npos) << progress_.warnings[1];
}

TEST_F(Installation, UnknownLinesAreReportedAndSkipped) {
    Install({{"a.txt", "a"}}, {"frobnicate everything", "EXTRACT a.txt %program%"});
    EXPECT_TRUE(Exists(Program("a.txt")));
    ASSERT_EQ(progress_.warnings.size(), 1u);
    EXPECT_NE(progress_.warnings[0].find("line 1 (frobnicate everything)"), std::string::npos);
}

TEST_F(Installation, ACancelStopsBeforeTheNextLine) {
    InstallCancelHandler();
    EXPECT_THROW(Install({{"a.txt", "a"}}, {"execute /bin/sh -c \"kill -INT $PPID\"", "EXTRACT a.txt %program%"}),
                 SetupCancelled);
    EXPECT_FALSE(Exists(Program("a.txt")));
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
}

// A link planted in the install folder, or swapped in while the script runs, stops the line
// that would write through it; a program this run extracted runs only while it is still the
// file that was extracted.
TEST_F(Installation, LinksAndSwappedProgramsAreRefusedAndNothingGoesThroughThem) {
    const std::string program = settings_.folders.program;
    const std::string victim = root_.Path() + "victim";
    const std::string evil = root_.Path() + "evil.sh";
    const std::string swap_folder =
        "execute /bin/sh -c \"rm -r " + program + "/sub && ln -s " + victim + " " + program + "/sub\"";
    const std::string swap_program = "execute /bin/mv " + evil + " %program%\\tool.sh";
    const std::string not_a_folder = ": it is not a folder but a link or a file; nothing is written through it";
    const std::string replaced = program + "/tool.sh was replaced after this installer wrote it; it is not run";
    struct Case {
        const char* name;
        const char* planted;  // a link to the victim folder, made before the installation
        std::vector<std::string> lines;
        std::string message;
    };
    const std::vector<PayloadTestFile> files = {{"x.txt", "x"}, {"tool.sh", kMarkScript}};
    const Case cases[] = {
        {"a link planted at a folder",
         "bin",
         {"EXTRACT x.txt %program%\\bin", "EXTRACT tool.sh %program%"},
         "line 1 (EXTRACT x.txt %program%\\bin): Cannot write into " + program + "/bin" + not_a_folder},
        {"a link planted above a folder",
         "a",
         {"EXTRACT x.txt %program%\\a\\b", "EXTRACT tool.sh %program%"},
         "Cannot write into " + program + "/a" + not_a_folder},
        {"a link swapped in between two EXTRACT lines",
         nullptr,
         {"EXTRACT x.txt %program%\\sub", swap_folder, "EXTRACT tool.sh %program%\\sub"},
         "line 3 (EXTRACT tool.sh %program%\\sub): Cannot write into " + program + "/sub" + not_a_folder},
        {"a program swapped before EXECUTE",
         nullptr,
         {"EXTRACT x.txt %program%", "EXTRACT tool.sh %program%", swap_program, "execute %program%\\tool.sh"},
         "line 4 (execute %program%\\tool.sh): " + replaced},
        {"a program swapped before RUN",
         nullptr,
         {"EXTRACT x.txt %program%", "EXTRACT tool.sh %program%", swap_program, "run %program%\\tool.sh"},
         "line 4 (run %program%\\tool.sh): " + replaced},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(RemoveFolderTree(program));
        ASSERT_TRUE(RemoveFolderTree(victim));
        MakeFolders(victim);
        MakeFolders(program);
        WriteBytes(evil, "#!/bin/sh\necho ran > " + victim + "/evil-ran\n");
        ::chmod(evil.c_str(), 0755);
        if (c.planted) {
            ASSERT_EQ(::symlink(victim.c_str(), (program + "/" + c.planted).c_str()), 0);
        }

        const std::string error = FailedInstall(files, c.lines);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
        // Nothing was written into the victim, and the swapped-in program never ran.
        EXPECT_EQ(::rmdir(victim.c_str()), 0) << c.name << ": something went through the link";
    }
}

TEST_F(Installation, AFolderATokenStandsForMayBeALinkTheUserMade) {
    // The user keeps the desktop elsewhere; the launcher goes there, as the user asked.
    MakeFolders(root_.Path() + "elsewhere");
    MakeFolders(settings_.environment.home);
    ASSERT_EQ(::symlink((root_.Path() + "elsewhere").c_str(), (settings_.environment.home + "/Desktop").c_str()), 0);
    Install({}, {"link \"<DESKTOP>\\Hello\" \"/bin/true\" \"\""});
    EXPECT_TRUE(Exists(root_.Path() + "elsewhere/Hello.desktop"));
}

// The record holds what stays after the run: the folders it made (not those that were there),
// each file once, as last written, and nothing of %wtemp%.
TEST_F(Installation, RecordsWhatStaysAndTheFoldersItMade) {
    ::mkdir(settings_.folders.program.c_str(), 0755);
    Install({{"a.txt", "alpha"}, {"a.txt", "alpha, again"}, {"t.txt", "temporary"}},
            {"EXTRACT a.txt %program%\\sub\\deep", "EXTRACT a.txt %program%\\sub\\deep", "EXTRACT t.txt %wtemp%",
             "COPY %wtemp%\\t.txt %system%"});
    std::vector<std::string> seen;
    for (const auto& item : recorded_) {
        seen.push_back(std::to_string(static_cast<int>(item.kind)) + " " + item.path.substr(root_.Path().size()) + " " +
                       std::to_string(item.size));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"3 program/sub 0", "3 program/sub/deep 0", "1 program/sub/deep/a.txt 12",
                                              "3 system 0", "1 system/t.txt 9"}));
    ASSERT_EQ(recorded_.size(), 5u);
    EXPECT_NE(recorded_[2].checksum, formats::ContentChecksum{});
    EXPECT_NE(recorded_[2].checksum, recorded_[4].checksum);
}

}  // namespace
}  // namespace kitforge::setup
