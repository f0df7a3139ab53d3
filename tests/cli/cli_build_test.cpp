// kitforge-cli build and inspect, run as a user runs them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "installer/build_fixture.h"
#include "os/file.h"
#include "support/run_program.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::BuiltProgram;
using testing::Counted;
using testing::kMarkBytes;
using testing::ReadBytes;
using testing::RunProgram;
using testing::U32;
using testing::WriteBytes;

std::string Cli() { return BuiltProgram("kitforge-cli"); }

void WriteHelloProject(BuildFixture& f) {
    ASSERT_EQ(::mkdir((f.folder / "files").c_str(), 0755), 0);
    WriteBytes(f.folder / "files/readme.txt", "read me\n");
    WriteBytes(f.folder / "files/run.sh", "#!/bin/sh\necho hi\n");
    f.WriteScript({"1=extract \"%apppath%\\files\\readme.txt\" \"%program%\\Hello\"",
                   "2=extract \"%apppath%\\files\\run.sh\" \"%program%\\Hello\"", "3=execute %program%\\Hello\\run.sh",
                   "4=quit "},
                  "Hello", "Install Hello?");
}

TEST(CliBuild, BuildsWhatInspectReadsBack) {
    BuildFixture f;
    WriteHelloProject(f);
    const auto built = RunProgram({Cli(), "build", f.script, "--stub", f.stub, "-o", f.folder / "out.exe"});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, f.folder / "out.exe\n");
    EXPECT_NE(built.err.find("Build complete"), std::string::npos) << built.err;

    const auto shown = RunProgram({Cli(), "inspect", f.folder / "out.exe"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("Title:  Hello\nPrompt: Install Hello?\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  EXTRACT readme.txt %program%\\Hello\n  EXTRACT run.sh %program%\\Hello\n"
                             "  execute %program%\\Hello\\run.sh\n  quit\n"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("  readme.txt  8 bytes\n  run.sh  18 bytes\n"), std::string::npos) << shown.out;

    const auto json = RunProgram({Cli(), "inspect", "--json", f.folder / "out.exe"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["stub_size"], testing::kStub.size());
    EXPECT_EQ(document["lines"].size(), 4u);
    EXPECT_EQ(document["files"][1]["name"], "run.sh");

    const auto extracted = RunProgram({Cli(), "inspect", f.folder / "out.exe", "--extract", f.folder / "x"});
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(ReadBytes(f.folder / "x/readme.txt"), "read me\n");
    EXPECT_EQ(ReadBytes(f.folder / "x/run.sh"), "#!/bin/sh\necho hi\n");
    // A second extraction would replace them: refused.
    const auto again = RunProgram({Cli(), "inspect", f.folder / "out.exe", "--extract", f.folder / "x"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("File exists"), std::string::npos) << again.err;
}

TEST(CliBuild, WithoutOutputOptionFollowsTheScriptAndTheScriptFolder) {
    BuildFixture f;
    WriteHelloProject(f);
    // Run from another folder with a relative script path: %apppath% still finds the files.
    const auto built = RunProgram({Cli(), "build", "my.setup.inf", "--stub", f.stub, "--quiet"}, f.folder.Path());
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_TRUE(FileExists(f.folder / "my.exe"));
    EXPECT_EQ(built.err.find("Adding"), std::string::npos) << built.err;

    std::string text = ReadBytes(f.script);
    text.replace(text.find("output=\r\n"), 9, "output=named.exe\r\n");
    WriteBytes(f.script, text);
    const auto named = RunProgram({Cli(), "build", f.script, "--stub", f.stub});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(FileExists(f.folder / "named.exe"));
    EXPECT_NE(named.err.find("Adding"), std::string::npos) << named.err;
}

TEST(CliBuild, AFailedBuildExitsWithStatusOne) {
    BuildFixture f;
    f.WriteScript({"1=extract \"%apppath%missing.txt\" \"%program%\""});
    const auto result = RunProgram({Cli(), "build", f.script, "--stub", f.stub});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("File not found: " + f.folder / "missing.txt"), std::string::npos) << result.err;
    // One failure, one line: no "Build failed" after the writer's own message.
    EXPECT_EQ(result.err.find("Build failed"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");

    const auto no_stub = RunProgram({Cli(), "build", f.script, "--stub", f.folder / "nope"});
    EXPECT_EQ(no_stub.status, 1);
    EXPECT_NE(no_stub.err.find("error: Cannot open " + f.folder / "nope"), std::string::npos) << no_stub.err;
}

// A link planted at the output name (in a shared folder, by another user) is never written
// through: the installer takes the name itself, as a regular file, and whatever the link
// points to is neither created nor changed, whether the build succeeds or fails.
TEST(CliBuild, NeverWritesThroughALinkAtTheOutputName) {
    const struct {
        const char* name;
        bool target_exists;
        bool build_succeeds;
    } rows[] = {
        {"dangling link, build succeeds", false, true},
        {"dangling link, build fails", false, false},
        {"link to a file, build succeeds", true, true},
        {"link to a file, build fails", true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BuildFixture f;
        WriteHelloProject(f);
        if (!row.build_succeeds) ::unlink((f.folder / "files/run.sh").c_str());
        ASSERT_EQ(::mkdir((f.folder / "elsewhere").c_str(), 0755), 0);
        const std::string target = f.folder / "elsewhere/victim";
        if (row.target_exists) WriteBytes(target, "not an installer");
        const std::string output = f.folder / "out.exe";
        ASSERT_EQ(::symlink(target.c_str(), output.c_str()), 0);

        const auto built = RunProgram({Cli(), "build", f.script, "--stub", f.stub, "-o", output, "-q"});
        EXPECT_EQ(built.status, row.build_succeeds ? 0 : 1) << built.err;
        if (row.target_exists) {
            EXPECT_EQ(ReadBytes(target), "not an installer");
        } else {
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(target))) << "the link was followed";
        }
        struct stat st {};
        const bool named = ::lstat(output.c_str(), &st) == 0;
        if (row.build_succeeds) {
            ASSERT_TRUE(named);
            EXPECT_TRUE(S_ISREG(st.st_mode)) << "the output is not a regular file";
            EXPECT_EQ(ReadBytes(output).rfind(testing::kStub, 0), 0u);
        } else {
            EXPECT_FALSE(named && S_ISREG(st.st_mode)) << "a failed build left an installer";
        }
        // Nothing but the output (and what the test made) is left in the folder.
        for (const auto& entry : std::filesystem::directory_iterator(f.folder.Path())) {
            EXPECT_NE(entry.path().filename().string().rfind(".out.exe", 0), 0u) << entry.path();
        }
    }
}

TEST(CliInspect, DamagedInstallersGiveAClearErrorNeverACrash) {
    BuildFixture f;
    WriteHelloProject(f);
    ASSERT_EQ(RunProgram({Cli(), "build", f.script, "--stub", f.stub, "-q"}).status, 0);
    const std::string good = ReadBytes(f.output);
    for (std::size_t size : {std::size_t{0}, std::size_t{3}, good.size() / 2, good.size() - 1}) {
        WriteBytes(f.folder / "cut.exe", good.substr(0, size));
        const auto result = RunProgram({Cli(), "inspect", f.folder / "cut.exe"});
        EXPECT_EQ(result.status, 1) << size;
        EXPECT_EQ(result.err.rfind("kitforge-cli: Cannot read " + f.folder / "cut.exe" + ": ", 0), 0u) << result.err;
    }
}

TEST(CliInspect, ExtractRefusesNamesThatLeaveTheFolderAndWritesNothing) {
    BuildFixture f;
    for (const std::string bad : {"../evil", "/tmp/evil", "a\\b", ".."}) {
        SCOPED_TRACE(bad);
        const std::string installer = "stub" + Counted("good") + Counted("good.txt") + Counted("bad") + Counted(bad) +
                                      U32(2) + Counted("EXTRACT bad x") + Counted("EXTRACT good.txt x") + U32(2) +
                                      Counted("") + Counted("") + kMarkBytes;
        WriteBytes(f.folder / "evil.exe", installer);
        const auto result = RunProgram({Cli(), "inspect", f.folder / "evil.exe", "--extract", f.folder / "out"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("is not a plain file name"), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(f.folder / "out/good.txt"));
    }
}

}  // namespace
}  // namespace kitforge
