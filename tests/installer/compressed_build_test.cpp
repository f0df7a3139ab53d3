// Compressed builds through the installer writer and the Build command, with the zip library
// and zipsfx.bin of this build where they are needed.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "build_fixture.h"
#include "installer/build_command.h"
#include "installer/build_compressed_group.h"
#include "payload/payload_reader.h"
#include "os/errors.h"
#include "os/file.h"
#include "support/run_program.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::ReadBytes;
using testing::WriteBytes;

bool ZipToolsBuilt() {
    return FileExists(ProgramFolder() + "ZIPDLL.DLL") && FileExists(ProgramFolder() + "zipsfx.bin");
}

BuildOptions WithProgramFolder(const std::string& folder) {
    BuildOptions options = BuildFixture::NoProgress();
    options.program_folder = folder;
    return options;
}

TEST(CompressedBuild, AStaleZipIsDeletedAndTheGroupHoldsOnlyItsOwnFiles) {
    if (!ZipToolsBuilt()) GTEST_SKIP() << "ZIPDLL.DLL and zipsfx.bin are not built beside the tests";
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "contents of a\n");
    // What a crashed build may leave: half a zip.
    WriteBytes(f.folder / "!install0.zip", "PK\x03\x04 stale, half-written");
    f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\\\"", "2=quit "}, "T", "P", "1");
    ASSERT_TRUE(f.Build(WithProgramFolder(ProgramFolder()))) << ::testing::PrintToString(f.host.Texts());
    EXPECT_TRUE(f.host.messages.empty()) << ::testing::PrintToString(f.host.Texts());

    const payload::Payload read = payload::ReadPayload(f.output);
    EXPECT_EQ(read.lines,
              (std::vector<std::string>{"EXTRACT !install0.exe %program%\\", "EXECUTE %program%\\\\!install0.exe",
                                        "CLEANUP %program%\\", "quit"}));
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0].name, "!install0.exe");
    EXPECT_FALSE(FileExists(f.folder / "!install0.zip"));
    EXPECT_FALSE(FileExists(f.folder / "!install0.exe"));

    // The record is a self-extracting zip with a.txt alone in it.
    const std::string executable = f.folder / "group.exe";
    WriteBytes(executable, ReadBytes(f.output).substr(read.files[0].offset, read.files[0].size));
    std::filesystem::permissions(executable, std::filesystem::perms::owner_all);
    const auto result = testing::RunProgram({executable, "--silent", "-d", f.folder / "out"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(f.folder / "out")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadBytes(f.folder / "out/a.txt"), "contents of a\n");
}

// A group's self-extractor is run by the installer, which has its own window: the group takes
// the stub without one when the program folder has it, so each group stays small.
TEST(CompressedBuild, AGroupTakesTheStubWithoutAWindowWhenThereIsOne) {
    struct Row {
        std::vector<std::string> present;
        const char* expected;
    };
    const Row rows[] = {
        {{"zipsfx.bin", "zipsfx-text.bin"}, "zipsfx-text.bin"},
        {{"zipsfx.bin", "ZipSFX-Text.BIN"}, "ZipSFX-Text.BIN"},
        {{"zipsfx.bin"}, "zipsfx.bin"},
        {{}, "zipsfx.bin"},
    };
    for (const Row& row : rows) {
        BuildFixture f;
        const std::string program_folder = f.folder / "program/";
        std::filesystem::create_directories(program_folder);
        for (const auto& name : row.present) WriteBytes(program_folder + name, "stub");
        EXPECT_EQ(GroupSelfExtractorStub(program_folder), program_folder + row.expected) << row.expected;
    }

    if (!ZipToolsBuilt() || !FileExists(ProgramFolder() + kTextSelfExtractorStubName)) {
        GTEST_SKIP() << "ZIPDLL.DLL and the stubs are not built beside the tests";
    }
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "contents of a\n");
    f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\\\"", "2=quit "}, "T", "P", "1");
    ASSERT_TRUE(f.Build(WithProgramFolder(ProgramFolder()))) << ::testing::PrintToString(f.host.Texts());
    const payload::Payload read = payload::ReadPayload(f.output);
    ASSERT_EQ(read.files.size(), 1u);
    const std::string stub = ReadBytes(ProgramFolder() + kTextSelfExtractorStubName);
    EXPECT_EQ(ReadBytes(f.output).substr(read.files[0].offset, stub.size()), stub);
}

TEST(CompressedBuild, AFailedConversionReachesTheBuildCommandAsAnErrorAndNoInstallerIsWritten) {
    BuildFixture f;
    std::filesystem::create_directories(f.folder / "program");
    WriteBytes(f.folder / "a.txt", "a");
    WriteBytes(f.folder / "!install0.zip", "stale");
    f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\""}, "T", "P", "1");
    {
        SCOPED_TRACE("the writer");
        try {
            f.Build(WithProgramFolder(f.folder / "program/"));
            FAIL();
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "SFX conversion failed.");
        }
        EXPECT_FALSE(FileExists(f.output));
        EXPECT_FALSE(FileExists(f.folder / "!install0.zip"));
        // The zip component said in its own boxes what went wrong (no zip library, no zip).
        EXPECT_FALSE(f.host.messages.empty());
    }
    {
        SCOPED_TRACE("the Build command");
        f.host.messages.clear();
        BuildCommandOptions options;
        options.stub_path = f.stub;
        options.build.report_progress = false;
        EXPECT_FALSE(RunBuildCommand(f.host, "", f.script, f.folder / "program/", options));
        const auto texts = f.host.Texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), "SFX conversion failed.");
        EXPECT_EQ(f.host.messages.back().kind, MessageKind::Error);
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Build failed"), 0);
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Build complete"), 0);
        EXPECT_FALSE(f.host.busy);
    }
}

TEST(CompressedBuild, AMissingSourceIsReportedAsInAnUncompressedBuild) {
    BuildFixture f;
    f.WriteScript({"1=extract \"%apppath%missing.txt\" \"%program%\""}, "T", "P", "1");
    try {
        f.Build(WithProgramFolder(f.folder / "program/"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: " + f.folder / "missing.txt");
    }
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_FALSE(FileExists(f.output));
}

TEST(CompressedBuild, AGroupOfWhichTheLibraryPackedOnlySomeFilesFails) {
    if (!ZipToolsBuilt()) GTEST_SKIP() << "ZIPDLL.DLL and zipsfx.bin are not built beside the tests";
    BuildFixture f;
    WriteBytes(f.folder / "a.txt", "a");
    // The library skips a file it cannot find and says so only to the component's message event.
    try {
        BuildCompressedGroup(f.host, f.folder / "!install0", {f.folder / "a.txt", f.folder / "gone.txt"},
                             ProgramFolder());
        FAIL();
    } catch (const Error& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Only 1 of the 2 files of " + f.folder / "!install0.exe", 0), 0u) << text;
        EXPECT_NE(text.find("gone.txt"), std::string::npos) << text;
    }
    EXPECT_FALSE(FileExists(f.folder / "!install0.exe"));
}

}  // namespace
}  // namespace kitforge
