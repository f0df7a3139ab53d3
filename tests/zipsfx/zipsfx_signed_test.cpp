// A signed Windows self-extractor: signing appends a certificate table after the archive, and
// the stub must still find the archive's end, read every entry, and refuse a security directory
// that cannot be right.

#include <gtest/gtest.h>

#include "support/large_files.h"
#include "support/run_program.h"
#include "support/signed_windows_program.h"
#include "support/temp_folder.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/signed_program.h"
#include "zipsfx/zip_archive.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using testing::AsBytes;
using testing::BuildZip;
using testing::HeaderBytes;
using testing::PutU32;
using testing::TestEntry;

const std::vector<TestEntry> kEntries = {{"a.txt", "alpha\n"}, {"dir/b.bin", std::string(5000, 'b'), true}};

// A self-extractor with a Windows stub; the archive's offsets count from the file's start.
std::string WindowsSfx(const std::string& comment) {
    const std::string stub = kitforge::testing::MinimalWindowsProgram();
    return stub + HeaderBytes(0) + BuildZip(kEntries, stub.size() + 256, comment).bytes;
}

// Every entry of the self-extractor in `source`, as the stub reads them.
std::vector<std::string> Contents(ByteSource& file) {
    UnsignedPart source(file);
    const SfxParts parts = LocateSfxParts(source);
    source.RefuseOverlap(parts.image_end);
    std::vector<std::string> contents;
    for (const ArchiveEntry& entry : ReadZipArchive(source, parts.archive_start).entries) {
        std::string data;
        ReadEntryData(source, entry, [&](const std::uint8_t* bytes, std::size_t size) {
            data.append(reinterpret_cast<const char*>(bytes), size);
        });
        contents.push_back(entry.stored_name + "=" + data);
    }
    return contents;
}

TEST(SignedSfx, TheStubAndListReadASelfExtractorSignedWithOsslsigncode) {
    KITFORGE_NEEDS_TOOL("osslsigncode");
    KITFORGE_NEEDS_TOOL("openssl");
    const std::vector<std::string> expected = {"a.txt=alpha\n", "dir/b.bin=" + std::string(5000, 'b')};
    // Without a comment the archive ends in zero bytes, as the padding before the table does.
    for (const std::string comment : {"", "a comment"}) {
        kitforge::testing::TempFolder folder;
        const std::string path = folder / "signed.exe";
        kitforge::testing::WriteBytes(path, WindowsSfx(comment));
        kitforge::testing::SignWindowsProgram(path, folder.Path());
        if (::testing::Test::HasFatalFailure()) return;
        FileSource file(path);
        ASSERT_GT(file.Size(), WindowsSfx(comment).size());
        EXPECT_EQ(Contents(file), expected) << "comment: " << comment;

        const auto listed =
            kitforge::testing::RunProgram({kitforge::testing::BuiltProgram("kitforge-cli"), "list", path});
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_NE(listed.out.find("dir\\b.bin"), std::string::npos) << listed.out << listed.err;
        // The signature is no stray bytes after the archive.
        EXPECT_EQ(listed.err.find("warning"), std::string::npos) << listed.err;
    }
}

TEST(SignedSfx, ASecurityDirectoryThatCannotBeRightIsRefused) {
    const std::string plain = WindowsSfx("");
    const std::size_t entry = 0x80 + 4 + 20 + 96 + 4 * 8;
    const auto size = static_cast<std::uint32_t>(plain.size());
    const auto stub_size = static_cast<std::uint32_t>(kitforge::testing::MinimalWindowsProgram().size());
    struct Case {
        std::uint32_t offset;
        std::uint32_t length;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{{size - 8, 16, "reaches past the end of the file"},
                                           {0x40, 8, "lies inside the program's headers"},
                                           {stub_size + 8, 64, "overlaps the self-extractor's header or archive"}}) {
        std::string bytes = plain;
        PutU32(bytes, entry, c.offset);
        PutU32(bytes, entry + 4, c.length);
        MemorySource source(AsBytes(bytes), "damaged.exe");
        try {
            Contents(source);
            ADD_FAILURE() << "no error for " << c.expected;
        } catch (const SfxError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("damaged.exe is damaged: the certificate table", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace kitforge::zipsfx
