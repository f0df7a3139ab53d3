#include "support/pe_resource_image.h"

#include <cstring>

namespace kitforge::testing {

namespace {

using Bytes = std::vector<std::uint8_t>;

void PadTo4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

}  // namespace

// A PE image with one section ".rsrc" holding a three-level resource tree of type 16.
Bytes MakePe(const PeOptions& options) {
    constexpr std::size_t kPeHeader = 0x80;
    constexpr std::uint32_t kRsrcAddress = 0x1000;
    constexpr std::size_t kRsrcFile = 0x400;
    const std::size_t optional_size = options.pe32_plus ? 240 : 224;
    Bytes b(kRsrcFile, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPeHeader);
    std::memcpy(&b[kPeHeader], "PE\0\0", 4);
    const std::size_t coff = kPeHeader + 4;
    Put16(b, coff, options.pe32_plus ? 0x8664 : 0x14C);
    Put16(b, coff + 2, 1);  // one section
    Put16(b, coff + 16, static_cast<std::uint16_t>(optional_size));
    const std::size_t opt = coff + 20;
    Put16(b, opt, options.pe32_plus ? 0x20B : 0x10B);
    const std::size_t count_at = opt + (options.pe32_plus ? 108 : 92);
    Put32(b, count_at, 16);
    Put32(b, opt + 64, 0x12345678);  // CheckSum

    // Resource tree: root -> type 16 -> names -> one language each -> data entry -> block.
    Bytes r;
    const std::size_t names = options.resources.size();
    const std::size_t root_size = 16 + 8;
    const std::size_t names_dir = root_size;
    const std::size_t lang_dirs = names_dir + 16 + 8 * names;
    const std::size_t data_entries = lang_dirs + names * (16 + 8);
    std::size_t blocks = data_entries + names * 16;
    r.resize(blocks, 0);
    Put16(r, 14, 1);
    Put32(r, 16, 16);
    Put32(r, 20, 0x80000000u | static_cast<std::uint32_t>(names_dir));
    Put16(r, names_dir + 14, static_cast<std::uint16_t>(names));
    for (std::size_t i = 0; i < names; ++i) {
        const std::size_t lang_dir = lang_dirs + i * 24;
        const std::size_t data_entry = data_entries + i * 16;
        Put32(r, names_dir + 16 + 8 * i, options.resources[i].first);
        Put32(r, names_dir + 20 + 8 * i, 0x80000000u | static_cast<std::uint32_t>(lang_dir));
        Put16(r, lang_dir + 14, 1);
        Put32(r, lang_dir + 16, 0x0C09);
        Put32(r, lang_dir + 20, static_cast<std::uint32_t>(data_entry));
        PadTo4(r);
        const std::size_t block_at = r.size();
        Append(r, options.resources[i].second);
        Put32(r, data_entry, kRsrcAddress + static_cast<std::uint32_t>(block_at));
        Put32(r, data_entry + 4, static_cast<std::uint32_t>(options.resources[i].second.size()));
        Put32(r, data_entry + 8, 1252);
    }
    if (options.with_resource_directory) {
        Put32(b, count_at + 4 + 2 * 8, kRsrcAddress);
        Put32(b, count_at + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(r.size()));
    }
    const std::size_t section = opt + optional_size;
    std::memcpy(&b[section], ".rsrc\0\0\0", 8);
    Put32(b, section + 8, static_cast<std::uint32_t>(r.size()));
    Put32(b, section + 12, kRsrcAddress);
    Put32(b, section + 16, static_cast<std::uint32_t>(r.size()));
    Put32(b, section + 20, kRsrcFile);
    Append(b, r);
    return b;
}

}  // namespace kitforge::testing
