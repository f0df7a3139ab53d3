// The editor's own version information, made at compile time in the layout of a Windows
// version resource and kept in its own ELF section, where the About box reads it back from
// the program's file. This file is compiled into the program itself (not into a library), so
// the linker always keeps the section.

#include <array>
#include <cstdint>

#include "platform/version_block_writer.h"
#include "platform/version_resource.h"
#include "ui/program_identity.h"

namespace {

using namespace kitforge;
using namespace kitforge::program_identity;

constexpr VersionBlockString kStrings[] = {
    {"CompanyName", kMakerName},
    {"FileDescription", kProductName},
    {"FileVersion", kFileVersion},
    {"InternalName", kProductName},
    {"LegalCopyright", kLegalCopyright},
    {"LegalTrademarks", ""},
    {"OriginalFilename", kOriginalFilename},
    {"ProductName", kProductName},
    {"ProductVersion", kProductVersion},
    {"Comments", kWebAddress},
};

constexpr VersionBlockContent kContent{
    {kVersionMajor, kVersionMinor, kVersionPatch, kVersionTweak},
    {kVersionMajor, kVersionMinor, 0, 0},
    0x00000004,
    0x00000001,
    static_cast<std::uint16_t>(kVersionLanguageId),
    static_cast<std::uint16_t>(kVersionCodePageId),
    kStrings,
};

constexpr std::size_t kBlockSize = FormatVersionBlock(kContent).size();
static_assert(kBlockSize < 0x10000, "a version block's lengths are 16-bit");

// The section name must match kVersionSectionName, which the reader looks for.
static_assert(kVersionSectionName == ".kitforge.version");
[[gnu::used, gnu::section(".kitforge.version")]] constexpr std::array<std::uint8_t, kBlockSize> kProgramVersionBlock =
    [] {
        std::array<std::uint8_t, kBlockSize> bytes{};
        const auto formatted = FormatVersionBlock(kContent);
        for (std::size_t i = 0; i < kBlockSize; ++i) bytes[i] = formatted[i];
        return bytes;
    }();

}  // namespace
