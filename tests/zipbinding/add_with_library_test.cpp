// Add through the real ZIPDLL.DLL, as the tool uses it: a new archive, a new self-extracting
// executable (written empty first, then filled by the library), cancelling, and the hand-off of
// a multi-volume Add's temporary archive.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "zip/zip_master.h"
#include "zip/zip_master_internals.h"

namespace {

using kitforge::TZipMaster;
using kitforge::testing::ReadBytes;
using kitforge::testing::ScriptedUiHost;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;

int RunShell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class AddWithLibrary : public ::testing::Test {
protected:
    ScriptedUiHost host;
    TZipMaster zip{host};
    TempFolder folder;
    int dir_updates = 0;
    std::vector<std::pair<int, std::string>> messages;

    void SetUp() override {
        zip.SetDLLDirectory(KITFORGE_BIN_DIR);
        zip.OnDirUpdate = [this](TZipMaster&) { ++dir_updates; };
        zip.OnMessage = [this](TZipMaster&, int code, const std::string& text) { messages.emplace_back(code, text); };
        WriteBytes(folder / "a.txt", std::string(20000, 'a'));
        WriteBytes(folder / "b.txt", "bee");
    }

    // The tool's own way: full paths, no options, then Add.
    void AddFiles(const std::string& archive) {
        zip.FSpecArgs() = {folder / "a.txt", folder / "b.txt"};
        zip.SetAddOptions({});
        zip.SetZipFilename(archive);
        dir_updates = 0;
        zip.Add();
    }
};

TEST_F(AddWithLibrary, MakesAnArchiveAndReadsItsDirectoryAgain) {
    AddFiles(folder / "new.zip");
    EXPECT_EQ(zip.AddedCount(), 2);
    EXPECT_EQ(dir_updates, 1);
    ASSERT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.Entries()[0].FileName, "a.txt");
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_FALSE(zip.LibraryLoaded());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(RunShell("unzip -t " + folder / "new.zip"), 0);
}

TEST_F(AddWithLibrary, ANewExecutableGetsTheStubFirstAndTheFilesAfter) {
    const std::string stub = "MZ" + std::string(3000, '\x90');
    WriteBytes(folder / "stub.bin", stub);
    zip.SetSFXPath(folder / "stub.bin");
    AddFiles(folder / "setup.exe");
    EXPECT_EQ(zip.AddedCount(), 2);
    EXPECT_FALSE(kitforge::ZipMasterInternals::Operation(zip).EmptySFXMode);
    std::string written = ReadBytes(folder / "setup.exe");
    for (const auto& message : host.messages) ADD_FAILURE() << message.text;
    EXPECT_TRUE(written.compare(0, stub.size(), stub) == 0);
    EXPECT_EQ(written.substr(stub.size(), 3), "MPU");  // the self-extracting header follows
    EXPECT_EQ(RunShell("unzip -t " + folder / "setup.exe"), 0);
    EXPECT_EQ(zip.Entries().size(), 2u);

    // Adding to the existing executable keeps the stub and the old entries.
    WriteBytes(folder / "c.txt", "sea");
    zip.FSpecArgs() = {folder / "c.txt"};
    zip.Add();
    EXPECT_EQ(zip.AddedCount(), 1);
    EXPECT_TRUE(ReadBytes(folder / "setup.exe").compare(0, stub.size(), stub) == 0);
    EXPECT_EQ(zip.Entries().size(), 3u);
    EXPECT_EQ(RunShell("unzip -t " + folder / "setup.exe"), 0);
}

TEST_F(AddWithLibrary, CancelFromAProgressHandlerLeavesTheArchiveAsItWas) {
    AddFiles(folder / "keep.zip");
    std::string before = ReadBytes(folder / "keep.zip");
    WriteBytes(folder / "a.txt", std::string(20000, 'z'));
    zip.OnProgress = [](TZipMaster& sender, kitforge::ProgressType type, const std::string&, std::int64_t) {
        if (type == kitforge::ProgressFileStart) sender.SetCancelRequested(true);
    };
    AddFiles(folder / "keep.zip");
    EXPECT_EQ(zip.AddedCount(), 0);
    EXPECT_FALSE(zip.CancelRequested());
    EXPECT_TRUE(ReadBytes(folder / "keep.zip") == before);
    EXPECT_EQ(dir_updates, 0);  // nothing added: the directory is not read again
}

// On a fixed drive the volumes are numbered files beside the target.
TEST_F(AddWithLibrary, AMultiVolumeAddHandsItsTemporaryArchiveToTheSpanWriterAndDeletesIt) {
    ASSERT_EQ(mkdir((folder / "scratch").c_str(), 0755), 0);
    zip.SetTempDir(folder.Path() + "scratch");
    zip.SetVerbose(true);
    zip.SetUnattended(true);
    zip.FSpecArgs() = {folder / "a.txt", folder / "b.txt"};
    zip.SetZipFilename(folder / "set.zip");
    zip.SetAddOptions({kitforge::AddDiskSpan});
    messages.clear();
    zip.Add();
    EXPECT_EQ(zip.AddedCount(), 2);
    ASSERT_FALSE(messages.empty());
    const std::string prefix = "Temporary zipfile: ";
    ASSERT_EQ(messages[0].second.rfind(prefix, 0), 0u) << messages[0].second;
    const std::string temporary = messages[0].second.substr(prefix.size());
    EXPECT_EQ(temporary.rfind(folder / "scratch/zip", 0), 0u) << temporary;
    EXPECT_NE(access(temporary.c_str(), F_OK), 0);  // deleted after the hand-off
    EXPECT_EQ(access((folder / "set001.zip").c_str(), F_OK), 0);
    EXPECT_EQ(zip.TempDir().back(), '\\');  // the property keeps the separator it was given
}

}  // namespace
