// The reader of version information: PE version resources laid out here byte by byte after
// the published PE and VS_VERSION_INFO layouts, ELF files with a version section, the test
// program's own embedded block, and damaged files of every kind.

#include "platform/version_resource.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "os/errors.h"
#include "platform/version_block_writer.h"
#include "support/pe_resource_image.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::Put16;
using testing::Put32;
void Put16BE(Bytes& b, std::size_t at, std::uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = v >> 8;
    b[at + 1] = v & 0xFF;
}
void Put32BE(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16BE(b, at, v >> 16);
    Put16BE(b, at + 2, v & 0xFFFF);
}
void Put64(Bytes& b, std::size_t at, std::uint64_t v) {
    Put32(b, at, static_cast<std::uint32_t>(v));
    Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
void PadTo4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes Utf16Z(std::u16string_view text) {
    Bytes b;
    for (char16_t c : text) {
        b.push_back(c & 0xFF);
        b.push_back(c >> 8);
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

// One node of a version block, written independently of the product's writer.
Bytes Node(std::u16string_view key, std::uint16_t type, std::uint16_t value_length, const Bytes& value,
           const std::vector<Bytes>& children = {}) {
    Bytes b(6, 0);
    Put16(b, 2, value_length);
    Put16(b, 4, type);
    Append(b, Utf16Z(key));
    PadTo4(b);
    Append(b, value);
    for (const auto& child : children) {
        PadTo4(b);
        Append(b, child);
    }
    Put16(b, 0, static_cast<std::uint16_t>(b.size()));
    return b;
}

Bytes Text(std::u16string_view key, std::u16string_view value) {
    return Node(key, 1, static_cast<std::uint16_t>(value.size() + 1), Utf16Z(value));
}

Bytes FixedInfo() {
    Bytes b(52, 0);
    Put32(b, 0, 0xFEEF04BD);
    Put32(b, 4, 0x00010000);
    Put32(b, 8, 0x00020001);
    Put32(b, 12, 0x00000021);
    return b;
}

Bytes Block(std::u16string_view table, const std::vector<Bytes>& strings) {
    return Node(u"VS_VERSION_INFO", 0, 52, FixedInfo(),
                {Node(u"StringFileInfo", 1, 0, {}, {Node(table, 1, 0, {}, strings)}),
                 Node(u"VarFileInfo", 1, 0, {}, {Node(u"Translation", 0, 4, {0x09, 0x0C, 0xE4, 0x04})})});
}

Bytes SampleBlock() {
    return Block(u"0C0904E4", {Text(u"CompanyName", u"Example Makers"), Text(u"FileDescription", u"Demo tool"),
                               Text(u"FileVersion", u"3.4.5.6"), Text(u"InternalName", u"demo"),
                               Text(u"LegalCopyright", u"(c) Example"), Text(u"LegalTrademarks", u"Demo(tm)"),
                               Text(u"OriginalFilename", u"demo.exe"), Text(u"ProductName", u"Demo"),
                               Text(u"ProductVersion", u"3.4"), Text(u"Comments", u"see the manual")});
}

using testing::MakePe;
using testing::PeOptions;

Bytes SamplePe(bool pe32_plus = false) { return MakePe({pe32_plus, {{1, SampleBlock()}}}); }

// A small ELF file whose sections are: none, the name table, one section of `content`.
Bytes MakeElf(bool wide, bool big_endian, std::string_view section_name, const Bytes& content) {
    const auto put16 = big_endian ? Put16BE : Put16;
    const auto put32 = big_endian ? Put32BE : Put32;
    const auto put_wide = [&](Bytes& b, std::size_t at, std::uint64_t v) {
        if (!wide) return put32(b, at, static_cast<std::uint32_t>(v));
        if (big_endian) {
            Put32BE(b, at, static_cast<std::uint32_t>(v >> 32));
            Put32BE(b, at + 4, static_cast<std::uint32_t>(v));
        } else {
            Put64(b, at, v);
        }
    };
    const std::size_t header_size = wide ? 64 : 52;
    const std::size_t entry_size = wide ? 64 : 40;
    Bytes names = {0};
    const std::size_t strtab_name = names.size();
    for (char c : std::string_view(".shstrtab")) names.push_back(static_cast<std::uint8_t>(c));
    names.push_back(0);
    const std::size_t data_name = names.size();
    for (char c : section_name) names.push_back(static_cast<std::uint8_t>(c));
    names.push_back(0);

    Bytes b(header_size, 0);
    b[0] = 0x7F, b[1] = 'E', b[2] = 'L', b[3] = 'F';
    b[4] = wide ? 2 : 1;
    b[5] = big_endian ? 2 : 1;
    b[6] = 1;
    const std::size_t names_at = b.size();
    Append(b, names);
    PadTo4(b);
    const std::size_t content_at = b.size();
    Append(b, content);
    while (b.size() % 8) b.push_back(0);
    const std::size_t table_at = b.size();
    b.resize(table_at + 3 * entry_size, 0);
    put_wide(b, wide ? 0x28 : 0x20, table_at);
    put16(b, wide ? 0x3A : 0x2E, static_cast<std::uint16_t>(entry_size));
    put16(b, wide ? 0x3C : 0x30, 3);
    put16(b, wide ? 0x3E : 0x32, 1);
    const auto section = [&](std::size_t index, std::size_t name, std::uint32_t type, std::size_t offset,
                             std::size_t size) {
        const std::size_t at = table_at + index * entry_size;
        put32(b, at, static_cast<std::uint32_t>(name));
        put32(b, at + 4, type);
        put_wide(b, at + (wide ? 24 : 16), offset);
        put_wide(b, at + (wide ? 32 : 20), size);
    };
    section(1, strtab_name, 3, names_at, names.size());
    section(2, data_name, 1, content_at, content.size());
    return b;
}

std::string Path(const testing::TempFolder& folder, const std::string& name, const Bytes& bytes) {
    testing::WriteBytes(folder / name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return folder / name;
}

TEST(VersionResource, ReadsTheTenFieldsOfAPe32AndAPe32PlusFile) {
    testing::TempFolder folder;
    for (const bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "PE32+" : "PE32");
        TEPInfoExe info;
        info.SetExeName(Path(folder, "demo.exe", SamplePe(wide)));
        info.SetLangId("0C09");
        info.ReadVersionInfo();
        EXPECT_EQ(info.CompanyName(), "Example Makers");
        EXPECT_EQ(info.FileDescription(), "Demo tool");
        EXPECT_EQ(info.FileVersion(), "3.4.5.6");
        EXPECT_EQ(info.InternalName(), "demo");
        EXPECT_EQ(info.LegalCopyright(), "(c) Example");
        // The component asks for LegalTradeMarks; the file spells it LegalTrademarks, and the
        // platform's lookup ignores letter case.
        EXPECT_EQ(info.LegalTradeMarks(), "Demo(tm)");
        EXPECT_EQ(info.OriginalFilename(), "demo.exe");
        EXPECT_EQ(info.ProductName(), "Demo");
        EXPECT_EQ(info.ProductVersion(), "3.4");
        EXPECT_EQ(info.Comments(), "see the manual");
    }
}

TEST(VersionResource, ALanguageTheFileDoesNotHoldGivesTenEmptyFields) {
    testing::TempFolder folder;
    TEPInfoExe info;
    EXPECT_EQ(info.LangId(), "040C");
    info.SetExeName(Path(folder, "demo.exe", SamplePe()));
    info.SetLangId("0C09");
    info.ReadVersionInfo();
    ASSERT_EQ(info.FileVersion(), "3.4.5.6");
    info.SetLangId("040C");
    info.ReadVersionInfo();
    for (std::size_t i = 0; i < kVersionInfoKeys.size(); ++i) EXPECT_EQ(info.Field(i), "") << kVersionInfoKeys[i];
}

TEST(VersionResource, AFileWithoutVersionInformationKeepsTheFieldsOfTheLastRead) {
    testing::TempFolder folder;
    TEPInfoExe info;
    info.SetLangId("0C09");
    info.SetExeName(Path(folder, "demo.exe", SamplePe()));
    info.ReadVersionInfo();
    info.ReadVersionInfo();
    EXPECT_EQ(info.ProductVersion(), "3.4");
    for (const auto& other : {Path(folder, "plain.exe", MakePe({false, {}, false})),
                              Path(folder, "notes.txt", Bytes{'h', 'i'}), folder / "missing.exe", folder.Path()}) {
        SCOPED_TRACE(other);
        info.SetExeName(other);
        EXPECT_NO_THROW(info.ReadVersionInfo());
        EXPECT_EQ(info.ProductVersion(), "3.4");
        EXPECT_EQ(info.CompanyName(), "Example Makers");
    }
}

TEST(VersionResource, ReadVersionBlockTellsAnUnreadableFileFromOneWithoutABlock) {
    testing::TempFolder folder;
    EXPECT_THROW(ReadVersionBlock(folder / "missing.exe"), ReadError);
    EXPECT_THROW(ReadVersionBlock(folder.Path()), ReadError);
    EXPECT_FALSE(ReadVersionBlock(Path(folder, "notes.txt", Bytes{'M', 'Z', 0, 0})).has_value());
    EXPECT_TRUE(ReadVersionBlock(Path(folder, "demo.exe", SamplePe())).has_value());
}

TEST(VersionResource, PrefersResourceNameOneAndElseTakesTheFirst) {
    const Bytes other = Block(u"0C0904E4", {Text(u"FileVersion", u"9.9")});
    auto first = FindVersionBlock(MakePe({false, {{7, other}, {1, SampleBlock()}}}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->QueryText("StringFileInfo\\0C0904E4\\FileVersion"), "3.4.5.6");
    auto only = FindVersionBlock(MakePe({false, {{7, other}, {8, SampleBlock()}}}));
    ASSERT_TRUE(only);
    EXPECT_EQ(only->QueryText("StringFileInfo\\0C0904E4\\FileVersion"), "9.9");
}

TEST(VersionResource, QueriesFollowThePlatformsRulesForPathsAndText) {
    Bytes odd_length = Node(u"Odd", 1, 10, Utf16Z(u"bytes"));  // length counted in bytes, not units
    Bytes empty = Node(u"Empty", 1, 0, {});
    Bytes accents = Text(u"Accents", u"caf\u00e9 \U0001F600");
    auto block = FindVersionBlock(MakePe({false, {{1, Block(u"0c0904e4", {odd_length, empty, accents})}}}));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->QueryText("\\StringFileInfo\\0C0904E4\\odd"), "bytes");
    EXPECT_EQ(block->QueryText("StringFileInfo\\0C0904E4\\Empty"), "");
    EXPECT_EQ(block->QueryText("StringFileInfo\\0C0904E4\\Accents"), "caf\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(block->QueryText("StringFileInfo\\0C0904E4\\Missing"), std::nullopt);
    EXPECT_EQ(block->QueryText("StringFileInfo\\040904E4\\Odd"), std::nullopt);
    EXPECT_EQ(block->QueryText(""), std::nullopt);
    EXPECT_EQ(block->StringTableNames(), std::vector<std::string>{"0c0904e4"});
}

TEST(VersionResource, ChildrenThatOverrunTheirParentAreNotRead) {
    Bytes block = SampleBlock();
    auto parsed = VersionBlock(block);
    ASSERT_EQ(parsed.QueryText("StringFileInfo\\0C0904E4\\Comments"), "see the manual");
    // Make the string table claim more than its parent holds: nothing below it is read.
    const std::size_t table = 40 + 52 + 36;  // root header+key, fixed info, StringFileInfo header+key
    ASSERT_EQ(block[table + 6], '0');
    Put16(block, table, 0xFFF0);
    EXPECT_EQ(VersionBlock(block).QueryText("StringFileInfo\\0C0904E4\\Comments"), std::nullopt);
    // A root longer than the bytes there are is no block at all.
    Bytes long_root = SampleBlock();
    Put16(long_root, 0, static_cast<std::uint16_t>(long_root.size() + 8));
    EXPECT_FALSE(FindVersionBlock(MakePe({false, {{1, long_root}}})).has_value());
}

TEST(VersionResource, DamagedFilesReadAsFilesWithoutABlock) {
    for (const bool wide : {false, true}) {
        const Bytes good = SamplePe(wide);
        // Cut short at every length: the reader never reads past the end (checked under ASan).
        for (std::size_t size = 0; size < good.size(); ++size) {
            const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
            const auto block = FindVersionBlock(cut);
            if (block) {
                EXPECT_LE(block->Bytes().size(), size);
            }
        }
        // Every single byte of the headers and the resource tree set to 0xFF.
        for (std::size_t at = 0; at < good.size(); ++at) {
            Bytes bad = good;
            bad[at] = 0xFF;
            if (auto block = FindVersionBlock(bad)) block->QueryText("StringFileInfo\\0C0904E4\\FileVersion");
        }
    }
    Bytes huge_count = SamplePe();
    Put16(huge_count, 0x80 + 4 + 2, 0xFFFF);  // 65535 sections claimed
    EXPECT_NO_THROW(FindVersionBlock(huge_count));
}

TEST(VersionResource, FindsTheVersionSectionOfElfFilesOfEitherClassAndByteOrder) {
    const Bytes block = SampleBlock();
    for (const bool wide : {false, true}) {
        for (const bool big : {false, true}) {
            SCOPED_TRACE(std::string(wide ? "ELF64 " : "ELF32 ") + (big ? "big-endian" : "little-endian"));
            auto found = FindVersionBlock(MakeElf(wide, big, kVersionSectionName, block));
            ASSERT_TRUE(found);
            EXPECT_EQ(found->QueryText("StringFileInfo\\0C0904E4\\ProductName"), "Demo");
            EXPECT_FALSE(FindVersionBlock(MakeElf(wide, big, ".kitforge.versions", block)));
            EXPECT_FALSE(FindVersionBlock(MakeElf(wide, big, ".data", block)));
            const Bytes good = MakeElf(wide, big, kVersionSectionName, block);
            for (std::size_t size = 0; size < good.size(); ++size) {
                FindVersionBlock(std::span(good.data(), size));
            }
        }
    }
}

// This test program carries a block of its own, the way the editor does.
constexpr VersionBlockString kOwnStrings[] = {{"FileVersion", "7.6.5.4"},
                                              {"LegalTrademarks", ""},
                                              {"Comments",
                                               "Gr\xc3\xbc\xc3\x9f"
                                               "e"}};
constexpr VersionBlockContent kOwnContent{{7, 6, 5, 4}, {7, 6}, 4, 1, 0x0409, 0x04E4, kOwnStrings};
constexpr std::size_t kOwnSize = FormatVersionBlock(kOwnContent).size();
[[gnu::used, gnu::section(".kitforge.version")]] constexpr std::array<std::uint8_t, kOwnSize> kOwnBlock = [] {
    std::array<std::uint8_t, kOwnSize> bytes{};
    const auto formatted = FormatVersionBlock(kOwnContent);
    for (std::size_t i = 0; i < kOwnSize; ++i) bytes[i] = formatted[i];
    return bytes;
}();

TEST(VersionResource, ANativeProgramReadsTheBlockItCarries) {
    TEPInfoExe info;
    info.SetExeName("/proc/self/exe");
    info.SetLangId("0409");
    info.ReadVersionInfo();
    EXPECT_EQ(info.FileVersion(), "7.6.5.4");
    EXPECT_EQ(info.Comments(),
              "Gr\xc3\xbc\xc3\x9f"
              "e");
    EXPECT_EQ(info.LegalTradeMarks(), "");
    EXPECT_EQ(info.CompanyName(), "");
}

TEST(VersionBlockWriter, WritesTheSameTreeAsTheHandLaidLayout) {
    constexpr VersionBlockString strings[] = {{"CompanyName", "Example Makers"}, {"FileVersion", "3.4.5.6"}};
    const VersionBlockContent content{{2, 1, 0, 33}, {2, 1, 0, 0}, 4, 1, 0x0C09, 0x04E4, strings};
    const auto written = FormatVersionBlock(content);
    Bytes fixed = FixedInfo();
    Put32(fixed, 16, 0x00020001);
    Put32(fixed, 24, 0x3F);
    Put32(fixed, 32, 4);
    Put32(fixed, 36, 1);
    const Bytes expected =
        Block(u"0C0904E4", {Text(u"CompanyName", u"Example Makers"), Text(u"FileVersion", u"3.4.5.6")});
    Bytes expected_fixed = expected;
    std::copy(fixed.begin(), fixed.end(), expected_fixed.begin() + 40);
    EXPECT_EQ(written, expected_fixed);
    EXPECT_EQ(written[40], 0xBD);  // the fixed information starts on the first 4-byte boundary after the key
    EXPECT_EQ(VersionBlock(written).StringTableNames(), std::vector<std::string>{"0C0904E4"});
}

}  // namespace
}  // namespace kitforge
