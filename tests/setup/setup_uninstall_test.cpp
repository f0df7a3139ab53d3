// Installing, then uninstalling with the uninstaller the installation left: what it removes,
// what it keeps and names, and that nothing outside what the installation wrote goes.

#include <gtest/gtest.h>

#include <ftw.h>
#include <unistd.h>

#include <map>

#include "formats/install_record.h"
#include "setup_run_fixture.h"

namespace kitforge::setup {
namespace {

// Every entry below `root` (but the installer itself): its kind and, for a file, its bytes;
// for a link, where it points.
std::map<std::string, std::string> Tree(const std::string& root) {
    static std::map<std::string, std::string>* tree;
    static std::string base;
    std::map<std::string, std::string> result;
    tree = &result;
    base = root.back() == '/' ? root.substr(0, root.size() - 1) : root;
    ::nftw(
        root.c_str(),
        [](const char* path, const struct stat* st, int type, struct FTW*) {
            const std::string full(path);
            const std::string name = full.size() > base.size() ? full.substr(base.size() + 1) : std::string();
            if (type == FTW_SL) {
                char target[4096];
                const ssize_t n = ::readlink(path, target, sizeof target);
                (*tree)[name] = "link " + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
            } else if (type == FTW_F) {
                (*tree)[name] = S_ISREG(st->st_mode) ? "file " + ReadBytes(path) : "other";
            } else {
                (*tree)[name] = "folder";
            }
            return 0;
        },
        16, FTW_PHYS);
    result.erase("setup.exe");
    result.erase("setup2.exe");
    return result;
}

class UninstallTest : public SetupRunTest {
protected:
    std::string Program() const { return root_ / "inst"; }
    std::string Uninstaller() const { return Program() + "/uninstall"; }

    int Uninstall(std::vector<std::string> arguments = {"--silent"}, const std::string& input = {}) {
        const std::string installer = installer_;
        installer_ = Uninstaller();
        const int status = Run(std::move(arguments), input);
        installer_ = installer;
        return status;
    }
};

// Whatever the script wrote, and wherever, uninstalling leaves the tree as it was.
TEST_F(UninstallTest, InstallThenUninstallLeavesEverythingAsBefore) {
    const testing::PayloadTestFile a{"a.txt", "alpha"};
    const testing::PayloadTestFile b{"b.sh", "#!/bin/sh\necho b\n"};
    struct Case {
        const char* name;
        std::vector<testing::PayloadTestFile> files;
        std::vector<std::string> lines;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"files in made folders",
         {a, b},
         {"EXTRACT a.txt %program%\\docs\\deep", "EXTRACT b.sh %program%"},
         {"--target", "inst"}},
        {"the default folder", {a}, {"EXTRACT a.txt %program%"}, {"--user"}},
        {"a copy into %system% through %wtemp%",
         {b},
         {"EXTRACT b.sh %wtemp%", "COPY %wtemp%\\b.sh %system%"},
         {"--target", "inst"}},
        {"launchers and the menu entry",
         {b},
         {"EXTRACT b.sh %program%", "LINK \"<DESKTOP>\\Demo.lnk\" \"%program%\\b.sh\" \"\"",
          "LINK \"<PROGRAMS>\\Demo\\Demo\" \"%program%\\b.sh\" \"--fast\""},
         {"--target", "inst"}},
    };
    ::mkdir((root_ / "home").c_str(), 0755);
    WriteBytes(root_ / "home/mine.txt", "the user's own");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MakeInstaller(c.files, c.lines);
        const auto before = Tree(root_.Path());
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("--silent");
        ASSERT_EQ(Run(arguments), kInstalled) << err_;
        const std::string program = c.arguments[0] == "--user" ? environment_.home + "/.local/opt/Demo App" : Program();
        ASSERT_TRUE(FileExists(program + "/uninstall"));
        const bool menu_entry = FileExists(environment_.data_home + "/applications/Uninstall Demo App.desktop");
        EXPECT_EQ(menu_entry, std::string(c.name) == "launchers and the menu entry");

        const std::string installer = installer_;
        installer_ = program + "/uninstall";
        EXPECT_EQ(Run({"--silent"}), kInstalled) << err_;
        installer_ = installer;
        EXPECT_NE(out_.find("Uninstallation complete."), std::string::npos) << out_;
        EXPECT_EQ(Tree(root_.Path()), before);
    }
}

TEST_F(UninstallTest, AChangedFileIsKeptAndNamed) {
    MakeInstaller({{"a.txt", "alpha"}, {"b.txt", "bravo"}}, {"EXTRACT a.txt %program%", "EXTRACT b.txt %program%"});
    ASSERT_EQ(Run({"--silent", "--target", "inst"}), kInstalled) << err_;
    WriteBytes(Program() + "/b.txt", "bravo, edited");

    EXPECT_EQ(Uninstall(), kInstalled) << err_;
    EXPECT_EQ(err_,
              "setup.exe: warning: kept because it was changed since it was installed: " + Program() + "/b.txt\n");
    EXPECT_EQ(Tree(Program() + "/"),
              (std::map<std::string, std::string>{{"", "folder"}, {"b.txt", "file bravo, edited"}}));
}

// An update installed over an earlier version: its uninstaller removes the files of both.
TEST_F(UninstallTest, InstallingAgainMergesTheRecords) {
    const auto before = Tree(root_.Path());
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%\\one"});
    ASSERT_EQ(Run({"--silent", "--target", "inst"}), kInstalled) << err_;
    MakeInstaller({{"a.txt", "alpha 2"}, {"b.txt", "bravo"}},
                  {"EXTRACT a.txt %program%\\one", "EXTRACT b.txt %program%\\two"});
    ASSERT_EQ(Run({"--silent", "--target", "inst"}), kInstalled) << err_;
    EXPECT_EQ(ReadBytes(Program() + "/one/a.txt"), "alpha 2");

    EXPECT_EQ(Uninstall(), kInstalled) << err_;
    EXPECT_TRUE(err_.empty()) << err_;  // a.txt is the second version's: unchanged
    EXPECT_EQ(Tree(root_.Path()), before);
}

// A cancel while the second file is written takes away the first, the folders and the rest.
TEST_F(UninstallTest, ACancelPartWayLeavesNothingOfTheRun) {
    class CancelAtSecondStep : public ScriptedWindow {
    public:
        using ScriptedWindow::ScriptedWindow;
        void Step(std::size_t number, std::size_t, const std::string&) override {
            if (number == 2) RequestCancel();
        }
    };
    MakeInstaller({{"a.txt", "alpha"}, {"b.txt", std::string(3u << 20, 'b')}, {"a.txt", "alpha"}},
                  {"EXTRACT a.txt %program%\\sub", "EXTRACT b.txt %program%", "EXTRACT a.txt %program%"});
    const auto before = Tree(root_.Path());
    ScriptedWindow::Record record;
    make_window_ = [&](const std::string&) { return std::make_unique<CancelAtSecondStep>(record, Program()); };
    EXPECT_EQ(Run({"--gui"}), kCancelled);
    EXPECT_EQ(record.complaints,
              std::vector<std::string>{"the installation was cancelled; what it had written was removed"});
    EXPECT_EQ(Tree(root_.Path()), before);
}

// What the record names but the installation did not leave as it was is never removed: a file
// elsewhere with other contents, a folder that is no longer empty, and what a link standing
// where a recorded folder or file was points to.
TEST_F(UninstallTest, RemovesNothingItShouldNot) {
    MakeInstaller({{"a.txt", "alpha"}, {"a.txt", "alpha"}},
                  {"EXTRACT a.txt %program%\\sub", "EXTRACT a.txt %program%"});
    const std::string elsewhere = root_ / "elsewhere";
    struct Case {
        const char* name;
        std::function<void()> after_install;
        int status;
    };
    const Case cases[] = {
        {"a link where a recorded folder was",
         [&] {
             ::system(("rm -rf '" + Program() + "/sub'").c_str());
             ASSERT_EQ(::symlink(elsewhere.c_str(), (Program() + "/sub").c_str()), 0);
         },
         kFailed},
        {"a link where a recorded file was",
         [&] {
             ::unlink((Program() + "/a.txt").c_str());
             ASSERT_EQ(::symlink((elsewhere + "/a.txt").c_str(), (Program() + "/a.txt").c_str()), 0);
         },
         kFailed},
        {"the user's file in a made folder", [&] { WriteBytes(Program() + "/sub/notes.txt", "mine"); }, kInstalled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::system(("rm -rf '" + Program() + "' '" + elsewhere + "'").c_str());
        ::mkdir(elsewhere.c_str(), 0755);
        WriteBytes(elsewhere + "/a.txt", "alpha");  // the same bytes as the installed file
        ASSERT_EQ(Run({"--silent", "--target", "inst"}), kInstalled) << err_;
        c.after_install();
        const auto outside = Tree(elsewhere + "/");
        EXPECT_EQ(Uninstall(), c.status) << err_;
        EXPECT_EQ(Tree(elsewhere + "/"), outside);
        if (c.status == kFailed) {
            EXPECT_NE(err_.find("was not removed"), std::string::npos) << err_;
            EXPECT_NE(err_.find("the uninstallation is incomplete"), std::string::npos) << err_;
        }
    }

    // A record that names a file the installation never wrote.
    WriteBytes(elsewhere + "/precious.txt", "not installed");
    formats::InstallRecord record{"Demo App",
                                  Program(),
                                  {{formats::InstallItemKind::File, elsewhere + "/precious.txt", 5, {}},
                                   {formats::InstallItemKind::Folder, elsewhere, 0, {}}}};
    const auto bytes = *formats::EncodeInstallRecord(record);
    const auto trail = formats::UninstallerTrail(static_cast<std::uint32_t>(bytes.size()));
    ::mkdir(Program().c_str(), 0755);
    WriteBytes(Uninstaller(),
               "#!stub\n" + std::string(bytes.begin(), bytes.end()) + std::string(trail.begin(), trail.end()));
    EXPECT_EQ(Uninstall(), kInstalled) << err_;
    EXPECT_EQ(ReadBytes(elsewhere + "/precious.txt"), "not installed");
    EXPECT_NE(err_.find("kept because it was changed since it was installed: " + elsewhere + "/precious.txt"),
              std::string::npos)
        << err_;
}

// The uninstaller's command line: its own help, the install-only options refused, the record
// listed and checked, EXIT removing nothing, and a damaged record refused.
TEST_F(UninstallTest, TheUninstallerCommandLine) {
    MakeInstaller({{"a.txt", "alpha"}}, {"EXTRACT a.txt %program%"});
    ASSERT_EQ(Run({"--silent", "--target", "inst"}), kInstalled) << err_;
    const std::string good = ReadBytes(Uninstaller());
    std::string damaged = good;
    damaged[damaged.size() - 30] ^= 1;
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        std::string bytes;
        int status;
        std::string expected;  // in what it printed
    };
    const Case cases[] = {
        {"help", {"--help"}, "", good, kInstalled, "Removes what an installation wrote"},
        {"target", {"--target", "x"}, "", good, kBadUsage, "--target is for installing"},
        {"list", {"--list"}, "", good, kInstalled, "  file " + Program() + "/a.txt (5 bytes)\n"},
        {"check", {"--check"}, "", good, kInstalled, "is sound; its record lists 3 items"},
        {"exit",
         {},
         "exit\n",
         good,
         kCancelled,
         "Installed in: " + Program() + "\nUninstall or exit? [uninstall/exit] Nothing was removed."},
        {"damaged", {"--silent"}, "", damaged, kFailed, "the install record is damaged: its check does not match"},
        {"answered", {}, "u\n", good, kInstalled, "Uninstallation complete."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(Uninstaller(), c.bytes);
        EXPECT_EQ(Uninstall(c.arguments, c.input), c.status) << err_;
        EXPECT_NE((out_ + err_).find(c.expected), std::string::npos) << out_ << err_;
        EXPECT_EQ(FileExists(Program() + "/a.txt"), std::string(c.name) != "answered");
    }
}

}  // namespace
}  // namespace kitforge::setup
