#pragma once
// The version information of an installer. A Windows installer stub carries a version block
// with room to spare; the builder writes, in its place, a block with the installer's own
// values: its title, its file name and the script's version and publisher, the stub's values
// for the rest. Windows Explorer's Details tab, the Uninstall entry and `version-info` read it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/file.h"
#include "platform/version_resource.h"

namespace kitforge {

struct InstallerIdentity {
    std::string title;        // ProductName and FileDescription
    std::string output_name;  // OriginalFilename: the installer's file name
    std::string version;      // ProductVersion, and FileVersion when numeric; empty: the stub's
    std::string publisher;    // CompanyName; empty: the stub's
};

// One to four whole numbers of 0 to 65535 joined by dots, the missing ones 0: "1.2" gives
// {1, 2, 0, 0}. Nothing for any other text ("1.2 beta", "1..2", "70000").
std::optional<std::array<std::uint16_t, 4>> NumericVersion(std::string_view text);

// The installer's block made from the stub's: its fixed information, language, code page and
// string values, with the identity's values written over them. Throws Error when the stub's
// block has no fixed file information.
std::vector<std::uint8_t> InstallerVersionBlock(const VersionBlock& stub_block, const InstallerIdentity& identity);

// Where the installer's block goes in a copy of `stub`, and its bytes.
struct InstallerVersionPatch {
    VersionResourcePlace place;
    std::vector<std::uint8_t> block;
};

// The patch for a copy of `stub` (its path names it in messages). Nothing when the stub is
// not a PE file or carries no version resource (an ELF stub, say): its copy is left as it is.
// Throws Error naming the stub when the installer's block does not fit in the stub's room.
std::optional<InstallerVersionPatch> PlanInstallerVersionBlock(File& stub, const InstallerIdentity& identity);

// Writes the patch into `output`, which holds a copy of the stub from its first byte: the
// block, zeros for the rest of the room, the resource's new size, and a zero PE checksum (the
// stub's no longer matches; Windows checks it only for drivers). Throws InOutError.
void WriteInstallerVersionBlock(File& output, const InstallerVersionPatch& patch);

}  // namespace kitforge
