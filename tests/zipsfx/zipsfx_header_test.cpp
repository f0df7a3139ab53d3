// Finding the header after the stub's own image, and reading it.

#include <gtest/gtest.h>

#include "zipsfx/byte_source.h"
#include "zipsfx/elf_image.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/stub_header.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using testing::AsBytes;
using testing::HeaderBytes;
using testing::StubBytes;

TEST(ElfImage, TheBuiltStubEndsWhereItsFileEnds) {
    const std::string& stub = StubBytes();
    MemorySource source(AsBytes(stub));
    EXPECT_EQ(ElfImageEnd(source), stub.size());
}

TEST(ElfImage, AppendedBytesDoNotMoveTheEnd) {
    const std::string file = StubBytes() + HeaderBytes(0) + "PK trailing";
    MemorySource source(AsBytes(file));
    EXPECT_EQ(ElfImageEnd(source), StubBytes().size());
}

TEST(ElfImage, NotAnElfImageOrCutShortGivesNothing) {
    const std::string text = "#!/bin/sh\necho this is not a program\n";
    MemorySource not_elf(AsBytes(text));
    EXPECT_FALSE(ElfImageEnd(not_elf).has_value());
    // Cut inside the section header table, which the linker puts last.
    const std::string cut = StubBytes().substr(0, StubBytes().size() - 10);
    MemorySource short_source(AsBytes(cut));
    EXPECT_FALSE(ElfImageEnd(short_source).has_value());
    const std::string header_only = StubBytes().substr(0, 40);
    MemorySource tiny(AsBytes(header_only));
    EXPECT_FALSE(ElfImageEnd(tiny).has_value());
}

TEST(StubHeaderReading, FlagsAndTextsOfTheProgramsOwnSetting) {
    const std::string bytes = HeaderBytes(0x6C, "Self-extracting Archive");
    const StubHeader header = ParseStubHeader(AsBytes(bytes));
    EXPECT_EQ(header.caption, "Self-extracting Archive");
    EXPECT_EQ(header.default_folder, "");
    EXPECT_TRUE(header.AutoRun());
    EXPECT_TRUE(header.HideOverwriteBox());
    EXPECT_FALSE(header.CheckSize());
    EXPECT_FALSE(header.AskFiles());
    EXPECT_FALSE(header.AskCmdLine());
    EXPECT_EQ(header.Overwrite(), OverwriteMode::Always);
}

TEST(StubHeaderReading, EachBitMeansItsOption) {
    EXPECT_TRUE(ParseStubHeader(AsBytes(HeaderBytes(0x01))).AskCmdLine());
    EXPECT_TRUE(ParseStubHeader(AsBytes(HeaderBytes(0x02))).AskFiles());
    EXPECT_TRUE(ParseStubHeader(AsBytes(HeaderBytes(0x00))).CheckSize());
    EXPECT_EQ(ParseStubHeader(AsBytes(HeaderBytes(0x00))).Overwrite(), OverwriteMode::Confirm);
    EXPECT_EQ(ParseStubHeader(AsBytes(HeaderBytes(0x10))).Overwrite(), OverwriteMode::Never);
    // Both overwrite bits: the mode that cannot lose a file.
    EXPECT_EQ(ParseStubHeader(AsBytes(HeaderBytes(0x18))).Overwrite(), OverwriteMode::Never);
}

TEST(StubHeaderReading, TextsFillTheHeaderToItsLastByte) {
    const std::string caption(100, 'c'), folder(100, 'f'), command(49, 'm');
    const std::string bytes = HeaderBytes(0, caption, folder, command);
    ASSERT_EQ(bytes.size(), 256u);
    ASSERT_EQ(bytes.back(), 'm');
    const StubHeader header = ParseStubHeader(AsBytes(bytes));
    EXPECT_EQ(header.caption, caption);
    EXPECT_EQ(header.default_folder, folder);
    EXPECT_EQ(header.command_line, command);

    std::string too_long = bytes;
    too_long[6] = 50;  // 250 in all
    EXPECT_THROW(ParseStubHeader(AsBytes(too_long)), SfxError);
}

TEST(SfxParts, HeaderAndArchiveStartFollowTheStub) {
    const std::string file = StubBytes() + HeaderBytes(0x40, "Cap", "dir", "run") + "zip bytes";
    MemorySource source(AsBytes(file));
    const SfxParts parts = LocateSfxParts(source);
    EXPECT_EQ(parts.image_end, StubBytes().size());
    EXPECT_EQ(parts.archive_start, StubBytes().size() + 256);
    EXPECT_EQ(parts.header.command_line, "run");
}

TEST(SfxParts, BareStubAndMissingHeaderAreToldApart) {
    MemorySource bare(AsBytes(StubBytes()), "zipsfx.bin");
    try {
        LocateSfxParts(bare);
        ADD_FAILURE() << "a bare stub was accepted";
    } catch (const SfxError& error) {
        EXPECT_NE(std::string(error.what()).find("no archive attached"), std::string::npos) << error.what();
    }
    const std::string junk = StubBytes() + std::string(300, 'x');
    MemorySource no_header(AsBytes(junk), "x.exe");
    try {
        LocateSfxParts(no_header);
        ADD_FAILURE() << "junk was taken for a header";
    } catch (const SfxError& error) {
        EXPECT_NE(std::string(error.what()).find("header does not follow"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace kitforge::zipsfx
