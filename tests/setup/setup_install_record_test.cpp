// The install record as stored in an uninstaller: every path byte but NUL survives, and damaged
// bytes are refused with a reason instead of read as other paths.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/install_record.h"

namespace kitforge::formats {
namespace {

InstallRecord SampleRecord() {
    InstallRecord record;
    record.title = std::string("Demo \x01\xff App\n", 13);
    record.program_folder = "/home/u/.local/opt/Demo App";
    record.items = {
        {InstallItemKind::Folder, "/home/u/.local/opt/Demo App", 0, {}},
        {InstallItemKind::File,
         "/home/u/.local/opt/Demo App/a \n\"b\"\\c\xff.txt",
         5,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {InstallItemKind::Launcher, "/home/u/Desktop/App.desktop", 90, {}},
        {InstallItemKind::Uninstaller, "/home/u/.local/opt/Demo App/uninstall", 0, {}},
    };
    return record;
}

// The body of `bytes` (its check dropped) with a fresh check, so that a test can change the
// structure behind the check.
std::vector<std::uint8_t> Rechecked(std::vector<std::uint8_t> bytes) {
    bytes.resize(bytes.size() - kInstallRecordCheckSize);
    AppendU64LE(bytes, install_record_detail::RecordCheck(bytes));
    return bytes;
}

TEST(InstallRecord, KeepsEveryByteOfTitlesAndPaths) {
    const InstallRecord record = SampleRecord();
    const auto bytes = EncodeInstallRecord(record);
    ASSERT_TRUE(bytes);
    std::string reason;
    const auto decoded = DecodeInstallRecord(*bytes, &reason);
    ASSERT_TRUE(decoded) << reason;
    EXPECT_EQ(*decoded, record);

    const auto trail = UninstallerTrail(static_cast<std::uint32_t>(bytes->size()));
    EXPECT_EQ(ReadUninstallerTrail(trail), bytes->size());
    EXPECT_EQ(std::vector<std::uint8_t>(trail.end() - 4, trail.end()),
              (std::vector<std::uint8_t>{0x2E, 0x22, 0x75, 0x3D}));
    auto installer_mark = trail;
    installer_mark[6] = 0x6B;  // an installer's mark is not an uninstaller's
    EXPECT_FALSE(ReadUninstallerTrail(installer_mark));
}

TEST(InstallRecord, WritesOnlyAbsoluteTidyPaths) {
    const std::string paths[] = {"relative/a", "", "/a/../b", "/a/./b", "/a//b", "/a/", std::string("/a\0b", 4)};
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        InstallRecord record = SampleRecord();
        record.items[1].path = path;
        EXPECT_FALSE(EncodeInstallRecord(record));
    }
}

TEST(InstallRecord, RefusesDamagedBytesWithAReason) {
    const std::vector<std::uint8_t> good = *EncodeInstallRecord(SampleRecord());
    std::string reason;
    // Cut anywhere, or any one byte changed: the check or the structure gives it away.
    for (std::size_t size = 0; size < good.size(); ++size) {
        reason.clear();
        EXPECT_FALSE(DecodeInstallRecord(std::span(good).first(size), &reason)) << "cut at " << size;
        EXPECT_FALSE(reason.empty());
    }
    for (std::size_t at = 0; at < good.size(); ++at) {
        auto bytes = good;
        bytes[at] ^= 0x20;
        EXPECT_FALSE(DecodeInstallRecord(bytes, &reason)) << "byte " << at << " changed";
    }

    // Structure that is wrong behind a matching check. Offsets: magic 0, version 4, title
    // length 8, title 12 (13 bytes), folder length 25, folder 29 (27 bytes), count 56, first
    // item 60 (its kind, path length 61, path 65).
    struct Case {
        const char* name;
        std::size_t at;
        std::string patch;
        const char* reason;
    };
    const Case cases[] = {
        {"wrong magic", 0, "X", "does not start with an install record's magic"},
        {"newer version", 4, "\x02", "of a version this program does not read"},
        {"title past the end", 11, "\x40", "a text reaches past its end"},
        {"relative install folder", 29, "h", "its install folder is not an absolute, tidy path"},
        {"count past the bytes", 59, "\x01", "its item count is larger than its bytes can hold"},
        {"unknown kind", 60, "\x09", "an item is of an unknown kind"},
        {"path with a .. part", 66, "../", "a path is not absolute and tidy"},
        {"fewer items than bytes", 56, "\x03", "bytes follow its last item"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = good;
        std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.at));
        reason.clear();
        EXPECT_FALSE(DecodeInstallRecord(Rechecked(bytes), &reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

}  // namespace
}  // namespace kitforge::formats
