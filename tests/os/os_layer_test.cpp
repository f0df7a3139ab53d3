// The OS layer's promises that the writers above it rely on: a temporary file goes away unless
// it is renamed into place, a folder is entered only when it really is one, and reads and
// writes at an offset leave the position alone.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/file.h"
#include "os/folder.h"
#include "os/temporary_file.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(TemporaryFile, GoesAwayUnlessRenamedIntoPlace) {
    TempFolder folder;
    std::string dropped;
    {
        int error = 0;
        TemporaryFile temporary = TemporaryFile::Create(folder / ".out.", 0600, &error);
        ASSERT_TRUE(temporary.IsOpen()) << error;
        dropped = temporary.Path();
        EXPECT_EQ(dropped.rfind(folder / ".out.", 0), 0u) << dropped;
        EXPECT_TRUE(FileExists(dropped));
    }
    EXPECT_FALSE(FileExists(dropped));

    WriteBytes(folder / "out", "old");
    int error = 0;
    TemporaryFile temporary = TemporaryFile::Create(folder / ".out.", 0600, &error);
    temporary.Open().WriteAll(std::string_view("new"));
    temporary.Open().Close();
    ASSERT_EQ(temporary.RenameOver(folder / "out"), 0);
    temporary = TemporaryFile();
    EXPECT_EQ(ReadBytes(folder / "out"), "new") << "a kept file must survive its TemporaryFile";
}

TEST(Folder, EntersOnlyRealFoldersAndCreatesOnlyNewFiles) {
    TempFolder folder;
    WriteBytes(folder / "victim", "precious");
    ASSERT_EQ(::mkdir((folder / "real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((folder / "real").c_str(), (folder / "linked").c_str()), 0);
    ASSERT_EQ(::symlink((folder / "victim").c_str(), (folder / "real/planted").c_str()), 0);
    int error = 0;
    const auto root = Folder::Open(folder.Path(), &error);
    ASSERT_TRUE(root) << error;

    // A link and a file are refused alike (ELOOP or ENOTDIR, as the system says it).
    struct Row {
        const char* name;
        bool entered;
        bool refused_as_no_folder;
    };
    for (const Row& row : {Row{"real", true, false}, Row{"linked", false, true}, Row{"victim", false, true},
                           Row{"gone", false, false}}) {
        error = 0;
        const auto entered = root->Enter(row.name, &error);
        EXPECT_EQ(entered.has_value(), row.entered) << row.name;
        EXPECT_EQ(error == ELOOP || error == ENOTDIR, row.refused_as_no_folder) << row.name << ": " << error;
    }

    const auto real = root->Enter("real", &error);
    ASSERT_TRUE(real);
    EXPECT_FALSE(real->CreateFile("planted", 0600, &error)) << "a link must never be written through";
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(ReadBytes(folder / "victim"), "precious");
    EXPECT_FALSE(real->OpenFile("planted", &error)) << "a link must never be opened through";
    EXPECT_EQ(error, ELOOP);
}

TEST(File, ReadsAndWritesAtAnOffsetWithoutMovingThePosition) {
    TempFolder folder;
    WriteBytes(folder / "f", "0123456789");
    File file = File::OpenReadWrite(folder / "f");
    ASSERT_EQ(file.Seek(2), 2);
    char two[2] = {};
    EXPECT_EQ(file.ReadAt(two, 2, 6), 2u);
    EXPECT_EQ(std::string(two, 2), "67");
    EXPECT_EQ(file.WriteAt("ab", 2, 8), 2u);
    EXPECT_EQ(file.ReadAt(two, 2, 9), 1u) << "a read past the end gives what there is";
    EXPECT_EQ(file.LastError(), 0);
    EXPECT_EQ(file.Position(), 2);
    ASSERT_TRUE(file.Truncate(4));
    EXPECT_EQ(file.Position(), 2);
    file.Close();
    EXPECT_EQ(ReadBytes(folder / "f"), "0123");
}

}  // namespace
}  // namespace kitforge
