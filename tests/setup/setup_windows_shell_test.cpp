// What an installation gives Windows' shell, computed the same on every system: which folder
// each LINK token stands for, the shortcut's name and command line, and the entry of the
// installation in Settings > Apps.

#include <gtest/gtest.h>

#include "setup/folder_tokens.h"
#include "setup/shell_folder_tokens.h"
#include "setup/uninstall_entry.h"
#include "setup/windows_shortcut.h"

namespace kitforge::setup {
namespace {

using formats::InstallItemKind;

TEST(ShellFolderOfToken, MapsEveryTokenOfTheEditorAndOnlyThose) {
    constexpr auto kUser = InstallScope::PerUser;
    constexpr auto kMachine = InstallScope::SystemWide;
    struct Case {
        const char* token;
        InstallScope scope;
        ShellFolder folder;
    };
    const Case cases[] = {
        {"DESKTOP", kUser, ShellFolder::Desktop},
        {"desktop", kMachine, ShellFolder::CommonDesktop},
        {"DESKTOPDIRECTORY", kUser, ShellFolder::Desktop},
        {"PROGRAMS", kMachine, ShellFolder::CommonPrograms},
        {"STARTMENU", kUser, ShellFolder::StartMenu},
        {"STARTUP", kMachine, ShellFolder::CommonStartup},
        {"ALTSTARTUP", kUser, ShellFolder::Startup},
        // A per-user installation may not write the shared folders: COMMON_ means the user's.
        {"COMMON_PROGRAMS", kUser, ShellFolder::Programs},
        {"COMMON_PROGRAMS", kMachine, ShellFolder::CommonPrograms},
        {"COMMON_DESKTOPDIRECTORY", kUser, ShellFolder::Desktop},
        {"COMMON_STARTMENU", kMachine, ShellFolder::CommonStartMenu},
        {"COMMON_ALTSTARTUP", kMachine, ShellFolder::CommonStartup},
        {"PERSONAL", kMachine, ShellFolder::Documents},
        {"APPDATA", kUser, ShellFolder::AppData},
        {"APPDATA", kMachine, ShellFolder::CommonAppData},
        {"TEMPLATES", kMachine, ShellFolder::CommonTemplates},
        {"SENDTO", kUser, ShellFolder::SendTo},
        {"QUICK_LAUNCH", kUser, ShellFolder::QuickLaunch},
        {"COMMON_FAVORITES", kMachine, ShellFolder::Favorites},
        // Virtual folders hold no files; the fonts folder takes fonts only.
        {"PRINTERS", kUser, ShellFolder::None},
        {"BITBUCKET", kMachine, ShellFolder::None},
        {"FONTS", kUser, ShellFolder::None},
        {"CONTROLS", kUser, ShellFolder::None},
        {"SOMEWHERE", kUser, ShellFolder::Unknown},
        {"", kUser, ShellFolder::Unknown},
        {"DESKTOP ", kUser, ShellFolder::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token);
        EXPECT_EQ(ShellFolderOfToken(c.token, c.scope), c.folder);
    }
    // Every token of the editor is known, in both scopes.
    for (const auto token : SpecialFolderTokens()) {
        SCOPED_TRACE(std::string(token));
        EXPECT_NE(ShellFolderOfToken(token, kUser), ShellFolder::Unknown);
        EXPECT_NE(ShellFolderOfToken(token, kMachine), ShellFolder::Unknown);
    }
    EXPECT_EQ(SpecialFolderTokens().size(), 31u);
}

TEST(WindowsShortcutTexts, NameTheFileAndQuoteTheCommandLineAsWindowsSplitsIt) {
    EXPECT_EQ(ShortcutFileName("Hello Kitforge"), "Hello Kitforge.lnk");
    EXPECT_EQ(ShortcutFileName("Hello.desktop"), "Hello.lnk");
    EXPECT_EQ(ShortcutFileName("Hello.LNK"), "Hello.lnk");
    EXPECT_EQ(WindowsPathText("C:/Users/ann/My App/run.exe"), "C:\\Users\\ann\\My App\\run.exe");
    struct Case {
        std::vector<std::string> words;
        const char* line;
    };
    const Case cases[] = {
        {{}, ""},
        {{"plain", "--flag=1"}, "plain --flag=1"},
        {{"two words"}, "\"two words\""},
        {{""}, "\"\""},
        {{"say \"hi\""}, "\"say \\\"hi\\\"\""},
        // Backslashes are literal, except before a double quote, the closing one included.
        {{"C:\\a b\\"}, "\"C:\\a b\\\\\""},
        {{"a\\\\\"b"}, "\"a\\\\\\\\\\\"b\""},
        {{"C:\\path\\file"}, "C:\\path\\file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(WindowsCommandLine(c.words), c.line);
    }
}

TEST(UninstallEntry, KeyIsTheInstallFolderSoReinstallsReplaceAndProductsDoNotCollide) {
    const std::string key = UninstallKeyName("C:/Users/ann/AppData/Local/Programs/Hello");
    EXPECT_EQ(key.rfind("Kitforge_", 0), 0u);
    EXPECT_EQ(key.size(), 9u + 16u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef", 9), std::string::npos);
    // Windows does not tell letter case or separators apart: the same folder, the same key.
    EXPECT_EQ(UninstallKeyName("c:\\users\\ANN\\AppData\\Local\\Programs\\Hello"), key);
    EXPECT_NE(UninstallKeyName("C:/Users/ann/AppData/Local/Programs/Hello2"), key);
    EXPECT_NE(UninstallKeyName("C:/Users/bob/AppData/Local/Programs/Hello"), key);
}

TEST(UninstallEntry, HoldsTheValuesSettingsShowsAndLeavesOutWhatTheInstallerDoesNotName) {
    formats::InstallRecord record;
    record.title = "Hello Kitforge";
    record.program_folder = "C:/Programs/Hello";
    record.items = {
        {InstallItemKind::Folder, "C:/Programs/Hello", 0, {}},
        {InstallItemKind::File, "C:/Programs/Hello/a.exe", 1024, {}},
        {InstallItemKind::File, "C:/Programs/Hello/b.txt", 1025, {}},
        {InstallItemKind::File, "C:/Programs/Hello/empty", 0, {}},
        {InstallItemKind::Launcher, "C:/Users/ann/Desktop/Hello.lnk", 900, {}},
        {InstallItemKind::Uninstaller, "C:/Programs/Hello/uninstall.exe", 0, {}},
    };
    const UninstallEntry entry = MakeUninstallEntry(record, "C:/Programs/Hello/uninstall.exe", {"1.2.3", "Ann & Co"});
    EXPECT_EQ(entry.key, UninstallKeyName(record.program_folder));
    const std::vector<RegistryValue> expected = {
        {"DisplayName", std::string("Hello Kitforge")},
        {"DisplayVersion", std::string("1.2.3")},
        {"Publisher", std::string("Ann & Co")},
        {"DisplayIcon", std::string("C:\\Programs\\Hello\\uninstall.exe")},
        // Files only, each rounded up to whole KiB: 1 + 2 + 0.
        {"EstimatedSize", std::uint32_t{3}},
        {"UninstallString", std::string("\"C:\\Programs\\Hello\\uninstall.exe\"")},
        {"QuietUninstallString", std::string("\"C:\\Programs\\Hello\\uninstall.exe\" --silent")},
        {"InstallLocation", std::string("C:\\Programs\\Hello")},
        {"NoModify", std::uint32_t{1}},
        {"NoRepair", std::uint32_t{1}},
    };
    EXPECT_EQ(entry.values, expected);

    // Before the installer carries a version or a publisher, and for an untitled script.
    record.title.clear();
    const UninstallEntry bare = MakeUninstallEntry(record, "C:/Programs/Hello/uninstall.exe", {});
    for (const auto& value : bare.values) {
        EXPECT_NE(value.name, "DisplayVersion");
        EXPECT_NE(value.name, "Publisher");
    }
    EXPECT_EQ(bare.values.front(), (RegistryValue{"DisplayName", std::string("Hello")}));

    // A size past what a DWORD holds is the most it holds, not a wrapped small one.
    record.items = {{InstallItemKind::File, "C:/Programs/Hello/big", 1ull << 42, {}},
                    {InstallItemKind::File, "C:/Programs/Hello/big2", 1ull << 42, {}}};
    EXPECT_EQ(EstimatedSizeKiB(record.items), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kitforge::setup
