// kitforge-cli add, run as a user runs it, with archives checked by Info-ZIP unzip.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

TEST(CliAdd, CreatesAnArchiveThatUnzipAccepts) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", std::string(5000, 'a'));
    mkdir((folder / "d").c_str(), 0755);
    WriteBytes(folder / "d/b.txt", "bee");
    auto result =
        RunProgram({BuiltProgram("kitforge-cli"), "add", "out.zip", "a.txt", "d", "-r", "-D", "-9"}, folder.Path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("2 entries added"), std::string::npos) << result.out;
    auto test = RunProgram({"unzip", "-t", folder / "out.zip"});
    EXPECT_EQ(test.status, 0) << test.out;
    auto list = RunProgram({"unzip", "-Z1", folder / "out.zip"});
    EXPECT_EQ(list.out, "a.txt\nd/b.txt\n");
}

TEST(CliAdd, EncryptsWithThePasswordAndRefusesOneWithoutTheOther) {
    TempFolder folder;
    WriteBytes(folder / "s.txt", "secret text");
    auto missing = RunProgram({BuiltProgram("kitforge-cli"), "add", "x.zip", "s.txt", "-e"}, folder.Path());
    EXPECT_EQ(missing.status, 2);
    auto result =
        RunProgram({BuiltProgram("kitforge-cli"), "add", "x.zip", "s.txt", "-e", "--password", "pw"}, folder.Path());
    ASSERT_EQ(result.status, 0) << result.err;
    auto extracted = RunProgram({"unzip", "-p", "-P", "pw", folder / "x.zip", "s.txt"});
    EXPECT_EQ(extracted.out, "secret text");
}

// Every way of giving the password of -e, checked by opening the archive with Info-ZIP unzip.
// A password longer than the library takes would be cut and the archive would then refuse the
// password as typed: it is refused before anything is written.
TEST(CliAdd, TakesThePasswordFromAFileStandardInputOrTheCommandLine) {
    const std::string longest(80, 'k');
    const std::string too_long(81, 'k');
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string file;   // written to pw.txt when not empty
        std::string input;  // standard input
        int status;
        std::string said;      // expected on stderr
        std::string password;  // opens the archive; empty: no archive is written
    } rows[] = {
        {"file", {"--password-file", "pw.txt"}, "file secret\r\nsecond line\n", "", 0, "", "file secret"},
        {"standard input", {"--password-file", "-"}, "", "piped secret\nmore\n", 0, "", "piped secret"},
        {"command line", {"--password", "typed"}, "", "", 0, "can be seen by other users", "typed"},
        {"80 characters", {"--password", longest}, "", "", 0, "", longest},
        {"81 characters", {"--password", too_long}, "", "", 2, "longer than the 80 bytes", ""},
        {"81 characters in a file", {"--password-file", "pw.txt"}, too_long + "\n", "", 2, "longer than the 80", ""},
        {"empty", {"--password", ""}, "", "", 2, "empty", ""},
        {"empty standard input", {"--password-file", "-"}, "", "", 2, "standard input ended", ""},
        {"missing file", {"--password-file", "none.txt"}, "", "", 1, "none.txt", ""},
        {"both options", {"--password", "a", "--password-file", "pw.txt"}, "b\n", "", 2, "excludes", ""},
        {"no terminal to ask on", {}, "", "", 2, "needs a password", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        WriteBytes(folder / "s.txt", "secret text");
        if (!row.file.empty()) WriteBytes(folder / "pw.txt", row.file);
        std::vector<std::string> command = {BuiltProgram("kitforge-cli"), "add", "x.zip", "s.txt", "-e"};
        command.insert(command.end(), row.options.begin(), row.options.end());
        const auto result = RunProgram(command, folder.Path(), row.input);
        EXPECT_EQ(result.status, row.status) << result.err;
        EXPECT_NE(result.err.find(row.said), std::string::npos) << result.err;
        if (row.password.empty()) {
            EXPECT_FALSE(std::filesystem::exists(folder / "x.zip"));
            continue;
        }
        const auto extracted = RunProgram({"unzip", "-p", "-P", row.password, folder / "x.zip", "s.txt"});
        EXPECT_EQ(extracted.out, "secret text") << extracted.err;
        EXPECT_EQ(result.err.find(row.password), std::string::npos) << "the password was printed";
    }
}

// Asked on a terminal (a pseudo-terminal driven by Python's pty module): twice, without echo.
TEST(CliAdd, AsksForThePasswordTwiceOnATerminalWithoutEcho) {
    // Runs the command on a pseudo-terminal, answers each "...: " prompt with the next answer,
    // and prints everything the terminal showed; exits with the command's status.
    const std::string driver = R"(
import os, pty, select, sys
answers, command = sys.argv[1].split(','), sys.argv[2:]
pid, fd = pty.fork()
if pid == 0:
    os.execv(command[0], command)
shown = b''
def more():
    global shown
    if not select.select([fd], [], [], 20)[0]:
        sys.exit('no prompt came')
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        chunk = b''
    shown += chunk
    return chunk
for number, answer in enumerate(answers, 1):
    while shown.count(b'assword') < number or not shown.rstrip(b' ').endswith(b':'):
        if not more():
            break
    os.write(fd, answer.encode() + b'\n')
while more():
    pass
status = os.waitpid(pid, 0)[1]
sys.stdout.write(shown.decode(errors='replace'))
sys.exit(os.waitstatus_to_exitcode(status))
)";
    const struct {
        const char* name;
        std::string answers;
        int status;
        std::string said;
    } rows[] = {
        {"the same twice", "Zq7-secret,Zq7-secret", 0, "Password again: "},
        {"two different answers", "Zq7-secret,Zq7-other", 2, "differ"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        WriteBytes(folder / "s.txt", "secret text");
        const auto result = RunProgram({"python3", "-c", driver, row.answers, BuiltProgram("kitforge-cli"), "add",
                                        folder / "x.zip", folder / "s.txt", "-e", "-q"});
        EXPECT_EQ(result.status, row.status) << result.out << result.err;
        EXPECT_NE(result.out.find(row.said), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find("Zq7"), std::string::npos) << "the terminal showed the password:\n" << result.out;
        if (row.status != 0) {
            EXPECT_FALSE(std::filesystem::exists(folder / "x.zip"));
            continue;
        }
        const auto extracted = RunProgram({"unzip", "-p", "-P", "Zq7-secret", folder / "x.zip", "s.txt"});
        EXPECT_EQ(extracted.out, "secret text") << extracted.err;
    }
}

// A new archive named .exe is a self-extracting one made with the stub installed beside
// kitforge-cli, whatever the letter case of the stub's name there; without a stub nothing is
// written and the command fails. Each case runs a copy of the program in a folder of its own.
TEST(CliAdd, ANewExecutableIsASelfExtractorThatRuns) {
    const struct {
        const char* stub_name;  // nullptr: no stub
        int status;
    } rows[] = {{"zipsfx.bin", 0}, {"ZipSFX.bin", 0}, {"ZIPSFX.BIN", 0}, {nullptr, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stub_name ? row.stub_name : "no stub");
        TempFolder folder;
        namespace fs = std::filesystem;
        fs::create_directories(folder / "program");
        fs::copy_file(BuiltProgram("kitforge-cli"), folder / "program/kitforge-cli");
        fs::copy_file(BuiltProgram("ZIPDLL.DLL"), folder / "program/ZIPDLL.DLL");
        if (row.stub_name) fs::copy_file(BuiltProgram("zipsfx.bin"), folder / "program/" + row.stub_name);
        WriteBytes(folder / "a.txt", "alpha\n");

        const auto added =
            RunProgram({folder / "program/kitforge-cli", "add", "new.exe", "a.txt", "-q"}, folder.Path());
        EXPECT_EQ(added.status, row.status) << added.err;
        if (row.status != 0) {
            EXPECT_NE(added.err.find("was not found"), std::string::npos) << added.err;
            EXPECT_NE(added.err.find("Cannot make the self-extracting archive " + folder / "new.exe"),
                      std::string::npos)
                << added.err;
            EXPECT_FALSE(fs::exists(folder / "new.exe"));
            continue;
        }
        const auto extracted = RunProgram({folder / "new.exe", "--silent", "-d", folder / "out"});
        EXPECT_EQ(extracted.status, 0) << extracted.out << extracted.err;
        EXPECT_TRUE(fs::exists(folder / "out/a.txt") && ReadBytes(folder / "out/a.txt") == "alpha\n");
    }
}

TEST(CliAdd, ReportsSkippedFilesAndFailsWhenNothingWasAdded) {
    TempFolder folder;
    WriteBytes(folder / "here.txt", "here");
    auto partial = RunProgram({BuiltProgram("kitforge-cli"), "add", "p.zip", "here.txt", "gone.txt"}, folder.Path());
    EXPECT_EQ(partial.status, 0) << partial.err;
    EXPECT_NE(partial.err.find("gone.txt"), std::string::npos) << partial.err;

    auto none = RunProgram({BuiltProgram("kitforge-cli"), "add", "n.zip", "gone.txt"}, folder.Path());
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Nothing was added"), std::string::npos) << none.err;
}

TEST(CliAdd, LevelZeroStoresAndFreshenTouchesOnlyExistingEntries) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", std::string(10000, 'a'));
    ASSERT_EQ(RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "a.txt", "-0"}, folder.Path()).status, 0);
    EXPECT_GT(ReadBytes(folder / "s.zip").size(), 10000u);
    WriteBytes(folder / "new.txt", "new");
    auto fresh = RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "new.txt", "-f"}, folder.Path());
    EXPECT_EQ(fresh.status, 1);  // nothing newer, nothing new taken
    auto both = RunProgram({BuiltProgram("kitforge-cli"), "add", "s.zip", "new.txt", "-f", "-u"}, folder.Path());
    EXPECT_EQ(both.status, 2);
}

}  // namespace
}  // namespace kitforge
