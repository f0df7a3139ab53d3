// Traditionally encrypted entries, as Info-ZIP's zip -e and kitforge-cli add -e write them,
// turned into self-extractors by kitforge-cli make-sfx and extracted by the built stub with a
// password typed on the terminal or read from --password-file.

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/large_files.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/traditional_decryption.h"
#include "zipsfx/zip_archive.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::BuiltProgram;
using kitforge::testing::ProgramResult;
using kitforge::testing::ReadBytes;
using kitforge::testing::RunProgram;
using kitforge::testing::TempFolder;
using kitforge::testing::ToolOnPath;
using kitforge::testing::WriteBytes;

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A wrong password that passes the check byte of the archive's first entry: one in 256 does,
// and a person who types it must be asked again, not told the archive is damaged.
std::string WrongPasswordThatPassesTheCheck(const std::string& zip_path, const std::string& right) {
    FileSource source(zip_path);
    const ArchiveEntry entry = ReadZipArchive(source, 0).entries.at(0);
    const std::vector<std::uint8_t> header = ReadRange(source, entry.data_offset, kEncryptionHeaderSize, "header");
    for (int n = 0;; ++n) {
        const std::string candidate = "wrong" + std::to_string(n);
        std::vector<std::uint8_t> plain = header;
        TraditionalDecryption(candidate).Decrypt(plain.data(), plain.size());
        if (candidate != right && plain.back() == PasswordCheckByte(entry)) return candidate;
    }
}

TEST(SfxPasswords, EncryptedEntriesExtractWithTheRightPasswordOnly) {
    KITFORGE_NEEDS_TOOL("zip");
    TempFolder folder;
    const std::string big(300000, 'z');
    WriteBytes(folder / "a.txt", "alpha\n");
    WriteBytes(folder / "big.txt", big);
    WriteBytes(folder / "right", "secret\n");
    WriteBytes(folder / "right-crlf", "secret\r\nsecond line\n");
    WriteBytes(folder / "wrong", "secrets\n");
    struct Maker {
        const char* label;
        std::string make;  // a shell command that writes data.zip
    };
    const Maker makers[] = {
        {"Info-ZIP zip -e", "zip -q -e -P secret data.zip a.txt big.txt"},
        // Streamed, the CRC follows the data: the check byte is the time's.
        {"Info-ZIP zip -e to a pipe", "zip -q -e -P secret - a.txt big.txt | cat > data.zip"},
        {"kitforge-cli add -e",
         "'" + BuiltProgram("kitforge-cli") + "' add data.zip a.txt big.txt -e --password-file right"},
    };
    const std::string out = folder / "out";
    std::string lucky;  // set for each archive
    struct Scenario {
        const char* label;
        std::vector<std::string> arguments;
        std::string input;
        int status;
        const char* said;  // in the output or the complaint
    };
    const Scenario scenarios[] = {
        {"asked: wrong, then right", {"--text", "-d", out}, "secretz\nsecret\n", 0, "The password is wrong."},
        {"asked: wrong but passing the check byte, then right",
         {"--text", "-d", out},
         "LUCKY\nsecret\n",
         0,
         "The password is wrong."},
        {"asked: wrong three times",
         {"--text", "-d", out},
         "a\nb\nc\n",
         1,
         "refusing to extract \"a.txt\": the password was wrong 3 times"},
        {"nothing typed", {"--text", "-d", out}, "", 3, "no password was given for \"a.txt\""},
        {"--password-file", {"--silent", "--password-file", folder / "right", "-d", out}, "", 0, ""},
        {"--password-file with CRLF", {"--silent", "--password-file=" + folder / "right-crlf", "-d", out}, "", 0, ""},
        {"--password-file -", {"--silent", "--password-file", "-", "-d", out}, "secret\n", 0, ""},
        {"wrong --password-file",
         {"--silent", "--password-file", folder / "wrong", "-d", out},
         "",
         1,
         "wrong for \"a.txt\""},
        {"--silent without a password", {"--silent", "-d", out}, "", 2, "give its password with --password-file"},
        {"missing --password-file",
         {"--silent", "--password-file", folder / "none", "-d", out},
         "",
         2,
         "cannot open the password file"},
        {"-t with --password-file", {"-t", "--password-file", folder / "right"}, "", 0, "OK      big.txt"},
    };
    for (const Maker& maker : makers) {
        SCOPED_TRACE(maker.label);
        ASSERT_EQ(RunProgram({"sh", "-c", "rm -f data.zip data.exe && " + maker.make}, folder.Path()).status, 0);
        lucky = WrongPasswordThatPassesTheCheck(folder / "data.zip", "secret");
        const ProgramResult made =
            RunProgram({BuiltProgram("kitforge-cli"), "make-sfx", "data.zip", "--delete", "final"}, folder.Path());
        ASSERT_EQ(made.status, 0) << made.err;
        for (const Scenario& scenario : scenarios) {
            SCOPED_TRACE(scenario.label);
            RunProgram({"rm", "-rf", out});
            std::vector<std::string> command{folder / "data.exe"};
            command.insert(command.end(), scenario.arguments.begin(), scenario.arguments.end());
            std::string input = scenario.input;
            if (input.starts_with("LUCKY")) input.replace(0, 5, lucky);
            const ProgramResult run = RunProgram(command, folder.Path(), input);
            EXPECT_EQ(run.status, scenario.status) << run.out << run.err;
            EXPECT_NE((run.out + run.err).find(scenario.said), std::string::npos) << run.out << run.err;
            EXPECT_EQ(run.out.find("secret"), std::string::npos) << "the password was shown";
            if (scenario.status == 0 && scenario.arguments[0] != "-t") {
                EXPECT_EQ(ReadBytes(out + "/a.txt"), "alpha\n");
                EXPECT_TRUE(ReadBytes(out + "/big.txt") == big);
            } else {
                EXPECT_FALSE(Exists(out)) << "something was written";
            }
        }
    }
}

// On a terminal the password is typed without being shown. Python's pty module plays the
// terminal.
TEST(SfxPasswords, TheTerminalDoesNotShowThePassword) {
    KITFORGE_NEEDS_TOOL("zip");
    KITFORGE_NEEDS_TOOL("python3");
    TempFolder folder;
    WriteBytes(folder / "a.txt", "alpha\n");
    ASSERT_EQ(RunProgram({"zip", "-q", "-e", "-P", "hidden", "data.zip", "a.txt"}, folder.Path()).status, 0);
    ASSERT_EQ(
        RunProgram({BuiltProgram("kitforge-cli"), "make-sfx", "data.zip", "--delete", "final"}, folder.Path()).status,
        0);
    const std::string script =
        "import os, pty, sys, termios, time\n"
        "pid, fd = pty.fork()\n"
        "if pid == 0:\n"
        "    os.execv(sys.argv[1], [sys.argv[1], '--text', '-d', sys.argv[2]])\n"
        "seen = b''\n"
        "def until(text):\n"
        "    global seen\n"
        "    while text not in seen:\n"
        "        try:\n"
        "            chunk = os.read(fd, 1024)\n"
        "        except OSError:\n"
        "            chunk = b''\n"
        "        if not chunk: break\n"
        "        seen += chunk\n"
        "until(b'Password for a.txt: ')\n"
        "time.sleep(0.2)\n"
        "os.write(fd, b'hidden\\n')\n"
        "until(b'extracted.')\n"
        "sys.stdout.write(seen.decode())\n"
        "_, status = os.waitpid(pid, 0)\n"
        "sys.exit(os.waitstatus_to_exitcode(status))\n";
    const ProgramResult run = RunProgram({"python3", "-c", script, folder / "data.exe", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Password for a.txt: "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("hidden"), std::string::npos) << "the password was shown:\n" << run.out;
    EXPECT_EQ(ReadBytes(folder / "out/a.txt"), "alpha\n");
}

}  // namespace
}  // namespace kitforge::zipsfx
