// The 256-byte header between the stub and the archive, byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "zip/sfx_stub_header.h"

namespace kitforge {
namespace {

std::string AsText(const SFXStubHeader& header) { return std::string(header.begin(), header.end()); }

TEST(SFXStubHeader, TheProgramsOwnSettingWithTheInitialTexts) {
    const SFXOpts own{SFXAutoRun, SFXHideOverWriteBox};
    EXPECT_EQ(own.Bits(), 12);
    EXPECT_EQ(SFXHeaderFlags(own, OvrAlways), 0x6C);
    const SFXStubHeader header = BuildSFXStubHeader(own, OvrAlways, "Self-extracting Archive", "", "");
    const std::string expected =
        std::string("MPU\x6C\x17\x00\x00", 7) + "Self-extracting Archive" + std::string(226, '\0');
    ASSERT_EQ(expected.size(), 256u);
    EXPECT_EQ(AsText(header), expected);
}

TEST(SFXStubHeader, EachOptionSetsItsOwnBit) {
    struct Row {
        const char* label;
        SFXOpts options;
        OvrOpts mode;
        std::uint8_t flags;
    };
    const Row rows[] = {
        {"initial options", SFXOpts{SFXCheckSize}, OvrConfirm, 0x00},
        {"nothing", SFXOpts{}, OvrConfirm, 0x20},
        {"ask command line", SFXOpts{SFXCheckSize, SFXAskCmdLine}, OvrConfirm, 0x01},
        {"ask files", SFXOpts{SFXCheckSize, SFXAskFiles}, OvrConfirm, 0x02},
        {"hide overwrite box", SFXOpts{SFXCheckSize, SFXHideOverWriteBox}, OvrConfirm, 0x04},
        {"overwrite always", SFXOpts{SFXCheckSize}, OvrAlways, 0x08},
        {"overwrite never", SFXOpts{SFXCheckSize}, OvrNever, 0x10},
        {"auto-run", SFXOpts{SFXCheckSize, SFXAutoRun}, OvrConfirm, 0x40},
        {"everything", SFXOpts{SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox}, OvrNever, 0x77},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SFXHeaderFlags(row.options, row.mode), row.flags) << row.label;
    }
}

TEST(SFXStubHeader, TextsFollowEachOtherAndFillTheHeaderToItsLastByte) {
    const std::string caption(120, 'c'), folder(100, 'd'), command(29, 'm');
    const SFXStubHeader header = BuildSFXStubHeader(SFXOpts{}, OvrConfirm, caption, folder, command);
    EXPECT_EQ(header[4], 120);
    EXPECT_EQ(header[5], 100);
    EXPECT_EQ(header[6], 29);
    EXPECT_EQ(AsText(header).substr(7), caption + folder + command);
    EXPECT_THROW(BuildSFXStubHeader(SFXOpts{}, OvrConfirm, caption, folder, command + "x"), std::length_error);
}

}  // namespace
}  // namespace kitforge
