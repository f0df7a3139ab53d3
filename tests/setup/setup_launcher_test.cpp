// Launchers: the .desktop text, where each special-folder token puts it, and the refusals.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "os/errors.h"
#include "setup/desktop_launcher.h"
#include "setup/launcher_location.h"
#include "setup/folder_tokens.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

SetupEnvironment EnvironmentAt(const std::string& home) {
    SetupEnvironment environment;
    environment.home = home;
    ApplyXdgDefaults(environment, "", "");
    return environment;
}

std::string ExecLine(const std::string& text) {
    const std::size_t start = text.find("\nExec=");
    return text.substr(start + 6, text.find('\n', start + 1) - start - 6);
}

TEST(DesktopEntryText, QuotesAndEscapesExecWordsAsLaunchersRead) {
    Launcher launcher;
    launcher.name = "Hello";
    launcher.words = {"/opt/My App/run.sh", "--name=$USER", "50%", "a\\b", "plain", ""};
    // Quoted words escape " ` $ \ with a backslash, and the value then doubles every backslash.
    EXPECT_EQ(ExecLine(DesktopEntryText(launcher)),
              "\"/opt/My App/run.sh\" \"--name=\\\\$USER\" 50%% \"a\\\\\\\\b\" plain \"\"");
}

TEST(DesktopEntryText, WritesAnApplicationEntry) {
    Launcher launcher;
    launcher.name = " Tab\there\\";
    launcher.words = {"tool"};
    launcher.working_folder = "/opt/T";
    EXPECT_EQ(DesktopEntryText(launcher),
              "[Desktop Entry]\nType=Application\nVersion=1.0\nName=\\sTab\\there\\\\\nExec=tool\n"
              "Path=/opt/T\nTerminal=false\n");
}

TEST(LauncherFileName, EndsInDesktopOnce) {
    EXPECT_EQ(LauncherFileName("Hello Kitforge"), "Hello Kitforge.desktop");
    EXPECT_EQ(LauncherFileName("Hello.LNK"), "Hello.desktop");
    EXPECT_EQ(LauncherFileName("Hello.desktop"), "Hello.desktop");
    EXPECT_EQ(LauncherDisplayName("Hello.lnk"), "Hello");
}

TEST(ResolveSpecialFolder, MapsTokensToFreedesktopFolders) {
    const SetupEnvironment environment = EnvironmentAt("/home/ann");
    struct Case {
        const char* token;
        InstallScope scope;
        SpecialFolder::Kind kind;
        const char* folder;
    };
    const Case cases[] = {
        {"DESKTOP", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/Desktop"},
        {"desktopdirectory", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/Desktop"},
        {"PROGRAMS", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/.local/share/applications"},
        {"COMMON_PROGRAMS", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/.local/share/applications"},
        {"STARTMENU", InstallScope::SystemWide, SpecialFolder::Kind::Folder, "/usr/local/share/applications"},
        {"STARTUP", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/.config/autostart"},
        {"COMMON_ALTSTARTUP", InstallScope::SystemWide, SpecialFolder::Kind::Folder, "/etc/xdg/autostart"},
        {"PERSONAL", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/Documents"},
        {"TEMPLATES", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/Templates"},
        {"APPDATA", InstallScope::PerUser, SpecialFolder::Kind::Folder, "/home/ann/.local/share"},
        {"BITBUCKET", InstallScope::PerUser, SpecialFolder::Kind::NoCounterpart, ""},
        {"QUICK_LAUNCH", InstallScope::PerUser, SpecialFolder::Kind::NoCounterpart, ""},
        {"FONTS", InstallScope::PerUser, SpecialFolder::Kind::NoCounterpart, ""},
        {"DESKTOPS", InstallScope::PerUser, SpecialFolder::Kind::Unknown, ""},
        {"", InstallScope::PerUser, SpecialFolder::Kind::Unknown, ""},
    };
    for (const auto& c : cases) {
        const SpecialFolder folder = ResolveSpecialFolder(c.token, environment, c.scope);
        EXPECT_EQ(folder.kind, c.kind) << c.token;
        EXPECT_EQ(folder.folder, c.folder) << c.token;
    }
}

TEST(ResolveSpecialFolder, TakesTheDesktopTheUserChose) {
    TempFolder home;
    SetupEnvironment environment = EnvironmentAt(home.Path() + "ann");
    ::mkdir((home.Path() + "ann").c_str(), 0755);
    ::mkdir(environment.config_home.c_str(), 0755);
    WriteBytes(environment.config_home + "/user-dirs.dirs",
               "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
               "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\nXDG_TEMPLATES_DIR=\"Vorlagen\"\n");
    EXPECT_EQ(ResolveSpecialFolder("DESKTOP", environment, InstallScope::PerUser).folder,
              environment.home + "/Schreibtisch");
    EXPECT_EQ(ResolveSpecialFolder("PERSONAL", environment, InstallScope::PerUser).folder, "/srv/docs");
    // A relative entry is not valid: the default stands.
    EXPECT_EQ(ResolveSpecialFolder("TEMPLATES", environment, InstallScope::PerUser).folder,
              environment.home + "/Templates");
}

TEST(UserFolderEntry, ReadsOnlyWellFormedEntries) {
    EXPECT_EQ(UserFolderEntry("XDG_DESKTOP_DIR = \"$HOME\"\n", "DESKTOP", "/h"), "/h");
    EXPECT_EQ(UserFolderEntry("XDG_DESKTOP_DIR=\"$HOMEX/a\"\n", "DESKTOP", "/h"), "");
    EXPECT_EQ(UserFolderEntry("XDG_DESKTOP_DIR=$HOME/a\n", "DESKTOP", "/h"), "");
    EXPECT_EQ(UserFolderEntry("XDG_DOWNLOAD_DIR=\"/d\"\n", "DESKTOP", "/h"), "");
}

TEST(ResolveLauncherLocation, PutsLaunchersInOrBelowTheTokensFolder) {
    const SetupEnvironment environment = EnvironmentAt("/home/ann");
    const MacroFolders folders{"/opt/App", "", "/usr/local/share", "/usr/local/bin"};
    auto at = [&](const char* location) {
        return ResolveLauncherLocation(location, folders, environment, InstallScope::PerUser);
    };
    EXPECT_EQ(at("<DESKTOP>\\Hello Kitforge").folder, "/home/ann/Desktop");
    EXPECT_EQ(at("<DESKTOP>\\Hello Kitforge").name, "Hello Kitforge");
    EXPECT_EQ(at("<programs>/Tools\\\\Hello").folder, "/home/ann/.local/share/applications/Tools");
    EXPECT_EQ(at("%program%\\Hello").folder, "/opt/App");
    EXPECT_EQ(at("%program%\\Hello").name, "Hello");
    EXPECT_EQ(at("<NOPE>\\Hello").kind, LauncherLocation::Kind::UnknownToken);
    EXPECT_EQ(at("<NOPE>\\Hello").token, "<NOPE>");
    EXPECT_EQ(at("<RECENT>\\Hello").kind, LauncherLocation::Kind::NoCounterpart);
    EXPECT_THROW(at("<DESKTOP>\\..\\..\\.bashrc"), Error);
    EXPECT_THROW(at("<DESKTOP>\\"), Error);
    EXPECT_THROW(at("<DESKTOP\\Hello"), Error);
}

}  // namespace
}  // namespace kitforge::setup
