// The folder macros of the installer: defaults, expansion, and how script paths land here.

#include <gtest/gtest.h>

#include "os/errors.h"
#include "setup/folder_macros.h"

namespace kitforge::setup {
namespace {

SetupEnvironment UserEnvironment() {
    SetupEnvironment environment;
    environment.home = "/home/ann";
    ApplyXdgDefaults(environment, "", "");
    environment.temp_root = "/tmp";
    environment.current_folder = "/work";
    return environment;
}

MacroFolders SampleFolders() { return {"/opt/My App", "/tmp/kitforge-setup-1", "/usr/local/share", "/usr/local/bin"}; }

TEST(SafeFolderName, KeepsReadableTitlesAndNeutralisesTheRest) {
    struct Case {
        const char* name;
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {"plain title with blanks", "Hello Kitforge", "Hello Kitforge"},
        {"separators and drive colon", "a/b\\c:d", "a_b_c_d"},
        {"climbing out", "../../etc", "_.._etc"},
        {"hidden or dot-only", " ..hidden. ", "hidden."},
        {"only dots", "..", "Setup"},
        {"empty", "", "Setup"},
        {"escape sequence", "\x1b[2JApp", "_[2JApp"},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeFolderName(c.title), c.expected) << c.name;
}

TEST(SafeFolderName, CutsLongTitlesOnACharacterBoundary) {
    std::string title = "x";
    for (int i = 0; i < 150; ++i) title += "\xC3\xA9";  // 300 bytes of two-byte characters
    const std::string name = SafeFolderName(title);
    EXPECT_LE(name.size(), 200u);
    EXPECT_GT(name.size(), 190u);
    EXPECT_EQ((name.size() - 1) % 2, 0u) << "a two-byte character was cut in half";
}

TEST(DefaultMacroFolders, PerUserFoldersLieUnderTheHome) {
    const MacroFolders folders = DefaultMacroFolders(UserEnvironment(), "My/App", "", InstallScope::PerUser);
    EXPECT_EQ(folders.program, "/home/ann/.local/opt/My_App");
    EXPECT_EQ(folders.common, "/home/ann/.local/share");
    EXPECT_EQ(folders.system, "/home/ann/.local/bin");
    EXPECT_EQ(folders.wtemp, "");
}

TEST(DefaultMacroFolders, FollowsXdgDataHome) {
    SetupEnvironment environment = UserEnvironment();
    ApplyXdgDefaults(environment, "/data/ann", "relative/is/ignored");
    EXPECT_EQ(environment.config_home, "/home/ann/.config");
    EXPECT_EQ(DefaultMacroFolders(environment, "T", "", InstallScope::PerUser).common, "/data/ann");
}

TEST(DefaultMacroFolders, SystemWideFoldersAreTheSharedOnes) {
    SetupEnvironment environment = UserEnvironment();
    environment.home.clear();  // root without HOME still installs
    const MacroFolders folders = DefaultMacroFolders(environment, "Tool", "", InstallScope::SystemWide);
    EXPECT_EQ(folders.program, "/opt/Tool");
    EXPECT_EQ(folders.common, "/usr/local/share");
    EXPECT_EQ(folders.system, "/usr/local/bin");
}

TEST(DefaultMacroFolders, TargetReplacesTheInstallFolder) {
    const SetupEnvironment environment = UserEnvironment();
    EXPECT_EQ(DefaultMacroFolders(environment, "T", "inst\\sub", InstallScope::PerUser).program, "/work/inst/sub");
    EXPECT_EQ(DefaultMacroFolders(environment, "T", "/srv/app//", InstallScope::PerUser).program, "/srv/app");
}

TEST(DefaultMacroFolders, PerUserWithoutHomeIsAClearError) {
    SetupEnvironment environment = UserEnvironment();
    environment.home.clear();
    ApplyXdgDefaults(environment, "", "");
    try {
        DefaultMacroFolders(environment, "T", "", InstallScope::PerUser);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("HOME"), std::string::npos) << e.what();
    }
}

TEST(ExpandFolderMacros, MatchesEveryMacroInAnyLetterCase) {
    const MacroFolders folders = SampleFolders();
    EXPECT_EQ(ExpandFolderMacros("%PROGRAM%\\bin", folders), "/opt/My App\\bin");
    EXPECT_EQ(ExpandFolderMacros("%Common%/x %SYSTEM% %wTemp%", folders),
              "/usr/local/share/x /usr/local/bin /tmp/kitforge-setup-1");
    EXPECT_EQ(ExpandFolderMacros("--dir=%program%", folders), "--dir=/opt/My App");
}

TEST(ExpandFolderMacros, LeavesOtherTokensAndInsertedTextAlone) {
    MacroFolders folders = SampleFolders();
    folders.program = "/odd/%wtemp%";
    EXPECT_EQ(ExpandFolderMacros("%program%", folders), "/odd/%wtemp%");
    EXPECT_EQ(ExpandFolderMacros("%apppath%\\a %progra% 100%", folders), "%apppath%\\a %progra% 100%");
    EXPECT_TRUE(StartsWithFolderMacro("%SyStEm%\\x"));
    EXPECT_FALSE(StartsWithFolderMacro("x%system%"));
}

TEST(ResolveScriptPath, MakesScriptFoldersIntoPathsHere) {
    const MacroFolders folders = SampleFolders();
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"%program%", "/opt/My App"},
        {"%program%\\MyApp\\", "/opt/My App/MyApp"},
        {"%program%\\\\!install0.exe", "/opt/My App/!install0.exe"},
        {"%COMMON%\\.\\doc", "/usr/local/share/doc"},
        {"data\\files", "/opt/My App/data/files"},
        {".\\a", "/opt/My App/a"},
        {"", "/opt/My App"},
        {"/etc/xdg\\x", "/etc/xdg/x"},
        {"\\usr\\share", "/usr/share"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveScriptPath(c.text, folders), c.expected) << c.text;
}

TEST(TidyPath, CollapsesSeparatorsAndDotParts) {
    EXPECT_EQ(TidyPath("/"), "/");
    EXPECT_EQ(TidyPath("//a//b/"), "/a/b");
    EXPECT_EQ(TidyPath("a/./b/."), "a/b");
    EXPECT_EQ(TidyPath("./"), "");
    EXPECT_EQ(TidyPath("a/../b"), "a/../b");
    EXPECT_EQ(TidyPath("a../b.."), "a../b..");
}

}  // namespace
}  // namespace kitforge::setup
