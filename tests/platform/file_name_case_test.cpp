// Finding a file whose name on the disk differs in letter case from the name looked for.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/file_name_case.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

TEST(FindFileIgnoringCase, FindsTheFileWhateverTheLetterCaseOfItsName) {
    TempFolder folder;
    WriteBytes(folder / "zipsfx.bin", "stub");
    WriteBytes(folder / "Both.txt", "upper");
    WriteBytes(folder / "both.txt", "lower");
    ASSERT_EQ(::mkdir((folder / "Folder.bin").c_str(), 0755), 0);
    const struct {
        std::string wanted;
        std::optional<std::string> found;
    } rows[] = {
        {folder / "zipsfx.bin", folder / "zipsfx.bin"},
        {folder / "ZipSFX.bin", folder / "zipsfx.bin"},
        {folder / "ZIPSFX.BIN", folder / "zipsfx.bin"},
        {folder / "BOTH.TXT", folder / "Both.txt"},  // the first in byte order
        {folder / "both.txt", folder / "both.txt"},  // the exact name first
        {folder / "folder.bin", std::nullopt},       // not a file
        {folder / "zipsfx.bi", std::nullopt},
        {folder / "ZIPSFX.BIN/x", std::nullopt},
        {folder / "", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FindFileIgnoringCase(row.wanted), row.found) << row.wanted;
    }
}

}  // namespace
}  // namespace kitforge
