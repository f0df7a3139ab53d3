// The check the editor runs before a build: each row of a table is one script line (or output
// name) and the one problem it must raise, or none.

#include "installer/build_check.h"

#include <gtest/gtest.h>

#include <array>

#include "setup/folder_tokens.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

IniProfile Script(const std::string& entries) {
    return IniProfile::Parse("[info]\r\ntitle=T\r\n[script]\r\n" + entries);
}

TEST(BuildCheck, NamesEveryLineThatWouldFailSkipOrWriteOutsideTheInstallFolder) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", "a");
    const std::string here = folder.Path();
    const struct {
        const char* name;
        std::string entries;
        InstallerPlatform platform;
        std::string problem;  // a part of the one problem expected; empty for none
    } rows[] = {
        {"source beside the script", "1=extract \"%apppath%a.txt\" \"%program%\"", InstallerPlatform::Linux, ""},
        {"missing source, expanded", "3=extract \"%apppath%gone.txt\" \"%program%\"", InstallerPlatform::Linux,
         "Row 3: the source " + folder / "gone.txt" + " does not exist"},
        {"absolute source", "1=extract \"" + folder / "a.txt" + "\" \"%program%\"", InstallerPlatform::Linux,
         "Row 1: the source " + folder / "a.txt" + " is an absolute path"},
        {"missing absolute source", "1=extract \"/nowhere/x\" \"%program%\"", InstallerPlatform::Linux,
         "the source /nowhere/x does not exist"},
        {"absolute Put target", "2=extract \"%apppath%a.txt\" \"/home/me/out\"", InstallerPlatform::Linux,
         "Row 2: the target /home/me/out is a folder of this machine"},
        {"drive-letter target", "1=extract \"%apppath%a.txt\" \"C:\\Out\"", InstallerPlatform::Windows,
         "the target C:\\Out is a folder of this machine"},
        {"backslash-rooted target", "1=extract \"%apppath%a.txt\" \"\\srv\"", InstallerPlatform::Linux,
         "the target \\srv is a folder"},
        {"relative target is inside %program%", "1=extract \"%apppath%a.txt\" \"docs\"", InstallerPlatform::Linux, ""},
        {"macro target", "1=EXTRACT \"%apppath%a.txt\" \"%common%\\App\"", InstallerPlatform::Linux, ""},
        {"absolute Copy target", "4=copy %program%\\a.txt /etc", InstallerPlatform::Linux,
         "Row 4: the target /etc is a folder"},
        {"Copy source is read where it installs", "1=copy /etc/hosts %program%", InstallerPlatform::Linux, ""},
        {"token without a launcher folder", "5=link \"<FAVORITES>\\App\" \"%program%\\app\" \"\"",
         InstallerPlatform::Linux, "Row 5: the Linux installer has no launcher folder for <FAVORITES>"},
        {"the same for a Windows installer", "5=link \"<FAVORITES>\\App\" \"%program%\\app\" \"\"",
         InstallerPlatform::Windows, ""},
        {"unknown stub: checked as Linux", "5=LINK \"<BITBUCKET>\\App\" \"%program%\\app\" \"\"",
         InstallerPlatform::Unknown, "no launcher folder for <BITBUCKET>"},
        {"misspelt token", "1=link \"<DESKTOPP>\\App\" \"%program%\\app\" \"\"", InstallerPlatform::Linux,
         "no launcher folder for <DESKTOPP>"},
        {"token in any letter case", "1=link \"<desktop>\\App\" \"%program%\\app\" \"\"", InstallerPlatform::Linux, ""},
        {"launcher at a path of this machine", "1=link \"/home/me/Desktop/App\" \"%program%\\app\" \"\"",
         InstallerPlatform::Linux, "the target /home/me/Desktop/App is a folder"},
        {"command lines are not checked", "1=execute /bin/true\r\n2=run /usr/bin/x\r\n3=quit ",
         InstallerPlatform::Linux, ""},
        {"a key that is not a row number", "first=copy a /opt", InstallerPlatform::Linux, "Line \"first\": the target"},
    };
    for (const auto& row : rows) {
        const auto problems = CheckScriptLines(Script(row.entries), here, row.platform);
        if (row.problem.empty()) {
            EXPECT_TRUE(problems.empty()) << row.name << ": " << (problems.empty() ? "" : problems[0]);
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << row.name;
        EXPECT_NE(problems[0].find(row.problem), std::string::npos) << row.name << ": " << problems[0];
    }
}

// The check must skip exactly what the Linux installer skips: every token the editor offers, and
// one it does not, against the installer's own table.
TEST(BuildCheck, AgreesWithTheLinuxInstallerOnWhichTokensGetALauncher) {
    constexpr std::array<const char*, 32> kTokens = {
        "DESKTOP",
        "INTERNET",
        "PROGRAMS",
        "CONTROLS",
        "PRINTERS",
        "PERSONAL",
        "FAVORITES",
        "STARTUP",
        "RECENT",
        "SENDTO",
        "BITBUCKET",
        "STARTMENU",
        "DESKTOPDIRECTORY",
        "DRIVES",
        "NETWORK",
        "NETHOOD",
        "FONTS",
        "TEMPLATES",
        "COMMON_STARTMENU",
        "COMMON_PROGRAMS",
        "COMMON_STARTUP",
        "COMMON_DESKTOPDIRECTORY",
        "APPDATA",
        "PRINTHOOD",
        "ALTSTARTUP",
        "COMMON_ALTSTARTUP",
        "COMMON_FAVORITES",
        "INTERNET_CACHE",
        "COOKIES",
        "HISTORY",
        "QUICK_LAUNCH",
        "NOT_A_TOKEN",
    };
    setup::SetupEnvironment environment;
    environment.home = "/home/ann";
    setup::ApplyXdgDefaults(environment, "", "");
    for (const char* token : kTokens) {
        for (const auto scope : {setup::InstallScope::PerUser, setup::InstallScope::SystemWide}) {
            const bool installed =
                setup::ResolveSpecialFolder(token, environment, scope).kind == setup::SpecialFolder::Kind::Folder;
            const auto problems =
                CheckScriptLines(Script("1=link \"<" + std::string(token) + ">\\App\" \"%program%\\app\" \"\""), "/p/",
                                 InstallerPlatform::Linux);
            EXPECT_EQ(problems.empty(), installed) << token;
        }
    }
}

TEST(BuildCheck, AnOutputNameIsCheckedForTheSystemTheStubRunsOn) {
    const struct {
        const char* output;
        InstallerPlatform platform;
        bool listed;
    } rows[] = {
        {"/p/hello.exe", InstallerPlatform::Linux, false},  // the builder's default name
        {"/p/hello", InstallerPlatform::Linux, false},           {"/p/hello-1.2.run", InstallerPlatform::Linux, false},
        {"/p/hello.sh", InstallerPlatform::Linux, true},         {"/p/hello.ZIP", InstallerPlatform::Linux, true},
        {"/p/hello.desktop", InstallerPlatform::Linux, true},    {"/p/setup.msi", InstallerPlatform::Linux, true},
        {"C:\\p\\setup.EXE", InstallerPlatform::Windows, false}, {"C:\\p\\setup", InstallerPlatform::Windows, true},
        {"C:\\p\\setup.sh", InstallerPlatform::Windows, true},   {"/p/hello.sh", InstallerPlatform::Unknown, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CheckOutputName(row.output, row.platform).has_value(), row.listed) << row.output;
    }
}

TEST(BuildCheck, TellsTheStubsSystemByItsFirstBytesAndChecksTheSavedScript) {
    TempFolder folder;
    const struct {
        const char* name;
        std::string bytes;
        InstallerPlatform platform;
    } stubs[] = {
        {"elf",
         std::string("\x7F"
                     "ELF\x02\x01",
                     6),
         InstallerPlatform::Linux},
        {"pe", "MZ\x90", InstallerPlatform::Windows},
        {"script", "#!stub\n", InstallerPlatform::Unknown},
        {"empty", "", InstallerPlatform::Unknown},
    };
    for (const auto& stub : stubs) {
        WriteBytes(folder / stub.name, stub.bytes);
        EXPECT_EQ(StubPlatform(folder / stub.name), stub.platform) << stub.name;
    }
    EXPECT_EQ(StubPlatform(folder / "missing"), InstallerPlatform::Unknown);

    WriteBytes(folder / "s.inf", "[script]\r\n1=extract \"%apppath%gone\" \"%program%\"\r\n");
    const auto problems = CheckBuild(folder / "s.inf", folder / "s.sh", folder / "elf");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find(folder / "gone"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find(".sh"), std::string::npos) << problems[1];
    // A script that cannot be read raises nothing here: the build itself reports it.
    EXPECT_TRUE(CheckBuild(folder / "none.inf", folder / "s.sh", folder / "elf").empty());
}

}  // namespace
}  // namespace kitforge
