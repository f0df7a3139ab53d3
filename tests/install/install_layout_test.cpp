// The installed tree as `cmake --install` lays it out from this build, and the installed
// programs run through their links in bin/: they must find the stubs and the zip library in
// the program folder behind the link, and what they build must install the example's files
// byte for byte. Each test installs into a fresh prefix of its own.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge::testing {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = "lib/kitforge/";
const std::string kExampleFolder = "share/kitforge/examples/hello/";

bool IsExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

bool IsElf(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    return bytes.compare(0, 4,
                         "\x7f"
                         "ELF") == 0;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// Width and height from a PNG's header chunk; {0, 0} when the file is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto big_endian = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {big_endian(16), big_endian(20)};
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

std::set<std::string> ExpectedPrograms() {
    std::set<std::string> programs = {"kitforge-cli"};
    if (KITFORGE_WITH_EDITOR) programs.insert("kitforge");
    return programs;
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"work", "home", "tmp"}) ::mkdir((root_.Path() + folder).c_str(), 0755);
        const ProgramResult result =
            RunProgram({KITFORGE_CMAKE_COMMAND, "--install", KITFORGE_BUILD_DIR, "--prefix", Prefix()});
        ASSERT_EQ(result.status, 0) << result.out << result.err;
    }

    std::string Prefix(const std::string& name = {}) const { return root_.Path() + "prefix/" + name; }
    std::string Work(const std::string& name = {}) const { return root_.Path() + "work/" + name; }

    // Runs an installer or self-extracting file with HOME, the XDG folders and TMPDIR inside the
    // test's folder, so its launchers land there and nothing outside changes.
    ProgramResult RunWithTestHome(std::vector<std::string> command) const {
        std::vector<std::string> full = {"env",
                                         "-u",
                                         "XDG_DATA_HOME",
                                         "-u",
                                         "XDG_CONFIG_HOME",
                                         "HOME=" + root_.Path() + "home",
                                         "TMPDIR=" + root_.Path() + "tmp"};
        full.insert(full.end(), command.begin(), command.end());
        return RunProgram(full, Work());
    }

    // The example's installer files compared with what the installer put into `target`.
    void ExpectExampleInstalledIn(const std::string& target) const {
        for (const char* name : {"hello.sh", "readme.txt"}) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(fs::is_regular_file(target + name));
            EXPECT_EQ(ReadBytes(target + name), ReadBytes(Prefix(kExampleFolder + "files/" + name)));
        }
        EXPECT_TRUE(IsExecutable(target + "hello.sh"));
    }

    TempFolder root_;
};

TEST_F(InstalledTree, ProgramFolderHoldsEveryArtefactExactlyAsBuilt) {
    std::set<std::string> expected = ExpectedPrograms();
    expected.insert({"setup.ex_", "zipsfx.bin", "zipsfx-text.bin", "ZIPDLL.DLL"});
    if (KITFORGE_WITH_EDITOR) expected.insert("readme.txt");
    EXPECT_EQ(NamesIn(Prefix(kProgramFolder)), expected);
    for (const auto& name : expected) {
        SCOPED_TRACE(name);
        // Every installer and self-extracting file is a copy of a stub: the install must not
        // change a byte of them (the self-extracting stub is padded to a 64 KiB boundary).
        EXPECT_EQ(ReadBytes(Prefix(kProgramFolder + name)), ReadBytes(BuiltProgram(name)));
        if (name != "readme.txt" && name != "ZIPDLL.DLL") {
            EXPECT_TRUE(IsExecutable(Prefix(kProgramFolder + name)));
        }
    }
}

TEST_F(InstalledTree, BinHoldsRelativeLinksAndNoOtherProgramIsInstalled) {
    EXPECT_EQ(NamesIn(Prefix("bin")), ExpectedPrograms());
    for (const auto& name : ExpectedPrograms()) {
        SCOPED_TRACE(name);
        const fs::path link = Prefix("bin/" + name);
        ASSERT_TRUE(fs::is_symlink(link));
        EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
        EXPECT_EQ(fs::canonical(link), fs::canonical(Prefix(kProgramFolder + name)));
    }
    // Test, benchmark and fuzz programs stay in the build tree: the only native programs in
    // the whole installed tree are the programs, the stubs and the zip library.
    std::set<std::string> native;
    for (const auto& entry : fs::recursive_directory_iterator(Prefix())) {
        if (entry.is_regular_file() && !entry.is_symlink() && IsElf(entry.path().string()))
            native.insert(fs::relative(entry.path(), Prefix()).string());
    }
    std::set<std::string> expected;
    for (const auto& name : ExpectedPrograms()) expected.insert(kProgramFolder + name);
    for (const char* name : {"setup.ex_", "zipsfx.bin", "zipsfx-text.bin", "ZIPDLL.DLL"})
        expected.insert(kProgramFolder + name);
    EXPECT_EQ(native, expected);
}

TEST_F(InstalledTree, DesktopEntryStartsTheInstalledEditorWithItsIcon) {
    if (!KITFORGE_WITH_EDITOR) GTEST_SKIP() << "built without the editor";
    const std::string entry = Prefix("share/applications/kitforge.desktop");
    const std::string text = ReadBytes(entry);
    EXPECT_TRUE(StartsWith(text, "[Desktop Entry]\n"));
    EXPECT_NE(text.find("\nExec=kitforge %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=kitforge\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=Development;\n"), std::string::npos) << text;
    EXPECT_TRUE(IsExecutable(Prefix("bin/kitforge")));
    for (const std::uint32_t size : {48u, 128u, 256u}) {
        const std::string side = std::to_string(size);
        SCOPED_TRACE(side);
        const auto [width, height] = PngSize(Prefix("share/icons/hicolor/" + side + "x" + side + "/apps/kitforge.png"));
        EXPECT_EQ(width, size);
        EXPECT_EQ(height, size);
    }
    const std::string svg = ReadBytes(Prefix("share/icons/hicolor/scalable/apps/kitforge.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    // The validator of the freedesktop tools, when this machine has it (desktop-file-utils).
    const ProgramResult validated = RunProgram({"desktop-file-validate", entry});
    if (validated.status != 127) {
        EXPECT_EQ(validated.status, 0) << validated.out << validated.err;
    }
}

TEST_F(InstalledTree, DocumentationKeepsItsLinksAndTheExampleIsComplete) {
    const std::string docs = Prefix("share/doc/kitforge/");
    EXPECT_EQ(ReadBytes(docs + "README.md"), ReadBytes(KITFORGE_SOURCE_DIR "/README.md"));
    int documents = 0;
    for (const auto& entry : fs::directory_iterator(KITFORGE_SOURCE_DIR "/docs")) {
        if (entry.path().extension() != ".md") continue;
        ++documents;
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(ReadBytes(docs + "docs/" + name), ReadBytes(entry.path().string())) << name;
    }
    EXPECT_GT(documents, 0);
    // Every link of the read-me into docs/ leads to an installed file.
    const std::string readme = ReadBytes(docs + "README.md");
    int links = 0;
    for (std::size_t at = readme.find("](docs/"); at != std::string::npos; at = readme.find("](docs/", at + 1)) {
        const std::size_t end = readme.find(')', at);
        ASSERT_NE(end, std::string::npos);
        std::string target = readme.substr(at + 2, end - at - 2);
        target = target.substr(0, target.find('#'));  // a section of the page
        ++links;
        EXPECT_TRUE(fs::is_regular_file(docs + target)) << target;
    }
    EXPECT_GT(links, 0);
    for (const char* name : {"hello.inf", "hello-compressed.inf", "files/hello.sh", "files/readme.txt"}) {
        EXPECT_EQ(ReadBytes(Prefix(kExampleFolder + name)),
                  ReadBytes(std::string(KITFORGE_SOURCE_DIR "/examples/hello/") + name))
            << name;
    }
    EXPECT_TRUE(IsExecutable(Prefix(kExampleFolder + "files/hello.sh")));
}

// The manual pages are made from the programs' own help, so they must list every command the
// built program has, be compressed reproducibly (gzip -n: no time stamp), and render without a
// warning from man. The copyright file carries the licence text of LICENSE.
TEST_F(InstalledTree, ManualPagesCoverEveryCommandAndCopyrightCarriesTheLicence) {
    for (const auto& name : ExpectedPrograms()) {
        SCOPED_TRACE(name);
        const std::string page = Prefix("share/man/man1/" + name + ".1.gz");
        const std::string packed = ReadBytes(page);
        ASSERT_GE(packed.size(), 10u);
        EXPECT_EQ(packed.compare(0, 2, "\x1f\x8b"), 0);
        EXPECT_EQ(packed.substr(4, 4), std::string(4, '\0')) << "time stamp in the gzip header";
        const ProgramResult text = RunProgram({"gzip", "-dc", page});
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_TRUE(StartsWith(text.out, ".TH ")) << text.out.substr(0, 80);

        std::string escaped_name = name;
        if (name == "kitforge-cli") escaped_name = "kitforge\\-cli";
        EXPECT_NE(text.out.find("\n.SH NAME\n" + escaped_name + " \\- "), std::string::npos);
        // Every command in the program's help has its section.
        const std::string help = RunProgram({BuiltProgram(name), "--help"}).out;
        const std::size_t listing = help.find("\nSubcommands:\n");
        const std::size_t listing_end = help.find("\n\n", listing);
        int commands = 0;
        for (std::size_t at = help.find("\n  ", listing); listing != std::string::npos && at < listing_end;
             at = help.find("\n  ", at + 1)) {
            if (help[at + 3] == ' ') continue;  // a wrapped description
            const std::string command = help.substr(at + 3, help.find(' ', at + 3) - at - 3);
            ++commands;
            EXPECT_NE(text.out.find(".SS \"" + command + "\"\n"), std::string::npos) << command;
        }
        if (name == "kitforge-cli") {
            EXPECT_GE(commands, 9);
        }
        const ProgramResult rendered = RunProgram({"env", "MANWIDTH=80", "man", "--warnings", "-l", page});
        if (rendered.status != 127) {
            EXPECT_EQ(rendered.status, 0) << rendered.err;
            EXPECT_EQ(rendered.err.find("warning"), std::string::npos) << rendered.err;
        }
    }
    const std::string copyright = ReadBytes(Prefix("share/doc/kitforge/copyright"));
    EXPECT_TRUE(StartsWith(copyright, "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    // LICENSE after its title and copyright line, as a field's continuation lines (" " or " .").
    const std::string licence = ReadBytes(KITFORGE_SOURCE_DIR "/LICENSE");
    const std::size_t body = licence.find("\n\n", licence.find("Copyright (c) 2026 Kitforge developers"));
    ASSERT_NE(body, std::string::npos);
    std::string field;
    for (std::size_t at = body + 2; at < licence.size();) {
        const std::size_t end = licence.find('\n', at);
        const std::string line = licence.substr(at, end - at);
        field += line.empty() ? " .\n" : " " + line + "\n";
        at = end + 1;
    }
    EXPECT_NE(copyright.find("Files: *\nCopyright: 2026 Kitforge developers\nLicense: MIT\n" + field),
              std::string::npos);
}

TEST_F(InstalledTree, InstalledBuilderMakesTheExampleInstallerWithTheInstalledStub) {
    // No --stub: the builder takes setup.ex_ from its program folder, behind the link.
    const std::string installer = Work("hello.exe");
    const ProgramResult built = RunProgram(
        {Prefix("bin/kitforge-cli"), "build", "-q", Prefix(kExampleFolder + "hello.inf"), "-o", installer}, Work());
    ASSERT_EQ(built.status, 0) << built.out << built.err;
    const std::string stub = ReadBytes(Prefix(kProgramFolder + "setup.ex_"));
    EXPECT_TRUE(StartsWith(ReadBytes(installer), stub));

    const std::string target = Work("installed");
    const ProgramResult installed = RunWithTestHome({installer, "--silent", "--user", "--target", target});
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    ExpectExampleInstalledIn(target + "/");
    // The example's shortcut became a launcher in the test's home, pointing at the installed script.
    bool launcher = false;
    for (const auto& entry : fs::recursive_directory_iterator(root_.Path() + "home")) {
        if (entry.path().extension() == ".desktop")
            launcher = launcher || ReadBytes(entry.path().string()).find(target + "/hello.sh") != std::string::npos;
    }
    EXPECT_TRUE(launcher);
}

TEST_F(InstalledTree, InstalledBuilderFindsTheZipLibraryAndTheSelfExtractingStub) {
    // A compressed build packs its groups beside the script, so it runs on a copy of the example.
    fs::copy(Prefix(kExampleFolder), Work("hello"), fs::copy_options::recursive);
    const std::string installer = Work("hello-compressed.exe");
    const ProgramResult built = RunProgram(
        {Prefix("bin/kitforge-cli"), "build", "-q", Work("hello/hello-compressed.inf"), "-o", installer}, Work());
    ASSERT_EQ(built.status, 0) << built.out << built.err;
    const ProgramResult installed =
        RunWithTestHome({installer, "--silent", "--user", "--target", Work("installed-compressed")});
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    ExpectExampleInstalledIn(Work("installed-compressed/"));

    // A self-extracting zip: the zip library packs, and the stub comes from the program folder.
    const ProgramResult sfx = RunProgram({Prefix("bin/kitforge-cli"), "sfx", Work("hello/files/readme.txt"),
                                          Work("hello/files/hello.sh"), "-o", Work("bundle")},
                                         Work());
    ASSERT_EQ(sfx.status, 0) << sfx.out << sfx.err;
    EXPECT_TRUE(StartsWith(ReadBytes(Work("bundle.exe")), ReadBytes(Prefix(kProgramFolder + "zipsfx.bin"))));
    const ProgramResult extracted = RunWithTestHome({Work("bundle.exe"), "-d", Work("extracted"), "--silent"});
    ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
    ExpectExampleInstalledIn(Work("extracted/"));
}

TEST_F(InstalledTree, InstalledEditorStartsThroughItsLink) {
    if (!KITFORGE_WITH_EDITOR) GTEST_SKIP() << "built without the editor";
    const ProgramResult version = RunProgram({Prefix("bin/kitforge"), "--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_TRUE(StartsWith(version.out, "kitforge ")) << version.out;
    // The same answer as the built editor gives: the link runs the installed copy of it.
    EXPECT_EQ(version.out, RunProgram({BuiltProgram("kitforge"), "--version"}).out);
    // One version for every program and the read-me: "kitforge 2.1.0.33" goes with
    // "kitforge-cli 2.1.0.33" and a read-me headed "KITFORGE 2.1".
    const std::string number = version.out.substr(std::string("kitforge ").size());
    EXPECT_EQ(RunProgram({Prefix("bin/kitforge-cli"), "--version"}).out, "kitforge-cli " + number);
    const std::string major_minor = number.substr(0, number.find('.', number.find('.') + 1));
    EXPECT_TRUE(StartsWith(ReadBytes(Prefix(kProgramFolder + "readme.txt")), "KITFORGE " + major_minor + "\n"));
}

// What CPack does for the Debian package: a stripped install into a staging folder (DESTDIR)
// with the final prefix. The links must stay relative, so that they lead into the staged
// program folder; stripping must leave the stubs as built (every installer is a copy of one)
// and keep the editor's embedded version block, which its About box reads from its own file.
TEST(StagedInstall, StrippedStagedTreeKeepsLinksStubsAndVersionBlock) {
    TempFolder stage;
    const ProgramResult result = RunProgram({"env", "DESTDIR=" + stage.Path(), KITFORGE_CMAKE_COMMAND, "--install",
                                             KITFORGE_BUILD_DIR, "--prefix", "/usr", "--strip"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string folder = stage.Path() + "usr/" + kProgramFolder;
    const std::string cli = stage.Path() + "usr/bin/kitforge-cli";
    ASSERT_TRUE(fs::is_symlink(cli));
    EXPECT_EQ(fs::canonical(cli), fs::canonical(folder + "kitforge-cli"));
    const ProgramResult help = RunProgram({cli, "--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    for (const char* stub : {"setup.ex_", "zipsfx.bin", "zipsfx-text.bin"})
        EXPECT_EQ(ReadBytes(folder + stub), ReadBytes(BuiltProgram(stub))) << stub;
    if (KITFORGE_WITH_EDITOR) {
        const ProgramResult staged = RunProgram({cli, "version-info", folder + "kitforge"});
        EXPECT_EQ(staged.status, 0) << staged.err;
        EXPECT_NE(staged.out.find("FileVersion:"), std::string::npos) << staged.out;
        EXPECT_EQ(staged.out, RunProgram({cli, "version-info", BuiltProgram("kitforge")}).out);
    }
}

}  // namespace
}  // namespace kitforge::testing
