#pragma once
// Writes a version-information block in the layout that Windows keeps in an executable's
// version resource (a VS_VERSION_INFO tree: the fixed file information, one string table and
// the translation list). Everything here is constexpr, so a native program can carry its own
// block, made at compile time, in the same format that the reader of version resources takes
// from a Windows executable.
//
// Node layout, every node starting on a 4-byte boundary of the block:
//   u16 length (the node with its value and children), u16 value length, u16 type (1 = text),
//   the key in UTF-16LE with a terminating 0, padding to 4, the value, padding to 4, children.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/byte_order.h"

namespace kitforge {

struct VersionBlockString {
    std::string_view key;
    std::string_view value;  // UTF-8
};

struct VersionBlockContent {
    std::array<std::uint16_t, 4> file_version{};  // 2.1.0.33 as {2, 1, 0, 33}
    std::array<std::uint16_t, 4> product_version{};
    std::uint32_t file_os = 0x00000004;    // 32-bit Windows
    std::uint32_t file_type = 0x00000001;  // an application
    std::uint16_t language = 0;            // 0x0C09
    std::uint16_t code_page = 0;           // 0x04E4
    std::span<const VersionBlockString> strings;
};

namespace version_block_detail {

inline constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
inline constexpr std::uint32_t kFixedInfoStructVersion = 0x00010000;
inline constexpr std::uint32_t kFixedInfoFlagsMask = 0x3F;
inline constexpr std::uint16_t kFixedInfoSize = 52;
inline constexpr std::uint16_t kBinaryNode = 0;
inline constexpr std::uint16_t kTextNode = 1;

using formats::AppendU16LE;
using formats::AppendU32LE;

constexpr void PadTo4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// UTF-8 to UTF-16LE code units; a byte that does not start a valid sequence becomes U+FFFD.
constexpr std::vector<std::uint16_t> Utf16(std::string_view text) {
    std::vector<std::uint16_t> units;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t extra = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F, extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F, extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07, extra = 3;
        }
        bool valid = b < 0x80 || extra > 0;
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<std::uint8_t>(text[i + k]) & 0xC0) != 0x80) {
                valid = false;
            } else {
                cp = (cp << 6) | (static_cast<std::uint8_t>(text[i + k]) & 0x3F);
            }
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            cp = 0xFFFD;
            extra = 0;
        }
        i += 1 + extra;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return units;
}

constexpr void PutText(std::vector<std::uint8_t>& out, const std::vector<std::uint16_t>& units) {
    for (const auto unit : units) AppendU16LE(out, unit);
    AppendU16LE(out, 0);
}

// Writes a node's header and key; the caller writes the value and children, then EndNode.
constexpr std::size_t BeginNode(std::vector<std::uint8_t>& out, std::string_view key, std::uint16_t value_length,
                                std::uint16_t type) {
    PadTo4(out);
    const std::size_t start = out.size();
    AppendU16LE(out, 0);
    AppendU16LE(out, value_length);
    AppendU16LE(out, type);
    PutText(out, Utf16(key));
    PadTo4(out);
    return start;
}

constexpr void EndNode(std::vector<std::uint8_t>& out, std::size_t start) {
    formats::PutU16LE(out.data() + start, static_cast<std::uint16_t>(out.size() - start));
}

constexpr char HexDigit(unsigned v) { return static_cast<char>(v < 10 ? '0' + v : 'A' + (v - 10)); }

// "0C0904E4" for language 0x0C09 and code page 0x04E4.
constexpr std::array<char, 8> TableName(std::uint16_t language, std::uint16_t code_page) {
    std::array<char, 8> name{};
    const std::uint32_t both = (static_cast<std::uint32_t>(language) << 16) | code_page;
    for (int i = 0; i < 8; ++i) name[static_cast<std::size_t>(i)] = HexDigit((both >> (28 - 4 * i)) & 0xF);
    return name;
}

constexpr std::uint32_t High(const std::array<std::uint16_t, 4>& v) {
    return (static_cast<std::uint32_t>(v[0]) << 16) | v[1];
}
constexpr std::uint32_t Low(const std::array<std::uint16_t, 4>& v) {
    return (static_cast<std::uint32_t>(v[2]) << 16) | v[3];
}

}  // namespace version_block_detail

// The whole block. Values longer than a node can hold are the caller's mistake: the block's
// lengths are 16-bit, so the block must stay under 64 KiB.
constexpr std::vector<std::uint8_t> FormatVersionBlock(const VersionBlockContent& content) {
    using namespace version_block_detail;
    std::vector<std::uint8_t> out;
    const std::size_t root = BeginNode(out, "VS_VERSION_INFO", kFixedInfoSize, kBinaryNode);
    AppendU32LE(out, kFixedInfoSignature);
    AppendU32LE(out, kFixedInfoStructVersion);
    AppendU32LE(out, High(content.file_version));
    AppendU32LE(out, Low(content.file_version));
    AppendU32LE(out, High(content.product_version));
    AppendU32LE(out, Low(content.product_version));
    AppendU32LE(out, kFixedInfoFlagsMask);
    AppendU32LE(out, 0);  // flags: a release build
    AppendU32LE(out, content.file_os);
    AppendU32LE(out, content.file_type);
    AppendU32LE(out, 0);  // subtype
    AppendU32LE(out, 0);  // date, high and low
    AppendU32LE(out, 0);

    const std::size_t string_info = BeginNode(out, "StringFileInfo", 0, kTextNode);
    const auto table_name = TableName(content.language, content.code_page);
    const std::size_t table = BeginNode(out, std::string_view(table_name.data(), table_name.size()), 0, kTextNode);
    for (const auto& entry : content.strings) {
        const auto value = Utf16(entry.value);
        const std::size_t node = BeginNode(out, entry.key, static_cast<std::uint16_t>(value.size() + 1), kTextNode);
        PutText(out, value);
        EndNode(out, node);
    }
    EndNode(out, table);
    EndNode(out, string_info);

    const std::size_t var_info = BeginNode(out, "VarFileInfo", 0, kTextNode);
    const std::size_t translation = BeginNode(out, "Translation", 4, kBinaryNode);
    AppendU16LE(out, content.language);
    AppendU16LE(out, content.code_page);
    EndNode(out, translation);
    EndNode(out, var_info);
    EndNode(out, root);
    return out;
}

}  // namespace kitforge
