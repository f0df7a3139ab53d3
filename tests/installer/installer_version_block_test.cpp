// The installer's own version information: the builder writes it over the block of a Windows
// stub (a PE image made in memory, with a padded block as the real stub has), keeps the PE
// readable and the payload's checksum whole, and leaves any other stub as it is.

#include "installer/installer_version_block.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "build_fixture.h"
#include "formats/byte_order.h"
#include "os/errors.h"
#include "os/file.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "platform/version_block_writer.h"
#include "support/pe_resource_image.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::ReadBytes;
using testing::WriteBytes;

// The stub's own block, as the resource compiler makes it: the ten fields but a trademark,
// and a value of blanks that gives the block its room.
std::vector<std::uint8_t> StubBlock(std::size_t room_blanks) {
    const std::string blanks(room_blanks, ' ');
    const VersionBlockString strings[] = {
        {"CompanyName", "The Kitforge authors"},
        {"FileDescription", "Kitforge installer"},
        {"FileVersion", "2.1.0.33"},
        {"InternalName", "setup"},
        {"LegalCopyright", "(C) Kitforge"},
        {"OriginalFilename", "setup.ex_"},
        {"ProductName", "Kitforge"},
        {"ProductVersion", "2.1.0.33"},
        {"Comments", "kitforge.example.org"},
        {"Reserved", blanks},
    };
    return FormatVersionBlock({{2, 1, 0, 33}, {2, 1, 0, 33}, 0x40004, 1, 0x0C09, 0x04E4, strings});
}

std::string Text(const VersionBlock& block, std::string_view key) {
    return block.QueryText("StringFileInfo\\0C0904E4\\" + std::string(key)).value_or("<none>");
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(InstallerVersionBlock, TitleVersionAndPublisherReplaceTheStubsValues) {
    struct Row {
        const char* info;  // extra [info] lines
        const char* product_version;
        const char* file_version;
        const char* company;
        std::uint32_t fixed_high;  // the fixed file version's first two numbers
    };
    const Row rows[] = {
        {"", "2.1.0.33", "2.1.0.33", "The Kitforge authors", 0x00020001},
        {"version=1.2\r\npublisher=Acme Ltd\r\n", "1.2", "1.2.0.0", "Acme Ltd", 0x00010002},
        {"version=3.0 beta\r\n", "3.0 beta", "2.1.0.33", "The Kitforge authors", 0x00020001},
        {"version=4.5.6.7\r\npublisher=Caf\xC3\xA9\r\n", "4.5.6.7", "4.5.6.7", "Caf\xC3\xA9", 0x00040005},
        // A script saved in code page 1252 on Windows.
        {"publisher=Caf\xE9 Ltd\r\n", "2.1.0.33", "2.1.0.33", "Caf\xC3\xA9 Ltd", 0x00020001},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.info);
        BuildFixture f;
        const auto stub = testing::MakePe({false, {{1, StubBlock(400)}}});
        WriteBytes(f.stub, std::string(stub.begin(), stub.end()));
        WriteBytes(f.folder / "a.txt", "a");
        WriteBytes(f.script, "[info]\r\ntitle=Hello World\r\nprompt=P\r\noutput=\r\n" + std::string(row.info) +
                                 "\r\n[script]\r\n1=extract \"" + f.folder / "a.txt" + "\" \"%program%\"\r\n");
        ASSERT_TRUE(f.Build());

        const auto installer = Bytes(ReadBytes(f.output));
        const auto block = FindVersionBlock(installer);
        ASSERT_TRUE(block);
        EXPECT_EQ(Text(*block, "ProductName"), "Hello World");
        EXPECT_EQ(Text(*block, "FileDescription"), "Hello World");
        EXPECT_EQ(Text(*block, "OriginalFilename"), "my.exe");
        EXPECT_EQ(Text(*block, "InternalName"), "setup");
        EXPECT_EQ(Text(*block, "ProductVersion"), row.product_version);
        EXPECT_EQ(Text(*block, "FileVersion"), row.file_version);
        EXPECT_EQ(Text(*block, "CompanyName"), row.company);
        EXPECT_EQ(Text(*block, "Reserved"), "<none>");
        EXPECT_EQ(formats::GetU32LE(block->Bytes().data() + 40 + 8), row.fixed_high);

        // The resource's size is the new block's; the rest of the room is zeros; no checksum.
        class Source : public ExecutableBytes {
        public:
            explicit Source(const std::vector<std::uint8_t>& b) : b_(b) {}
            std::uint64_t Size() const override { return b_.size(); }
            bool ReadAt(std::uint64_t at, void* d, std::size_t n) const override {
                if (at + n > b_.size()) return false;
                std::copy_n(b_.begin() + static_cast<std::ptrdiff_t>(at), n, static_cast<std::uint8_t*>(d));
                return true;
            }
            const std::vector<std::uint8_t>& b_;
        };
        const auto place = FindVersionResourcePlace(Source(installer));
        ASSERT_TRUE(place);
        EXPECT_EQ(place->room, block->Bytes().size());
        const std::size_t stub_room = StubBlock(400).size();
        ASSERT_LT(place->room, stub_room);
        EXPECT_EQ(std::count(installer.begin() + static_cast<std::ptrdiff_t>(place->block_offset + place->room),
                             installer.begin() + static_cast<std::ptrdiff_t>(place->block_offset + stub_room), 0),
                  static_cast<std::ptrdiff_t>(stub_room - place->room));
        EXPECT_EQ(formats::GetU32LE(installer.data() + place->checksum_offset), 0u);

        File file = File::OpenRead(f.output);
        payload::FileByteSource source(file);
        const payload::Payload read = payload::ReadPayload(source);
        EXPECT_EQ(payload::CheckPayloadChecksum(source, read).outcome, payload::ChecksumCheck::Outcome::Matches);
    }
}

TEST(InstallerVersionBlock, ABlockTooLargeForTheStubsRoomIsRefusedAndOtherStubsAreCopiedAsTheyAre) {
    BuildFixture f;
    const auto pe = testing::MakePe({false, {{1, StubBlock(20)}}});
    WriteBytes(f.stub, std::string(pe.begin(), pe.end()));
    f.WriteScript({}, std::string(300, 'T'));
    try {
        f.Build();
        FAIL() << "a title too long for the room was accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("too long for the installer's version information"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find(f.stub), std::string::npos) << e.what();
    }
    EXPECT_FALSE(FileExists(f.output));

    // A PE stub without a version resource, and a stub that is no PE file, keep their bytes.
    for (const std::string& stub : {std::string("#!stub\n"), std::string("MZ not really a program")}) {
        WriteBytes(f.stub, stub);
        ASSERT_TRUE(f.Build());
        EXPECT_EQ(ReadBytes(f.output).substr(0, stub.size()), stub);
    }
}

TEST(InstallerVersionBlock, NumericVersionsHaveOneToFourNumbersOfSixteenBits) {
    using V = std::array<std::uint16_t, 4>;
    EXPECT_EQ(NumericVersion("1"), (V{1, 0, 0, 0}));
    EXPECT_EQ(NumericVersion("1.2"), (V{1, 2, 0, 0}));
    EXPECT_EQ(NumericVersion("10.0.65535.007"), (V{10, 0, 65535, 7}));
    for (const char* text : {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.2 beta", "v1", "-1", "1,2"}) {
        EXPECT_FALSE(NumericVersion(text)) << text;
    }
}

}  // namespace
}  // namespace kitforge
