// Archives that need no zip64 records keep every byte the library wrote before it learnt to
// write them: the size and CRC-32 of each archive below were taken from the library as it was,
// with the same inputs and SOURCE_DATE_EPOCH. A change here breaks reproducible builds of every
// archive and self-extractor made from the same files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdlib>

#include "support/temp_folder.h"
#include "zipdll_harness.h"

namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using namespace zipdll_testing;

struct Fingerprint {
    std::size_t size;
    std::uint32_t crc;
    bool operator==(const Fingerprint&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fingerprint& f) {
    return out << "{" << f.size << ", 0x" << std::hex << f.crc << std::dec << "}";
}

Fingerprint FingerprintOf(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    return {bytes.size(), static_cast<std::uint32_t>(crc)};
}

TEST(ZipDllUnchangedBytes, ArchivesWithoutZip64AreWrittenAsBefore) {
    ZipLibrary library;
    TempFolder folder;
    const auto file = [&](const std::string& name, const std::string& contents) {
        WriteBytes(folder / name, contents);
        chmod((folder / name).c_str(), 0644);
        return folder / name;
    };
    const std::string text = file("text.txt", TextOf(100000, 1));
    const std::string noise = file("noise.bin", RandomBytes(20000, 2));
    const std::string empty = file("empty", "");
    const std::string accented = file("caf\xc3\xa9.txt", TextOf(3000, 3));
    const std::string big = file("big.txt", TextOf(9u << 20, 4));  // several pieces, patched header
    const std::string later = file("later.txt", TextOf(5000, 5));

    struct Case {
        const char* what;
        std::string archive;
        std::vector<std::string> specs;
        int level;
        Fingerprint expected;
    };
    const std::string archive = folder / "a.zip";
    const std::vector<Case> cases = {
        {"new archive, level 9", archive, {text, noise, empty, accented, big}, 9, {975862, 0x8630ca99}},
        {"added to it: entries copied, one new", archive, {later}, 6, {976651, 0x962e3026}},
        {"an entry replaced in its place", archive, {text}, 1, {982574, 0xd1d09c57}},
        {"stored", folder / "s.zip", {text, noise, big}, 0, {9557482, 0x147706b6}},
    };
    setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AddCall call;
        call.archive = c.archive;
        call.specs = c.specs;
        call.level = c.level;
        EXPECT_EQ(call.Run(library), static_cast<std::int32_t>(c.specs.size()));
        EXPECT_EQ(FingerprintOf(c.archive), c.expected);
    }
    unsetenv("SOURCE_DATE_EPOCH");
}

}  // namespace
