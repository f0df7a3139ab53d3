// MakeSFX byte for byte on archives built by the tests, with a small stand-in stub: the checks
// and their order, the three forms of the archive, the results and what survives a failure.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "os/file.h"
#include "support/temp_folder.h"
#include "zip/sfx_stub_header.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::BuiltArchive;
using testing::ReadBytes;
using testing::Stored;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) {
        char old[4096];
        if (::getcwd(old, sizeof old) != nullptr) old_ = old;
        if (::chdir(folder.c_str()) != 0) ADD_FAILURE() << "cannot enter " << folder;
    }
    ~ScopedCurrentFolder() {
        if (::chdir(old_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << old_;
    }

private:
    std::string old_;
};

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    return formats::GetU32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}

void PutU32At(std::string& bytes, std::size_t at, std::uint32_t value) {
    formats::PutU32LE(reinterpret_cast<std::uint8_t*>(bytes.data()) + at, value);
}

// `archive` with every stored offset moved by `shift`, as the conversion should write it.
std::string Moved(const BuiltArchive& archive, std::uint32_t shift) {
    std::string bytes = archive.bytes;
    for (std::size_t at : archive.central_entries) PutU32At(bytes, at + 42, U32At(bytes, at + 42) + shift);
    PutU32At(bytes, archive.end_record + 16, U32At(bytes, archive.end_record + 16) + shift);
    return bytes;
}

std::string HeaderText(const SFXStubHeader& header) { return std::string(header.begin(), header.end()); }

class MakeSFXTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(stub_path, stub);
        h.zip.SetSFXPath(stub_path);
        h.zip.SetHowToDelete(htdFinal);
    }

    // Writes `archive` as `name` in the folder and makes it the component's archive.
    std::string Source(const BuiltArchive& archive, const std::string& name = "data.zip") {
        const std::string path = folder / name;
        WriteBytes(path, archive.bytes);
        h.Read(path);
        return path;
    }

    BuiltArchive TwoFiles(const std::string& comment = "") {
        testing::ArchiveOptions options;
        options.comment = comment;
        return BuildArchive({Stored("a.txt", "alpha\n"), Stored("dir/b.txt", std::string(3000, 'b'))}, options);
    }

    // The header the component's initial settings give.
    std::string InitialHeader() const {
        return HeaderText(BuildSFXStubHeader(SFXOpts{SFXCheckSize}, OvrConfirm, "Self-extracting Archive", "", ""));
    }

    TempFolder folder;
    TempFolder trash;
    ScopedEnvironment xdg{"XDG_DATA_HOME", trash.Path()};
    std::string stub = "STUB" + std::string(996, 's');
    std::string stub_path = folder / "stub.bin";
    static constexpr std::uint32_t kShift = 1000 + 256;
    ZipHarness h;
};

TEST_F(MakeSFXTest, NormalConversionMovesEveryOffsetAndKeepsTheComment) {
    const BuiltArchive archive = TwoFiles("the comment");
    const std::string source = Source(archive);
    const std::vector<ZipDirEntry> before = h.zip.Entries();

    ASSERT_EQ(h.zip.MakeSFX(), 0) << ::testing::PrintToString(h.Ids());
    const std::string exe = folder / "data.exe";
    EXPECT_EQ(ReadBytes(exe), stub + InitialHeader() + Moved(archive, kShift));
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(h.zip.ZipFilename(), exe);
    EXPECT_EQ(h.zip.SFXPath(), stub_path);
    ASSERT_EQ(h.zip.Entries().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(h.zip.Entries()[i].LocalHeaderOffset, before[i].LocalHeaderOffset + kShift);
    }
    EXPECT_FALSE(h.zip.OffsetsShifted());
    EXPECT_EQ(h.zip.StubSize(), kShift);
    EXPECT_EQ(h.zip.ArchiveComment(), "the comment");
    EXPECT_TRUE(h.reports.empty()) << h.reports.front().text;
    EXPECT_FALSE(h.host.busy);
    EXPECT_GE(h.host.busy_changes, 2);

    struct stat info {};
    ASSERT_EQ(::stat(exe.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);  // the executable can be run
}

TEST_F(MakeSFXTest, OutputNameAndExtensionRules) {
    struct Row {
        const char* source;
        const char* output;
    };
    for (const Row row : {Row{"data.zip", "data.exe"}, Row{"data.Zip", "data.exe"}, Row{"DATA.ZIP", "DATA.exe"},
                          Row{"v1.2.zip", "v1.2.exe"}}) {
        TempFolder here;
        const std::string source = here / row.source;
        WriteBytes(source, TwoFiles().bytes);
        h.Read(source);
        EXPECT_EQ(h.zip.MakeSFX(), 0) << row.source;
        EXPECT_TRUE(FileExists(here / row.output)) << row.source;
    }

    const std::string zap = Source(TwoFiles(), "data.zap");
    h.reports.clear();
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    EXPECT_EQ(h.Ids(), std::vector<int>{zip_msg::kSfxSourceNotZip});
    EXPECT_TRUE(FileExists(zap));
    EXPECT_FALSE(FileExists(folder / "data.exe"));

    // The stub search comes first: with no stub anywhere, the name is not even looked at.
    ScopedCurrentFolder inside(folder.Path());
    h.zip.SetSFXPath(folder / "missing.bin");
    h.reports.clear();
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    EXPECT_EQ(h.Ids(), std::vector<int>{zip_msg::kSfxStubNotFound});
}

TEST_F(MakeSFXTest, AnArchiveWithNoEntriesBecomesStubHeaderAndEndRecord) {
    Source(BuildArchive({}));
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const std::string exe = ReadBytes(folder / "data.exe");
    ASSERT_EQ(exe.size(), 1000u + 256u + 22u);
    EXPECT_EQ(U32At(exe, 1256), formats::kEndRecordSignature);
    EXPECT_EQ(U32At(exe, 1256 + 16), kShift);
}

TEST_F(MakeSFXTest, TheStubSearchGoesThroughItsPlacesInOrder) {
    const std::string source = Source(TwoFiles());
    ScopedCurrentFolder inside(folder.Path());
    h.zip.SetSFXPath(folder / "nowhere/zipsfx.bin");
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    EXPECT_EQ(h.Ids(), std::vector<int>{zip_msg::kSfxStubNotFound});
    EXPECT_EQ(h.zip.SFXPath(), "");
    EXPECT_FALSE(FileExists(folder / "data.exe"));
    EXPECT_TRUE(FileExists(source));

    // The library folder is the last place; the path keeps the separator it was made with.
    TempFolder library;
    WriteBytes(library / "ZipSFX.bin", "LIBRARY STUB");
    h.zip.SetDLLDirectory(library / "");
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    EXPECT_EQ(h.zip.SFXPath(), library.Path().substr(0, library.Path().size() - 1) + "\\ZipSFX.bin");
    EXPECT_EQ(ReadBytes(folder / "data.exe").substr(0, 12), "LIBRARY STUB");

    // After a failed search the next one starts at ZipSFX.bin in the current folder, which
    // comes before the library folder.
    h.zip.SetSFXPath("");
    WriteBytes(folder / "ZipSFX.bin", "CURRENT FOLDER STUB");
    Source(TwoFiles(), "again.zip");
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    EXPECT_EQ(h.zip.SFXPath(), "ZipSFX.bin");
    EXPECT_EQ(ReadBytes(folder / "again.exe").substr(0, 19), "CURRENT FOLDER STUB");
}

TEST_F(MakeSFXTest, AnExistingOutputAndTheSourceGoToTheTrash) {
    h.zip.SetHowToDelete(htdAllowUndo);
    WriteBytes(folder / "data.exe", "the old executable");
    const BuiltArchive archive = TwoFiles();
    Source(archive);
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    EXPECT_EQ(ReadBytes(trash / "Trash/files/data.exe"), "the old executable");
    EXPECT_EQ(ReadBytes(trash / "Trash/files/data.zip"), archive.bytes);
    EXPECT_TRUE(FileExists(trash / "Trash/info/data.zip.trashinfo"));
    EXPECT_EQ(ReadBytes(folder / "data.exe").size(), 1256 + archive.bytes.size());
}

TEST_F(MakeSFXTest, EmptySFXModeWritesAnEmptyArchiveUnderTheArchiveName) {
    const std::string exe = folder / "new.exe";
    h.Read(exe);
    WriteBytes(folder / "bystander.zip", "untouched");
    ZipMasterInternals::Operation(h.zip).EmptySFXMode = true;
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const std::string bytes = ReadBytes(exe);
    ASSERT_EQ(bytes.size(), 1000u + 256u + 22u);
    EXPECT_EQ(bytes.substr(0, 1256), stub + InitialHeader());
    EXPECT_EQ(U32At(bytes, 1256 + 16), kShift);
    EXPECT_EQ(h.zip.ZipFilename(), exe);
    EXPECT_EQ(ReadBytes(folder / "bystander.zip"), "untouched");
}

TEST_F(MakeSFXTest, TheThreeTextsMayTake249Characters) {
    Source(TwoFiles());
    h.zip.SetSFXCaption(std::string(200, 'c'));
    h.zip.SetSFXDefaultDir(std::string(40, 'd'));
    h.zip.SetSFXCommandLine(std::string(9, 'm'));
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    const std::string header = ReadBytes(folder / "data.exe").substr(1000, 256);
    EXPECT_EQ(header.substr(7), std::string(200, 'c') + std::string(40, 'd') + std::string(9, 'm'));

    const std::string source = Source(TwoFiles(), "more.zip");
    h.zip.SetSFXCommandLine(std::string(10, 'm'));
    h.reports.clear();
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    ASSERT_EQ(h.Ids(), std::vector<int>{zip_msg::kSfxTextsTooLong});
    const std::string tail = "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = 250";
    const std::string& text = h.reports[0].text;
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_FALSE(FileExists(folder / "more.exe"));
    EXPECT_TRUE(FileExists(source));
}

TEST_F(MakeSFXTest, MissingSourceIsReportedFirst) {
    h.Read(folder / "gone.zip");
    h.zip.SetSFXCaption(std::string(300, 'x'));  // would fail the next check
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    EXPECT_EQ(h.Ids(), std::vector<int>{zip_msg::kNoArchiveName});
}

TEST_F(MakeSFXTest, AShiftedSourceIsCopiedWhole) {
    testing::ArchiveOptions options;
    options.stub = std::string(5000, 'o');  // an old stub; the offsets count from the zip data
    const BuiltArchive archive = BuildArchive({Stored("a.txt", "alpha"), Stored("b.txt", "beta")}, options);
    Source(archive);
    ASSERT_TRUE(h.zip.OffsetsShifted());
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    EXPECT_EQ(ReadBytes(folder / "data.exe"), stub + InitialHeader() + archive.bytes);
}

TEST_F(MakeSFXTest, BytesAfterTheCommentAreLeftOutWithAWarning) {
    testing::ArchiveOptions options;
    options.comment = "note";
    options.trailing = "TRAILING";
    const BuiltArchive archive = BuildArchive({Stored("a.txt", "alpha")}, options);
    Source(archive);
    h.reports.clear();
    ASSERT_EQ(h.zip.MakeSFX(), 0);
    EXPECT_EQ(h.Ids().front(), zip_msg::kBytesAfterComment);
    const std::string expected = Moved(archive, kShift);
    EXPECT_EQ(ReadBytes(folder / "data.exe"), stub + InitialHeader() + expected.substr(0, expected.size() - 8));
}

// Every failure from the creation of the output on: the result, the source untouched, and no
// output left behind.
TEST_F(MakeSFXTest, FailuresKeepTheSourceAndRemoveTheOutput) {
    const BuiltArchive archive = TwoFiles();

    // The archive became unreadable after its directory was read.
    std::string source = Source(archive);
    WriteBytes(source, std::string(100, 'j'));
    EXPECT_EQ(h.zip.MakeSFX(), -3);
    EXPECT_EQ(ReadBytes(source), std::string(100, 'j'));
    EXPECT_FALSE(FileExists(folder / "data.exe"));

    // The output's name is taken by a folder.
    source = Source(archive, "folder.zip");
    ASSERT_EQ(::mkdir((folder / "folder.exe").c_str(), 0755), 0);
    EXPECT_EQ(h.zip.MakeSFX(), -1);
    EXPECT_EQ(ReadBytes(source), archive.bytes);

    // The directory no longer matches the archive: a record's signature was damaged.
    source = Source(archive, "signature.zip");
    std::string damaged = archive.bytes;
    damaged[archive.central_entries[1]] = 'X';
    WriteBytes(source, damaged);
    h.reports.clear();
    EXPECT_EQ(h.zip.MakeSFX(), -2);
    EXPECT_TRUE(h.reports.empty());  // the rewrite's own ids are never shown
    EXPECT_FALSE(FileExists(folder / "signature.exe"));
    EXPECT_EQ(ReadBytes(source), damaged);

    // Bytes between the directory and the end record: the output would not add up.
    std::string padded = archive.bytes;
    padded.insert(archive.end_record, "0123456789");
    PutU32At(padded, archive.end_record + 10 + 12, U32At(padded, archive.end_record + 10 + 12) + 10);
    source = folder / "padded.zip";
    WriteBytes(source, padded);
    h.Read(source);
    ASSERT_EQ(h.zip.ZipFilename(), source);
    ASSERT_FALSE(h.zip.OffsetsShifted());
    EXPECT_EQ(h.zip.MakeSFX(), -9);
    EXPECT_FALSE(FileExists(folder / "padded.exe"));
    EXPECT_EQ(ReadBytes(source), padded);
}

TEST_F(MakeSFXTest, AnOffsetThatWouldNotFitIsAFailureNotAWrappedNumber) {
    BuiltArchive archive = TwoFiles();
    PutU32At(archive.bytes, archive.central_entries[1] + 42, 0xFFFFFE00u);  // + 1256 passes 4 GiB
    const std::string source = Source(archive);
    ASSERT_EQ(h.zip.ZipFilename(), source);
    EXPECT_EQ(h.zip.MakeSFX(), -2);
    EXPECT_FALSE(FileExists(folder / "data.exe"));
    EXPECT_EQ(ReadBytes(source), archive.bytes);
}

// Runs `convert` in a child process whose files may grow to `limit` bytes, so that a write
// past it fails as on a full disk and the test program keeps its own limit; gives the child's
// exit status, or -1 when it did not exit.
int ExitStatusWithFileLimit(rlim_t limit, const std::function<int()>& convert) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limits{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &limits);
        ::_exit(convert());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A directory that cannot be moved is refused before the archive's data is copied: with room
// for little more than the stub, the refusal names the record, not a write that fell short.
TEST_F(MakeSFXTest, ADirectoryThatCannotBeMovedIsRefusedBeforeTheDataIsCopied) {
    BuiltArchive archive = BuildArchive({Stored("a.txt", "alpha\n"), Stored("big.bin", std::string(300000, 'z'))});
    PutU32At(archive.bytes, archive.central_entries[1] + 42, 0xFFFFFE00u);
    const std::string source = Source(archive);
    ASSERT_EQ(h.zip.ZipFilename(), source);
    EXPECT_EQ(ExitStatusWithFileLimit(20000,
                                      [&] {
                                          const int result = h.zip.MakeSFX();
                                          const bool named = h.zip.LastFileFailure().find(
                                                                 "central record 2 (\"big.bin\")") != std::string::npos;
                                          return result == -2 && named ? 0 : 1;
                                      }),
              0);
    EXPECT_FALSE(FileExists(folder / "data.exe"));
    EXPECT_EQ(ReadBytes(source), archive.bytes);
}

TEST_F(MakeSFXTest, AShortWriteIsAFailureThatRemovesTheOutput) {
    const BuiltArchive archive = TwoFiles();
    const std::string source = Source(archive);
    EXPECT_EQ(ExitStatusWithFileLimit(2000,
                                      [&] {
                                          const int result = h.zip.MakeSFX();
                                          return result == -2 ? 0 : 10 - result;
                                      }),
              0);
    EXPECT_FALSE(FileExists(folder / "data.exe"));
    EXPECT_EQ(ReadBytes(source), archive.bytes);
}

// A link planted at the output's name, dangling or pointing at another file, is replaced by
// the executable; nothing is created or written where it points, and no temporary file stays.
TEST_F(MakeSFXTest, ALinkAtTheOutputNameIsReplacedNeverFollowed) {
    h.zip.SetHowToDelete(htdAllowUndo);
    ASSERT_EQ(::mkdir((folder / "elsewhere").c_str(), 0755), 0);
    WriteBytes(folder / "elsewhere/kept", "another file");
    for (const char* pointed : {"elsewhere/created", "elsewhere/kept"}) {
        SCOPED_TRACE(pointed);
        const BuiltArchive archive = TwoFiles();
        Source(archive);
        ::unlink((folder / "data.exe").c_str());
        ASSERT_EQ(::symlink((folder / pointed).c_str(), (folder / "data.exe").c_str()), 0);
        ASSERT_EQ(h.zip.MakeSFX(), 0) << h.zip.LastFileFailure();
        struct stat info {};
        ASSERT_EQ(::lstat((folder / "data.exe").c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(ReadBytes(folder / "data.exe"), stub + InitialHeader() + Moved(archive, kShift));
        EXPECT_FALSE(FileExists(folder / "elsewhere/created"));
        EXPECT_EQ(ReadBytes(folder / "elsewhere/kept"), "another file");
    }
    for (const auto& file : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_NE(file.path().filename().string().rfind(".data.exe.", 0), 0u) << file.path();
    }
}

// 65,535 entries fit the end record's count exactly: with no zip64 locator before the record,
// 0xFFFF is the real count, not the zip64 marker.
TEST_F(MakeSFXTest, AnArchiveOf65535EntriesIsAPlainArchive) {
    std::vector<testing::BuilderEntry> entries;
    for (int i = 0; i < 0xFFFF; ++i) entries.push_back(Stored("f" + std::to_string(i), "x"));
    const BuiltArchive archive = BuildArchive(entries);
    Source(archive);
    ASSERT_EQ(h.zip.Entries().size(), 0xFFFFu);
    ASSERT_EQ(h.zip.MakeSFX(), 0) << h.zip.LastFileFailure();
    EXPECT_EQ(ReadBytes(folder / "data.exe"), stub + InitialHeader() + Moved(archive, kShift));
    EXPECT_EQ(h.zip.Entries().size(), 0xFFFFu);
}

TEST_F(MakeSFXTest, CopyChunkedCopiesACountOrToTheEndAndLetsMessagesRun) {
    std::string data;
    for (int i = 0; i < (10 << 20) / 4; ++i) data += static_cast<char>(i * 31) + std::string("xyz");
    WriteBytes(folder / "from.bin", data);
    File from = File::OpenRead(folder / "from.bin");
    File to = File::Create(folder / "to.bin");
    ASSERT_EQ(ZipMasterInternals::CopyChunked(h.zip, from, to, 5000), 0);
    EXPECT_EQ(to.Position(), 5000);
    const int calls_before = h.host.process_messages_calls;
    ASSERT_EQ(ZipMasterInternals::CopyChunked(h.zip, from, to, -1), 0);
    EXPECT_GE(h.host.process_messages_calls - calls_before, 2);  // a 10 MiB copy in several chunks
    // At the end: a short read is no error.
    EXPECT_EQ(ZipMasterInternals::CopyChunked(h.zip, from, to, 100), 0);
    to.Close();
    EXPECT_EQ(ReadBytes(folder / "to.bin"), data);
}

}  // namespace
}  // namespace kitforge
