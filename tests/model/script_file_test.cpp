#include "model/script_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "os/errors.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

BuildScript SampleScript() {
    BuildScript script;
    script.Title = "My App";
    script.Prompt = " Click INSTALL";
    script.Notes = "n=1";
    script.Output = "out\\setup.exe";
    script.Compressed = true;
    script.Commands = {
        {CommandKind::Put, "%apppath%\\files\\a.txt", "%program%\\My App"},
        {CommandKind::Execute, "\"%program%\\a.exe\" /x", ""},
        {CommandKind::Run, "%program%\\b.exe", ""},
        {CommandKind::Copy, "%program%\\a.txt", "%common%"},
        {CommandKind::Shortcut, "<DESKTOP>\\App", "\"%program%\\a.exe\" \"\""},
        {CommandKind::CleanUp, "%wtemp%", ""},
        {CommandKind::Quit, "", ""},
    };
    return script;
}

TEST(ScriptFileWriter, WritesExactBytesWithSkippedNumbersForEmptyRows) {
    BuildScript script = NewBuildScript();
    script.Commands = {{CommandKind::Put, "C:\\a.txt", "%program%"}, {}, {CommandKind::Quit, "", ""}};
    EXPECT_EQ(FormatScriptFile(script),
              "[info]\r\n"
              "title=New Project\r\n"
              "prompt=To begin installation, click the INSTALL button. If you don't wish to proceed, click the "
              "EXIT button.\r\n"
              "notes=\r\n"
              "compressed=0\r\n"
              "output=\r\n"
              "\r\n"
              "[script]\r\n"
              "1=extract \"C:\\a.txt\" \"%program%\"\r\n"
              "3=quit \r\n");
}

TEST(ScriptFileWriter, EmptyProjectEndsWithScriptHeader) {
    BuildScript script;
    script.Compressed = true;
    EXPECT_EQ(FormatScriptFile(script),
              "[info]\r\ntitle=\r\nprompt=\r\nnotes=\r\ncompressed=1\r\noutput=\r\n\r\n[script]\r\n");
}

// The version and the publisher of the Windows installer: read in any letter case, written
// after output= only when set, so that a script without them keeps its bytes.
TEST(ScriptFileVersionKeys, ReadAnyCaseAndWrittenAfterOutputOnlyWhenSet) {
    struct Row {
        const char* version;
        const char* publisher;
        const char* written;  // the lines between output= and the empty line
    };
    const Row rows[] = {
        {"", "", ""},
        {"1.2", "", "version=1.2\r\n"},
        {"", "Acme Ltd", "publisher=Acme Ltd\r\n"},
        {"2.0 beta", "Caf\xC3\xA9 = Co", "version=2.0 beta\r\npublisher=Caf\xC3\xA9 = Co\r\n"},
    };
    for (const auto& row : rows) {
        BuildScript script = SampleScript();
        script.Version = row.version;
        script.Publisher = row.publisher;
        const std::string text = FormatScriptFile(script);
        const std::string output_line = "output=out\\setup.exe\r\n";
        EXPECT_NE(text.find(output_line + row.written + "\r\n[script]"), std::string::npos) << text;
        EXPECT_EQ(ParseScriptFile(text), script) << text;
    }
    EXPECT_EQ(FormatScriptFile(SampleScript()).find("version="), std::string::npos);
    const BuildScript read = ParseScriptFile("[info]\r\nVERSION=3\r\nPublisher=P\r\ntitle=t\r\n");
    EXPECT_EQ(read.Version, "3");
    EXPECT_EQ(read.Publisher, "P");
}

TEST(ScriptFileWriter, WritesToDiskAndReadsBack) {
    TempFolder folder;
    const BuildScript script = SampleScript();
    WriteScriptFile(folder / "a.inf", script);
    EXPECT_EQ(ReadBytes(folder / "a.inf"), FormatScriptFile(script));
    EXPECT_EQ(ReadScriptFile(folder / "a.inf"), script);
}

TEST(ScriptFileWriter, RoundTripDropsEmptyRowsAndSplitsCopyWithBlank) {
    BuildScript script = SampleScript();
    script.Commands.insert(script.Commands.begin() + 1, ScriptCommand{});
    script.Commands.push_back({CommandKind::Copy, "C:\\My Files\\x", "%program%"});
    BuildScript expected = SampleScript();
    expected.Commands.push_back({CommandKind::Copy, "C:\\My", "Files\\x %program%"});
    EXPECT_EQ(ParseScriptFile(FormatScriptFile(script)), expected);
}

TEST(ScriptFileReader, ToleratesSectionsKeysAndLineBreaksOfAnyKind) {
    const BuildScript script = ParseScriptFile(
        "[script]\n"
        "Title=Under script\n"
        "[info]\r"
        "5=run five\r\n"
        "PROMPT=p\n"
        "2=run two\n"
        "2=run two again\n"
        "title =ignored\n"
        "$A=run hex\n"
        "0x1f=run hex2\n"
        " 7=run blank-led key\n"
        "0=run zero\n"
        "-1=run negative\n"
        "=run empty key\n"
        "abc=run word key\n"
        "8=Execute capital\n"
        "; comment\n"
        "notes=keep =signs\n");
    EXPECT_EQ(script.Title, "Under script");
    EXPECT_EQ(script.Prompt, "p");
    EXPECT_EQ(script.Notes, "keep =signs");
    std::vector<std::string> runs;
    for (const auto& c : script.Commands) runs.push_back(c.Action == CommandKind::None ? "<none>" : c.Parameter1);
    EXPECT_EQ(runs,
              (std::vector<std::string>{"five", "two", "two again", "hex", "hex2", "blank-led key", "zero", "<none>"}));
}

TEST(ScriptFileReader, StartsEmptyAndLaterTitleWins) {
    EXPECT_EQ(ParseScriptFile(""), BuildScript{});
    EXPECT_EQ(ParseScriptFile("title=a\r\ntitle=b\r\n").Title, "b");
    EXPECT_EQ(ParseScriptFile("title= x \r\n").Title, " x ");
}

TEST(ScriptFileReader, CompressedOnlyForExactlyOne) {
    struct Row {
        const char* line;
        bool expected;
    };
    const Row rows[] = {
        {"compressed=1", true},    {"COMPRESSED=1", true},   {"compressed=0", false},  {"compressed=2", false},
        {"compressed=yes", false}, {"compressed= 1", false}, {"compressed=1 ", false}, {"", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(ParseScriptFile(row.line).Compressed, row.expected) << row.line;
    }
}

TEST(ScriptFileReader, NulEndsTheText) {
    const std::string text = std::string("title=a\r\n1=run x\r\n") + '\0' + "2=run y\r\ntitle=b\r\n";
    const BuildScript script = ParseScriptFile(text);
    EXPECT_EQ(script.Title, "a");
    ASSERT_EQ(script.Commands.size(), 1u);
    EXPECT_EQ(script.Commands[0].Parameter1, "x");
}

TEST(ScriptFileReader, LoneLineFeedsReadLikeCrLf) {
    const BuildScript script = SampleScript();
    std::string text = FormatScriptFile(script);
    std::string lf;
    for (char c : text) {
        if (c != '\r') lf += c;
    }
    EXPECT_EQ(ParseScriptFile(lf), script);
}

TEST(ScriptFileReader, MissingFileIsAReadErrorNamingIt) {
    TempFolder folder;
    try {
        ReadScriptFile(folder / "missing.inf");
        FAIL() << "no error";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.Code(), ENOENT);
        EXPECT_NE(std::string(e.what()).find("missing.inf"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadScriptFile(folder.Path()), ReadError);
}

// A save that fails part-way (here: the file-size limit, as a full disk would) must leave the
// author's previous script exactly as it was, and no stray temporary file beside it.
TEST(ScriptFileWriter, FailedSaveKeepsThePreviousFileByteForByte) {
    TempFolder folder;
    const std::string path = folder / "keep.inf";
    const std::string previous = FormatScriptFile(SampleScript());
    WriteBytes(path, previous);

    BuildScript big = SampleScript();
    big.Notes.assign(1 << 16, 'x');

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteScriptFile(path, big);
        } catch (const InOutError& e) {
            const bool names_file = std::string(e.what()).find("keep.inf") != std::string::npos;
            ::_exit(e.Code() == EFBIG && names_file ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error raised, 2: wrong error";
    EXPECT_EQ(ReadBytes(path), previous);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(ScriptFileWriter, UnwritableFolderIsAnInOutErrorAndTargetKept) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into read-only folders";
    TempFolder folder;
    const std::string path = folder / "a.inf";
    WriteBytes(path, "old");
    ::chmod(folder.Path().c_str(), 0555);
    EXPECT_THROW(WriteScriptFile(path, SampleScript()), InOutError);
    ::chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(ReadBytes(path), "old");
}

TEST(ScriptFileWriter, ReplacingKeepsPermissionBits) {
    TempFolder folder;
    const std::string path = folder / "a.inf";
    WriteBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    WriteScriptFile(path, SampleScript());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace kitforge
