#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "build_fixture.h"
#include "installer/build_command.h"
#include "os/errors.h"
#include "os/file.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::ReadBytes;
using testing::WriteBytes;

TEST(BuildOutputPath, ComesFromTheOutputFieldOrTheScriptName) {
    const struct {
        const char* output_field;
        const char* script;
        const char* expected;
    } rows[] = {
        {"", "C:\\proj\\my.setup.inf", "C:\\proj\\my.exe"},
        {"inst.exe", "C:\\proj\\my.setup.inf", "C:\\proj\\inst.exe"},
        {"D:\\out\\inst.exe", "C:\\proj\\my.setup.inf", "D:\\out\\inst.exe"},
        {"", "/home/me/proj/hello.inf", "/home/me/proj/hello.exe"},
        {"", "/home/me/proj/noextension", "/home/me/proj/noextension"},
        {"", "/home/me/proj/.hidden", "/home/me/proj/.exe"},
        {"out/x.exe", "/p/s.inf", "out/x.exe"},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BuildOutputPath(row.output_field, row.script), row.expected)
            << "field \"" << row.output_field << "\", script " << row.script;
    }
}

BuildCommandOptions Options(const BuildFixture& f) {
    BuildCommandOptions options;
    options.stub_path = f.stub;
    options.build.report_progress = false;
    return options;
}

TEST(BuildCommand, ReportsBuildCompleteAndRestoresTheCursor) {
    BuildFixture f;
    f.WriteScript({"1=run x"});
    // No stub path given: the stub is setup.ex_ in the program folder.
    BuildCommandOptions options;
    options.build.report_progress = false;
    EXPECT_TRUE(RunBuildCommand(f.host, "", f.script, f.folder.Path(), options));
    EXPECT_EQ(f.host.Texts(), std::vector<std::string>{"Build complete"});
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Information);
    EXPECT_TRUE(FileExists(f.folder / "my.exe"));
    EXPECT_FALSE(f.host.busy);
    EXPECT_EQ(f.host.busy_changes, 2);
}

TEST(BuildCommand, TheInstallerIsExecutable) {
    BuildFixture f;
    f.WriteScript({"1=run x"});
    const mode_t old_mask = ::umask(022);
    const bool built = RunBuildCommand(f.host, "", f.script, f.folder.Path(), Options(f));
    ::umask(old_mask);
    ASSERT_TRUE(built);
    struct stat st {};
    ASSERT_EQ(::stat((f.folder / "my.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST(BuildCommand, ABareOutputNameGoesIntoTheScriptFolder) {
    BuildFixture f;
    f.WriteScript({"1=run x"});
    EXPECT_TRUE(RunBuildCommand(f.host, "inst.exe", f.script, "/nowhere/", Options(f)));
    EXPECT_TRUE(FileExists(f.folder / "inst.exe"));
}

TEST(BuildCommand, AnOldOutputIsGoneEvenWhenTheBuildFailsEarly) {
    BuildFixture f;
    f.WriteScript({"1=run x"}, "T", "P", "1");
    WriteBytes(f.output, "installer of an earlier build");
    BuildCommandOptions options = Options(f);
    options.build.compressed_groups = [](std::vector<std::string>&, const std::string&) -> std::size_t {
        throw Error("SFX conversion failed.");
    };
    EXPECT_FALSE(RunBuildCommand(f.host, "", f.script, "/nowhere/", options));
    EXPECT_FALSE(FileExists(f.output));
    // A passed-on error is shown alone, without "Build failed".
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(f.host.messages[0].text, "SFX conversion failed.");
    EXPECT_FALSE(f.host.busy);
    EXPECT_EQ(f.host.busy_changes, 2);
}

// One failure is one message: the writer's own report, with no "Build failed" after it.
TEST(BuildCommand, AMissingScriptGivesNotFoundAlone) {
    BuildFixture f;
    EXPECT_FALSE(RunBuildCommand(f.host, "", f.script, "/nowhere/", Options(f)));
    EXPECT_EQ(f.host.Texts(), (std::vector<std::string>{f.script + " not found."}));
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Error);
}

TEST(BuildCommand, AProjectNeverSavedReportsNotFoundWithNothingInFront) {
    BuildFixture f;
    EXPECT_FALSE(RunBuildCommand(f.host, "", "", "/nowhere/", Options(f)));
    EXPECT_EQ(f.host.Texts(), (std::vector<std::string>{" not found."}));
}

TEST(BuildCommand, AMissingSourceGivesTheWriterWarningAlone) {
    BuildFixture f;
    f.WriteScript({"1=extract \"%apppath%gone\" \"%program%\""});
    EXPECT_FALSE(RunBuildCommand(f.host, "", f.script, "/nowhere/", Options(f)));
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text,
              "There was an error building the install file.\n\nFile not found: " + f.folder / "gone");
    // The stub was written before the failure; no part of an installer stays behind.
    EXPECT_FALSE(FileExists(f.output));
}

TEST(BuildCommand, AMissingStubIsShownInAnErrorBoxAlone) {
    BuildFixture f;
    f.WriteScript({"1=run x"});
    BuildCommandOptions options = Options(f);
    options.stub_path = f.folder / "no-stub";
    EXPECT_FALSE(RunBuildCommand(f.host, "", f.script, "/nowhere/", options));
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(f.host.messages[0].text.rfind("Cannot open " + f.folder / "no-stub" + ": No such file", 0), 0u)
        << f.host.messages[0].text;
    EXPECT_FALSE(f.host.busy);
}

// The output path names a file the build reads: the build is refused before anything is
// deleted, and the file keeps its bytes.
TEST(BuildCommand, RefusesAnOutputThatWouldDestroyAnInput) {
    struct Row {
        const char* name;
        std::string script_name;   // relative to the folder
        std::string output_field;  // relative to the folder when not empty
        const char* clash;         // expected in the message
        std::string victim;        // relative to the folder
    };
    const Row rows[] = {
        {"script without extension, empty output", "myscript", "", "the build script", "myscript"},
        {"output names the script", "my.inf", "my.inf", "the build script", "my.inf"},
        {"output names the stub", "my.inf", "setup.ex_", "the installer stub", "setup.ex_"},
        {"output names a source", "my.inf", "a.txt", "the source file", "a.txt"},
        {"another spelling of a source", "my.inf", "@sub/../a.txt", "the source file", "a.txt"},
        {"a hard link to a source", "my.inf", "link.exe", "the source file", "a.txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BuildFixture f;
        f.script = f.folder / row.script_name;
        ASSERT_EQ(::mkdir((f.folder / "sub").c_str(), 0755), 0);
        WriteBytes(f.folder / "a.txt", "precious source");
        ASSERT_EQ(::link((f.folder / "a.txt").c_str(), (f.folder / "link.exe").c_str()), 0);
        f.WriteScript({"1=extract \"%apppath%a.txt\" \"%program%\""});
        const std::string before = ReadBytes(f.folder / row.victim);
        std::string output = row.output_field;
        if (!output.empty() && output[0] == '@') output = f.folder / output.substr(1);
        EXPECT_FALSE(RunBuildCommand(f.host, output, f.script, "/nowhere/", Options(f)));
        ASSERT_EQ(f.host.messages.size(), 1u);
        EXPECT_EQ(f.host.messages[0].kind, MessageKind::Error);
        EXPECT_NE(f.host.messages[0].text.find(row.clash), std::string::npos) << f.host.messages[0].text;
        EXPECT_EQ(ReadBytes(f.folder / row.victim), before);
        EXPECT_EQ(f.host.busy_changes, 0);
    }
}

}  // namespace
}  // namespace kitforge
