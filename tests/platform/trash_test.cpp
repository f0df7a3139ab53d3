// The freedesktop trash behind the zip component's undoable delete. Every test points
// XDG_DATA_HOME at a temporary folder, so the user's own trash is never touched.

#include "platform/trash.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "os/errors.h"
#include "os/file.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
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

class Trash : public ::testing::Test {
protected:
    std::string TrashPath(const std::string& name) const { return data / ("Trash/" + name); }

    TempFolder data;
    TempFolder work;
    ScopedEnvironment xdg{"XDG_DATA_HOME", data.Path()};
};

TEST_F(Trash, MovesTheFileAndWritesARestorableRecord) {
    const std::string path = work / "my file%.zip";
    WriteBytes(path, "zip bytes");
    EXPECT_EQ(ShellDeleteFile(path, true), 0);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ReadBytes(TrashPath("files/my file%.zip")), "zip bytes");
    const std::string info = ReadBytes(TrashPath("info/my file%.zip.trashinfo"));
    const std::string encoded = PercentEncodePath(path);
    EXPECT_NE(encoded.find("my%20file%25.zip"), std::string::npos) << encoded;
    const std::string head = "[Trash Info]\nPath=" + encoded + "\nDeletionDate=";
    ASSERT_EQ(info.substr(0, head.size()), head) << info;
    // The date as YYYY-MM-DDThh:mm:ss, then the line end.
    const std::string date = info.substr(head.size());
    const std::string shape = "dddd-dd-ddTdd:dd:dd\n";
    ASSERT_EQ(date.size(), shape.size()) << info;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd') {
            EXPECT_TRUE(date[i] >= '0' && date[i] <= '9') << info;
        } else {
            EXPECT_EQ(date[i], shape[i]) << info;
        }
    }

    struct stat trash_info {};
    ASSERT_EQ(::stat(TrashPath("").c_str(), &trash_info), 0);
    EXPECT_EQ(trash_info.st_mode & 0777, 0700u);
}

TEST_F(Trash, NameClashesGetNumberedNames) {
    for (int i = 1; i <= 3; ++i) {
        WriteBytes(work / "same.zip", "copy " + std::to_string(i));
        EXPECT_EQ(ShellDeleteFile(work / "same.zip", true), 0);
    }
    EXPECT_EQ(ReadBytes(TrashPath("files/same.zip")), "copy 1");
    EXPECT_EQ(ReadBytes(TrashPath("files/same.zip.2")), "copy 2");
    EXPECT_EQ(ReadBytes(TrashPath("files/same.zip.3")), "copy 3");
    EXPECT_TRUE(FileExists(TrashPath("info/same.zip.3.trashinfo")));

    // A name held in files/ without its record (left by another program) is not reused.
    WriteBytes(TrashPath("files/other.zip"), "orphan");
    WriteBytes(work / "other.zip", "new");
    EXPECT_EQ(MoveToTrash(work / "other.zip"), "other.zip.2");
    EXPECT_EQ(ReadBytes(TrashPath("files/other.zip")), "orphan");
}

TEST_F(Trash, FinalDeleteAndMissingFiles) {
    WriteBytes(work / "gone.zip", "x");
    EXPECT_EQ(ShellDeleteFile(work / "gone.zip", false), 0);
    EXPECT_FALSE(FileExists(work / "gone.zip"));
    EXPECT_FALSE(FolderExists(TrashPath("")));  // nothing went to the trash
    EXPECT_EQ(ShellDeleteFile(work / "gone.zip", false), -1);
    EXPECT_EQ(ShellDeleteFile(work / "gone.zip", true), -1);
}

TEST_F(Trash, ABareNameIsTakenInTheCurrentFolder) {
    WriteBytes(work / "here.zip", "x");
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(work.Path().c_str()), 0);
    const int result = ShellDeleteFile("here.zip", true);
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(result, 0);
    const std::string info = ReadBytes(TrashPath("info/here.zip.trashinfo"));
    EXPECT_NE(info.find("Path=" + PercentEncodePath(work / "here.zip") + "\n"), std::string::npos) << info;
}

TEST_F(Trash, AFailedMoveLeavesTheFileAndNoRecord) {
    WriteBytes(work / "stuck.zip", "x");
    ::mkdir((data / "Trash").c_str(), 0700);
    ::mkdir((data / "Trash/files").c_str(), 0700);
    ::mkdir((data / "Trash/info").c_str(), 0700);
    ::chmod((data / "Trash/files").c_str(), 0500);  // the move into files/ fails
    if (::access((data / "Trash/files").c_str(), W_OK) == 0) {
        ::chmod((data / "Trash/files").c_str(), 0700);
        GTEST_SKIP() << "permission bits do not bind this user (root)";
    }
    EXPECT_EQ(ShellDeleteFile(work / "stuck.zip", true), EACCES);
    ::chmod((data / "Trash/files").c_str(), 0700);
    EXPECT_TRUE(FileExists(work / "stuck.zip"));
    EXPECT_FALSE(FileExists(TrashPath("info/stuck.zip.trashinfo")));
}

TEST_F(Trash, AFileOnAnotherFileSystemIsCopiedThenDeleted) {
    // /dev/shm is a memory file system on most machines; the temporary folders are not.
    struct stat shm {
    }, tmp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(work.Path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
        ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second file system to move across";
    }
    char pattern[] = "/dev/shm/kitforge-trash-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string other = std::string(pattern) + "/far.zip";
    std::string big(3 << 20, 'q');
    WriteBytes(other, big);
    ::chmod(other.c_str(), 0640);
    EXPECT_EQ(ShellDeleteFile(other, true), 0);
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(ReadBytes(TrashPath("files/far.zip")), big);
    struct stat copied {};
    ASSERT_EQ(::stat(TrashPath("files/far.zip").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 0777, 0640u);

    // A copy that fails half way (a file size limit, as a full disk would) leaves the file
    // where it was and nothing in the trash. The limit is set in a child process.
    WriteBytes(other, big);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(ShellDeleteFile(other, true) == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadBytes(other), big);
    EXPECT_FALSE(FileExists(TrashPath("files/far.zip.2")));
    EXPECT_FALSE(FileExists(TrashPath("info/far.zip.2.trashinfo")));
    ::unlink(other.c_str());
    ::rmdir(pattern);
}

TEST_F(Trash, FolderComesFromXdgDataHomeThenHome) {
    EXPECT_EQ(TrashFolder(), data.Path() + "Trash");
    {
        ScopedEnvironment relative("XDG_DATA_HOME", "relative/path");
        ScopedEnvironment home("HOME", "/home/someone");
        EXPECT_EQ(TrashFolder(), "/home/someone/.local/share/Trash");
    }
    ScopedEnvironment unset("XDG_DATA_HOME", std::nullopt);
    ScopedEnvironment no_home("HOME", std::nullopt);
    EXPECT_THROW(TrashFolder(), Error);
}

TEST(TrashPathEncoding, KeepsOnlyUnreservedBytes) {
    EXPECT_EQ(PercentEncodePath("/a/b-c_d.e~f"), "/a/b-c_d.e~f");
    EXPECT_EQ(PercentEncodePath("/x y/%#?&"), "/x%20y/%25%23%3F%26");
    EXPECT_EQ(PercentEncodePath("/caf\xC3\xA9"), "/caf%C3%A9");
}

}  // namespace
}  // namespace kitforge
