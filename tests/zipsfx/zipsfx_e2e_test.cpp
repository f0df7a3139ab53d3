// The built stub run as a program on self-extracting files whose archives were written by
// tools we did not write: Info-ZIP zip (with and without its offset adjustment, -A) and
// Python's zipfile.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/run_program.h"
#include "support/temp_folder.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ProgramResult;
using kitforge::testing::ReadBytes;
using kitforge::testing::RunProgram;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using testing::HaveProgram;
using testing::HeaderBytes;
using testing::StubBytes;

constexpr std::uint8_t kProgramsOwnFlags = 0x6C;

// A small tree of files of every kind the stub must carry over.
void MakeSourceTree(const std::string& root) {
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/docs").c_str(), 0755);
    ::mkdir((root + "/docs/deeper").c_str(), 0755);
    WriteBytes(root + "/readme.txt", "Read me first.\n");
    WriteBytes(root + "/empty.txt", "");
    std::string binary;
    for (int i = 0; i < 300000; ++i) binary += static_cast<char>((i * 7919) ^ (i >> 5));
    WriteBytes(root + "/docs/binary.bin", binary);
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
    WriteBytes(root + "/docs/deeper/text.txt", text);
    WriteBytes(root + "/run.sh", "#!/bin/sh\necho started > started.txt\n");
    ::chmod((root + "/run.sh").c_str(), 0755);
}

class SfxInterop : public ::testing::Test {
protected:
    // Stored modes lose what the umask takes; the expected modes are those of umask 022.
    void SetUp() override { old_umask_ = ::umask(022); }
    void TearDown() override { ::umask(old_umask_); }

    std::string Exe() const { return folder / "setup.exe"; }
    std::string Source() const { return folder / "source"; }

    // Puts the stub and `header` in front of the zip file `zip`.
    void Wrap(const std::string& zip, const std::string& header) {
        WriteBytes(Exe(), StubBytes() + header + ReadBytes(zip));
        ::chmod(Exe().c_str(), 0755);
    }

    ProgramResult Run(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{Exe()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return RunProgram(command, folder.Path());
    }

    void ExpectSameTree(const std::string& extracted) {
        const ProgramResult diff = RunProgram({"diff", "-r", Source(), extracted});
        EXPECT_EQ(diff.status, 0) << diff.out << diff.err;
        struct stat info {};
        ASSERT_EQ(::stat((extracted + "/run.sh").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0755u);
    }

    TempFolder folder;
    mode_t old_umask_ = 0;
};

TEST_F(SfxInterop, InfoZipArchiveWithAdjustedOffsets) {
    if (!HaveProgram("zip") || !HaveProgram("unzip")) GTEST_SKIP() << "Info-ZIP zip and unzip are not installed";
    MakeSourceTree(Source());
    ASSERT_EQ(RunProgram({"zip", "-qr", folder / "data.zip", "."}, Source()).status, 0);
    Wrap(folder / "data.zip", HeaderBytes(kProgramsOwnFlags, "Self-extracting Archive"));
    ASSERT_EQ(RunProgram({"zip", "-qA", Exe()}).status, 0);
    const ProgramResult check = RunProgram({"unzip", "-tq", Exe()});
    ASSERT_EQ(check.status, 0) << check.out << check.err;  // no offset warning either

    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    ExpectSameTree(folder / "out");
}

TEST_F(SfxInterop, InfoZipArchiveCopiedWholeWithItsOwnOffsets) {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    MakeSourceTree(Source());
    ASSERT_EQ(RunProgram({"zip", "-qr", folder / "data.zip", "."}, Source()).status, 0);
    Wrap(folder / "data.zip", HeaderBytes(kProgramsOwnFlags));
    const ProgramResult test = Run({"-t"});
    EXPECT_EQ(test.status, 0) << test.out << test.err;
    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectSameTree(folder / "out");
}

TEST_F(SfxInterop, PythonZipfileArchiveExtractsBesideTheExecutable) {
    if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    MakeSourceTree(Source());
    const std::string script =
        "import os, sys, zipfile\n"
        "src, out = sys.argv[1], sys.argv[2]\n"
        "with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for base, dirs, files in os.walk(src):\n"
        "        for name in sorted(files):\n"
        "            path = os.path.join(base, name)\n"
        "            z.write(path, os.path.relpath(path, src))\n";
    const ProgramResult made = RunProgram({"python3", "-c", script, Source(), folder / "data.zip"});
    ASSERT_EQ(made.status, 0) << made.err;
    Wrap(folder / "data.zip", HeaderBytes(kProgramsOwnFlags, "", "unpacked"));
    // Started from another folder: the default folder is taken from where the file lies.
    TempFolder elsewhere;
    const ProgramResult run = RunProgram({Exe()}, elsewhere.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("extracting: docs/binary.bin"), std::string::npos) << run.out;
    ExpectSameTree(folder / "unpacked");
}

TEST_F(SfxInterop, AutoRunStartsTheCommandInTheTargetFolder) {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    MakeSourceTree(Source());
    ASSERT_EQ(RunProgram({"zip", "-qr", folder / "data.zip", "."}, Source()).status, 0);
    Wrap(folder / "data.zip", HeaderBytes(kProgramsOwnFlags, "Setup", "", "run.sh"));
    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(folder / "out/started.txt"), "started\n");
}

TEST_F(SfxInterop, EmptyArchiveForm) {
    std::string end(22, '\0');
    testing::PutU32(end, 0, 0x06054B50);
    testing::PutU32(end, 16, static_cast<std::uint32_t>(StubBytes().size() + 256));
    WriteBytes(folder / "empty.zip", end);
    Wrap(folder / "empty.zip", HeaderBytes(kProgramsOwnFlags));
    const ProgramResult list = Run({"-l"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("0 files"), std::string::npos) << list.out;
    EXPECT_EQ(Run({"--silent", "-d", folder / "out"}).status, 0);
}

TEST_F(SfxInterop, ALinkInTheTargetCannotCarryAFileOutside) {
    TempFolder outside;
    ::mkdir((folder / "out").c_str(), 0755);
    ASSERT_EQ(::symlink(outside.Path().c_str(), (folder / "out/link").c_str()), 0);
    const std::string zip = testing::BuildZip({{"link/planted.txt", "gotcha"}}, StubBytes().size() + 256).bytes;
    testing::WriteSfx(Exe(), HeaderBytes(kProgramsOwnFlags), zip);
    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("link"), std::string::npos) << run.err;
    EXPECT_EQ(::access((outside / "planted.txt").c_str(), F_OK), -1);
}

// A download cut short or extended is refused before anything is asked or written, with the
// damaged status; the whole file extracts. (Cut inside the program itself, the file cannot even
// start: the system stops it.)
TEST_F(SfxInterop, AFileCutShortOrExtendedIsRefusedBeforeAnyQuestion) {
    const std::string zip = testing::BuildZip({{"a.txt", "alpha"}}, StubBytes().size() + 256, "note").bytes;
    testing::WriteSfx(Exe(), HeaderBytes(kProgramsOwnFlags), zip);
    const std::string whole = ReadBytes(Exe());
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"one byte added", whole + "x", "1 bytes follow the end of its zip archive"},
        {"a block of zeros added", whole + std::string(4096, '\0'), "4096 bytes follow the end of its zip archive"},
        {"the comment's last byte cut", whole.substr(0, whole.size() - 1), "the archive comment runs past the end"},
        {"the end record cut", whole.substr(0, whole.size() - 10), "is damaged"},
        {"half the archive cut", whole.substr(0, whole.size() - zip.size() / 2), "is damaged"},
    };
    for (const auto& c : cases) {
        WriteBytes(Exe(), c.bytes);
        const ProgramResult run = RunProgram({Exe(), "-d", folder / "out"}, folder.Path(), "y\ny\ny\n");
        EXPECT_EQ(run.status, 1) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << c.name << ": one line\n" << run.err;
        EXPECT_EQ(run.out, "") << c.name << ": nothing is asked";
        EXPECT_EQ(::access((folder / "out").c_str(), F_OK), -1) << c.name << ": something was written";
    }
    WriteBytes(Exe(), whole);
    EXPECT_EQ(Run({"--silent", "-d", folder / "out"}).status, 0);
    EXPECT_EQ(ReadBytes(folder / "out/a.txt"), "alpha");
}

TEST_F(SfxInterop, TheBareStubSaysWhatItIs) {
    const ProgramResult run = RunProgram({kitforge::testing::BuiltProgram("zipsfx.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no archive attached"), std::string::npos) << run.err;
    const ProgramResult help = RunProgram({kitforge::testing::BuiltProgram("zipsfx.bin"), "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("-d DIR"), std::string::npos);
}

}  // namespace
}  // namespace kitforge::zipsfx
