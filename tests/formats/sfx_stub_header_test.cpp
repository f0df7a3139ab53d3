// The self-extractor's header as the converter writes it and the stub reads it back.

#include <gtest/gtest.h>

#include <string>

#include "formats/sfx_stub_header.h"

namespace kitforge::formats {
namespace {

TEST(SFXStubHeaderFormat, WhatIsWrittenReadsBackUnchanged) {
    struct Row {
        const char* label;
        std::uint8_t flags;
        std::string caption, folder, command;
    };
    const Row rows[] = {
        {"no texts", 0x00, "", "", ""},
        {"every flag", 0x7F, "Caption", "", "run"},
        {"texts that fill the header", 0x20, std::string(120, 'c'), std::string(100, 'd'), std::string(29, 'm')},
        {"bytes that are no ASCII", 0x40, "\xC3\xA9t\xC3\xA9", "C:\\\x01", std::string(3, '\0')},
    };
    for (const Row& row : rows) {
        const auto header = EncodeSFXStubHeader(row.flags, row.caption, row.folder, row.command);
        ASSERT_TRUE(header.has_value()) << row.label;
        const auto fields = DecodeSFXStubHeader(*header);
        ASSERT_TRUE(fields.has_value()) << row.label;
        EXPECT_EQ(fields->flags, row.flags) << row.label;
        EXPECT_EQ(fields->caption, row.caption) << row.label;
        EXPECT_EQ(fields->default_folder, row.folder) << row.label;
        EXPECT_EQ(fields->command_line, row.command) << row.label;
    }
}

TEST(SFXStubHeaderFormat, WhatDoesNotFitOrIsNoHeaderIsRefused) {
    EXPECT_FALSE(EncodeSFXStubHeader(0, std::string(200, 'c'), std::string(49, 'd'), "m").has_value());

    const SFXStubHeader good = *EncodeSFXStubHeader(0, "a", "b", "c");
    SFXStubHeader too_long = good;
    too_long[sfx_header::kCommandLineLength] = 248;  // 250 in all
    SFXStubHeader no_magic = good;
    no_magic[2] = 'X';
    EXPECT_FALSE(DecodeSFXStubHeader(too_long).has_value());
    EXPECT_FALSE(DecodeSFXStubHeader(no_magic).has_value());
    EXPECT_FALSE(HasSFXStubHeaderMagic(no_magic));
    EXPECT_FALSE(DecodeSFXStubHeader(std::span(good).first(255)).has_value());
    EXPECT_TRUE(HasSFXStubHeaderMagic(std::span(good).first(3)));
}

}  // namespace
}  // namespace kitforge::formats
