#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>

#include "build_fixture.h"
#include "installer/build_installer.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "os/errors.h"
#include "os/file.h"
#include "support/large_files.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::Counted;
using testing::kMarkBytes;
using testing::kStub;
using testing::ReadBytes;
using testing::U32;
using testing::WriteBytes;

constexpr std::string_view kRecordsFailed = "There was an error building the install file.\n\n";

TEST(InstallerPayload, OneExecuteLineGivesExactly35BytesAfterTheStub) {
    BuildFixture f;
    f.WriteScript({"1=execute x"}, "T", "P");
    ASSERT_TRUE(f.Build());
    const std::string expected(
        "\x00\x00\x00\x00"
        "\x65\x78\x65\x63\x75\x74\x65\x20\x78"
        "\x09\x00\x00\x00"
        "\x01\x00\x00\x00"
        "\x50"
        "\x01\x00\x00\x00"
        "\x54"
        "\x01\x00\x00\x00"
        "\x2E\x22\x6B\x3D",
        35);
    // The integrity block stands between the stub and the payload.
    EXPECT_EQ(ReadBytes(f.output).substr(0, kStub.size()), kStub);
    EXPECT_EQ(ReadBytes(f.output).size(), kStub.size() + formats::kIntegrityBlockSize + 35);
    EXPECT_EQ(f.Payload(), expected);
    EXPECT_TRUE(f.host.messages.empty());
}

// The checksum is taken while the payload is written: it must cover every byte in order, however
// the files are copied (by the kernel or through a buffer much smaller than a file).
TEST(InstallerPayload, TheIntegrityBlockHoldsTheChecksumOfThePayloadBehindIt) {
    for (const bool kernel : {true, false}) {
        BuildFixture f;
        std::string contents;
        for (int i = 0; i < 70000; ++i) contents += static_cast<char>(i * 7 + i / 256);
        WriteBytes(f.folder / "big.bin", contents);
        WriteBytes(f.folder / "small.txt", "small");
        f.WriteScript({"1=extract \"" + f.folder / "big.bin" + "\" \"%program%\"",
                       "2=extract \"" + f.folder / "small.txt" + "\" \"%program%\""});
        BuildOptions options = BuildFixture::NoProgress();
        options.copy.allow_kernel_copy = kernel;
        options.copy.buffer_size = 4096;
        ASSERT_TRUE(f.Build(options));

        File file = File::OpenRead(f.output);
        payload::FileByteSource source(file);
        const payload::Payload read = payload::ReadPayload(source);
        ASSERT_TRUE(read.integrity) << (kernel ? "kernel copy" : "buffer copy");
        EXPECT_EQ(read.stub_size, kStub.size());
        EXPECT_EQ(read.integrity->covered, f.Payload().size());
        EXPECT_EQ(payload::CheckPayloadChecksum(source, read).outcome, payload::ChecksumCheck::Outcome::Matches)
            << (kernel ? "kernel copy" : "buffer copy");
    }
}

TEST(InstallerPayload, PutExecuteQuitReadBackFromTheMark) {
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "contents of a");
    f.WriteScript({"1=extract \"" + f.folder / "a.txt" + "\" \"%program%\"", "2=execute %program%\\a.txt", "3=quit "});
    ASSERT_TRUE(f.Build());
    // The quit line loses its trailing blank to the profile reader's trimming.
    EXPECT_EQ(f.Payload(), "contents of a" + U32(13) + Counted("a.txt") + U32(1) + Counted("quit") +
                               Counted("execute %program%\\a.txt") + Counted("EXTRACT a.txt %program%") + U32(3) +
                               Counted("P") + Counted("T") + kMarkBytes);

    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.title, "T");
    EXPECT_EQ(read.prompt, "P");
    EXPECT_EQ(read.lines, (std::vector<std::string>{"EXTRACT a.txt %program%", "execute %program%\\a.txt", "quit"}));
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0].name, "a.txt");
    EXPECT_EQ(ReadBytes(f.output).substr(read.files[0].offset, read.files[0].size), "contents of a");
    EXPECT_EQ(read.stub_size, kStub.size());
}

TEST(InstallerPayload, EmptyPromptAndTitleGiveZeroLengths) {
    BuildFixture f;
    f.WriteScript({}, "", "");
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Payload(), U32(0) + U32(0) + U32(0) + U32(0) + kMarkBytes);
}

TEST(InstallerPayload, AZeroLengthSourceGivesARecordWithoutContents) {
    BuildFixture f;
    WriteBytes(f.folder / "empty.dat", "");
    f.WriteScript({"1=extract \"%apppath%empty.dat\" \"%program%\""});
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Payload().substr(0, 4 + 9 + 4 + 4), U32(0) + Counted("empty.dat") + U32(1));
}

TEST(InstallerPayload, AppPathSourcesAreReadFromTheScriptFolderAndStoredUnderTheirName) {
    BuildFixture f;
    ASSERT_EQ(::mkdir((f.folder / "files").c_str(), 0755), 0);
    WriteBytes(f.folder / "files/a.txt", "AAA");
    f.WriteScript({"1=extract \"%apppath%\\files\\a.txt\" \"%program%\\MyApp\""});
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Payload(), "AAA" + U32(3) + Counted("a.txt") + U32(1) + Counted("EXTRACT a.txt %program%\\MyApp") +
                               U32(1) + Counted("P") + Counted("T") + kMarkBytes);
}

TEST(InstallerPayload, WindowsStyleSourcePathsOpenHere) {
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "win");
    std::string windows = f.folder / "a.txt";
    for (char& c : windows) c = c == '/' ? '\\' : c;
    f.WriteScript({"1=extract \"" + windows + "\" \"%program%\""});
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Payload().substr(0, 3 + 4 + 9), "win" + U32(3) + Counted("a.txt"));
}

TEST(InstallerPayload, NamesAndTargetsWithBlanksAreStoredWithoutQuotes) {
    BuildFixture f;
    WriteBytes(f.folder / "my file.txt", "x");
    f.WriteScript({"1=extract \"%apppath%\\my file.txt\" \"%program%\\My App\""});
    ASSERT_TRUE(f.Build());
    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.lines, std::vector<std::string>{"EXTRACT my file.txt %program%\\My App"});
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0].name, "my file.txt");
}

TEST(InstallerPayload, ExtractInAnyLetterCaseIsAPutAndExtractxIsNot) {
    BuildFixture f;
    WriteBytes(f.folder / "a", "1");
    WriteBytes(f.folder / "b", "22");
    f.WriteScript({"1=EXTRACT \"%apppath%a\" \"T1\"", "2=Extract \"%apppath%b\" \"T2\"",
                   "3=extractx \"%apppath%a\" \"T3\"", "4=extract\"%apppath%a\" \"T4\""});
    ASSERT_TRUE(f.Build());
    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.lines, (std::vector<std::string>{"EXTRACT a T1", "EXTRACT b T2", "extractx \"%apppath%a\" \"T3\"",
                                                    "extract\"%apppath%a\" \"T4\""}));
    ASSERT_EQ(read.files.size(), 2u);
    // The token written without a separator after it still gives the bare name in the line,
    // the same name as the file record's.
    EXPECT_EQ(read.files[0].name, "a");
    EXPECT_EQ(read.files[1].name, "b");
    EXPECT_EQ(read.files[1].size, 2u);
}

TEST(InstallerPayload, WithoutPutsTheFileCountIsFollowedByTheLines) {
    BuildFixture f;
    f.WriteScript({"1=run x", "2=cleanup %wtemp%"});
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Payload().substr(0, 4 + 15 + 4 + 5 + 4), U32(0) + Counted("cleanup %wtemp%") + Counted("run x"));
}

TEST(InstallerPayload, LinesFollowTheProfileRulesOfTheScriptSection) {
    BuildFixture f;
    // File order counts, not the numbers; an empty value gives no line; a repeated key gives
    // one line at its first place with its first value.
    f.WriteScript({"5=run five", "2=run two", "3=", "5=run five again", "x=run named"});
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(payload::ReadPayload(f.output).lines, (std::vector<std::string>{"run five", "run two", "run named"}));
}

TEST(InstallerPayload, LongValuesAreCutLikeEveryProfileValue) {
    BuildFixture f;
    f.WriteScript({"1=run " + std::string(3000, 'x')}, std::string(2100, 't'));
    ASSERT_TRUE(f.Build());
    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.lines.at(0).size(), 2047u);
    EXPECT_EQ(read.title.size(), 2047u);
}

TEST(InstallerWriterFailures, AMissingScriptIsReportedAndNoOutputIsCreated) {
    BuildFixture f;
    EXPECT_FALSE(f.Build());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(f.host.messages[0].text, f.script + " not found.");
    EXPECT_FALSE(FileExists(f.output));
}

TEST(InstallerWriterFailures, AMissingSourceIsReportedAndNoPartOfTheOutputIsLeft) {
    BuildFixture f;
    WriteBytes(f.folder / "there.txt", "here");
    f.WriteScript(
        {"1=extract \"%apppath%\\gone.txt\" \"%program%\"", "2=extract \"%apppath%there.txt\" \"%program%\""});
    EXPECT_FALSE(f.Build());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(f.host.messages[0].text, std::string(kRecordsFailed) + "File not found: " + f.folder / "gone.txt");
    // Records go last first: the second line's file was written before the first one failed,
    // and that beginning of an installer is removed again.
    EXPECT_FALSE(FileExists(f.output));
}

TEST(InstallerWriterFailures, AFullDiskIsReportedWithItsReason) {
    BuildFixture f;
    WriteBytes(f.stub, "");
    f.WriteScript({"1=run x"});
    f.output = "/dev/full";
    EXPECT_FALSE(f.Build());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(f.host.messages[0].text.rfind(std::string(kRecordsFailed) + "Cannot write /dev/full: ", 0), 0u)
        << f.host.messages[0].text;
    // A failed build removes the installer it began, but never a device it was told to write to.
    struct stat device {};
    ASSERT_EQ(::stat("/dev/full", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
}

TEST(InstallerWriterFailures, ASourceThatShrinksWhileCopiedFailsTheCopy) {
    for (const bool kernel : {false, true}) {
        BuildFixture f;
        const std::string source = f.folder / "shrinks.bin";
        WriteBytes(source, std::string(64, 's'));
        f.WriteScript({"1=extract \"" + source + "\" \"%program%\""});
        BuildOptions options = BuildFixture::NoProgress();
        options.copy.allow_kernel_copy = kernel;
        options.copy.buffer_size = 16;
        options.copy.kernel_chunk = 16;
        bool truncated = false;
        options.copy.between_chunks = [&](std::uint64_t copied) {
            // The stub is copied first; cut the source after its first chunk.
            if (copied == 16 && !truncated) {
                truncated = ::truncate(source.c_str(), 20) == 0;
            }
        };
        WriteBytes(f.stub, std::string(7, 'S'));
        EXPECT_FALSE(f.Build(options)) << (kernel ? "kernel copy" : "buffer copy");
        ASSERT_TRUE(truncated);
        ASSERT_EQ(f.host.messages.size(), 1u);
        const std::string& text = f.host.messages[0].text;
        EXPECT_EQ(
            text.rfind(std::string(kRecordsFailed) + "Cannot read " + source + ": it yielded 20 of its 64 bytes", 0),
            0u)
            << text;
    }
}

// A file of 2 GiB was refused as too large while every size was one 32-bit number below 2^31;
// it now goes in with its size in the long form, and the file record reads back whole. The
// installer takes 2 GiB of disk and some seconds to write, so the test runs with the large ones.
TEST(InstallerPayload, ASourceOf2GiBGoesInWithItsSizeInTheLongForm) {
    KITFORGE_LARGE_TEST_ONLY();
    BuildFixture f;
    const std::string huge = f.folder / "huge.bin";
    testing::MakeSparseFile(huge, 2147483648ull);  // takes no disk space; the installer does
    f.WriteScript({"1=extract \"" + huge + "\" \"%program%\""});
    const bool built = f.Build();
    DeleteFile(huge);
    ASSERT_TRUE(built) << (f.host.messages.empty() ? "" : f.host.messages[0].text);
    const payload::Payload read = payload::ReadPayload(f.output);
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0].name, "huge.bin");
    EXPECT_EQ(read.files[0].size, 2147483648u);
    // The low word of the size, then the size word: top bit set, high part 0.
    File output = File::OpenRead(f.output);
    std::string size_bytes(8, '\0');
    ASSERT_EQ(output.ReadAt(size_bytes.data(), size_bytes.size(), read.files[0].offset + read.files[0].size), 8u);
    EXPECT_EQ(size_bytes, std::string("\x00\x00\x00\x80\x00\x00\x00\x80", 8));
    output.Close();
    DeleteFile(f.output);
}

TEST(InstallerWriterFailures, ErrorsBeforeTheRecordsArePassedOnUnreported) {
    {
        SCOPED_TRACE("the compressed-group step fails");
        BuildFixture f;
        f.WriteScript({"1=run x"}, "T", "P", "1");
        BuildOptions options = BuildFixture::NoProgress();
        options.compressed_groups = [](std::vector<std::string>&, const std::string&) -> std::size_t {
            throw Error("SFX conversion failed.");
        };
        try {
            f.Build(options);
            FAIL();
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "SFX conversion failed.");
        }
        EXPECT_FALSE(FileExists(f.output));
        EXPECT_TRUE(f.host.messages.empty());
    }
    {
        SCOPED_TRACE("the output cannot be created");
        BuildFixture f;
        f.WriteScript({"1=run x"});
        f.output = f.folder / "no-such-folder/out.exe";
        EXPECT_THROW(f.Build(), InOutError);
        EXPECT_TRUE(f.host.messages.empty());
    }
    {
        SCOPED_TRACE("the stub cannot be opened");
        BuildFixture f;
        f.WriteScript({"1=run x"});
        f.stub = f.folder / "missing-stub";
        try {
            f.Build();
            FAIL();
        } catch (const ReadError& e) {
            EXPECT_EQ(e.Path(), f.stub);
        }
        EXPECT_TRUE(f.host.messages.empty());
    }
}

TEST(InstallerCompressedHook, ACompressedScriptWithoutPutLinesIsWrittenAsAnUncompressedOne) {
    BuildFixture f;
    f.WriteScript({"1=execute x", "2=quit "}, "T", "P", "0");
    ASSERT_TRUE(f.Build());
    const std::string uncompressed = ReadBytes(f.output);
    f.WriteScript({"1=execute x", "2=quit "}, "T", "P", "0x1");
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(ReadBytes(f.output), uncompressed);
    EXPECT_FALSE(FileExists(f.folder / "!install0.exe"));
}

TEST(InstallerWriterFailures, AnOutputThatIsASourceIsRefusedBeforeItIsTouched) {
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "precious");
    f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\""});
    f.output = f.folder / "a.txt";
    EXPECT_THROW(f.Build(), Error);
    EXPECT_EQ(ReadBytes(f.folder / "a.txt"), "precious");
}

// Stands in for the compressed-group step: puts every EXTRACT line's file into one
// executable per call and rewrites the list as that step does.
std::size_t FakeGroups(std::vector<std::string>& lines, const std::string& script_path) {
    const std::string folder = script_path.substr(0, script_path.rfind('/') + 1);
    WriteBytes(folder + "!install0.exe", "SFX0");
    std::vector<std::string> rewritten = {"EXTRACT \"" + folder + "!install0.exe\" \"%program%\"",
                                          "EXECUTE %program%\\!install0.exe", "CLEANUP %program%"};
    for (const auto& line : lines) {
        if (!formats::IsExtractLine(line)) rewritten.push_back(line);
    }
    lines = rewritten;
    return 1;
}

TEST(InstallerCompressedHook, RewrittenLinesAreWrittenAndTheGroupExecutablesDeletedAfterSuccess) {
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "a");
    f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\"", "2=quit "}, "T", "P", "1");
    BuildOptions options = BuildFixture::NoProgress();
    options.compressed_groups = FakeGroups;
    ASSERT_TRUE(f.Build(options));
    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.lines, (std::vector<std::string>{"EXTRACT !install0.exe %program%",
                                                    "EXECUTE %program%\\!install0.exe", "CLEANUP %program%", "quit"}));
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(ReadBytes(f.output).substr(read.files[0].offset, read.files[0].size), "SFX0");
    EXPECT_FALSE(FileExists(f.folder / "!install0.exe"));
}

TEST(InstallerCompressedHook, GroupExecutablesStayAfterAFailure) {
    BuildFixture f;
    f.WriteScript({"1=quit "}, "T", "P", "1");
    BuildOptions options = BuildFixture::NoProgress();
    options.compressed_groups = [](std::vector<std::string>& lines, const std::string& script) -> std::size_t {
        FakeGroups(lines, script);
        lines.push_back("extract \"%apppath%missing\" \"x\"");
        return 1;
    };
    EXPECT_FALSE(f.Build(options));
    EXPECT_TRUE(FileExists(f.folder / "!install0.exe"));
}

TEST(InstallerCompressedHook, AnOutputNamedLikeAGroupExecutableIsRefused) {
    BuildFixture f;
    f.WriteScript({"1=quit "}, "T", "P", "1");
    f.output = f.folder / "!install0.exe";
    BuildOptions options = BuildFixture::NoProgress();
    options.compressed_groups = FakeGroups;
    EXPECT_THROW(f.Build(options), Error);
    EXPECT_EQ(ReadBytes(f.folder / "!install0.exe"), "SFX0");
}

}  // namespace
}  // namespace kitforge
