#pragma once
// The entry of an installation in Windows' list of installed programs (Settings > Apps, and
// Programs and Features): a key under ...\CurrentVersion\Uninstall whose values name the
// product and the command that removes it.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "formats/install_record.h"
#include "setup/folder_macros.h"

namespace kitforge::setup {

inline constexpr const char* kUninstallKeyParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct RegistryValue {
    std::string name;
    std::variant<std::string, std::uint32_t> data;  // REG_SZ or REG_DWORD

    bool operator==(const RegistryValue&) const = default;
};

struct UninstallEntry {
    std::string key;  // the name of the key under kUninstallKeyParent
    std::vector<RegistryValue> values;
};

// What the installer's version resource says of the product; empty when it does not say.
struct ProductStrings {
    std::string version;    // ProductVersion
    std::string publisher;  // CompanyName
};

// The key of the installation in `program_folder`: "Kitforge_" and 16 hexadecimal digits of a
// hash of the folder, its letters folded to one case and its separators to "/", since Windows
// does not tell them apart. An installation owns its folder and its uninstaller there, so two
// products never share a key, and installing again into the same folder (which merges into
// the uninstaller already there) replaces its own.
std::string UninstallKeyName(std::string_view program_folder);

// The installed bytes of the files `items` lists, in KiB rounded up, at most what a DWORD holds.
std::uint32_t EstimatedSizeKiB(const std::vector<formats::InstallItem>& items);

// The entry for the installation `record`, removed by the uninstaller at `uninstaller`:
// DisplayName (the title), DisplayVersion and Publisher when `product` names them,
// DisplayIcon, EstimatedSize, UninstallString (the quoted uninstaller), QuietUninstallString
// (the same with --silent), InstallLocation, NoModify and NoRepair. Paths are given with "\".
UninstallEntry MakeUninstallEntry(const formats::InstallRecord& record, const std::string& uninstaller,
                                  const ProductStrings& product);

// Windows only. Reads ProductVersion and CompanyName from the version resource of the program
// at `path` (the first translation it lists); what is missing or empty stays empty.
ProductStrings ReadProductStrings(const std::string& path);

// Windows only. Writes `entry` under the current user's key, or the machine's for a system-wide
// installation, replacing the values of a key of that name. Throws Error with the reason.
void WriteUninstallEntry(const UninstallEntry& entry, InstallScope scope);

// Windows only. Removes the key `key` from the current user's and the machine's lists where it
// is. Gives the reasons it could not be removed from one of them, else nothing.
std::vector<std::string> RemoveUninstallEntry(const std::string& key);

}  // namespace kitforge::setup
