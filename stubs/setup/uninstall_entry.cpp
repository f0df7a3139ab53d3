#include "setup/uninstall_entry.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "formats/xxh3_digest.h"
#include "setup/windows_shortcut.h"

namespace kitforge::setup {

std::string UninstallKeyName(std::string_view program_folder) {
    std::string folded(program_folder);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '\\') c = '/';
    }
    const std::uint64_t hash = formats::Xxh3_64(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(folded.data()), folded.size()));
    char digits[17] = {};
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("Kitforge_") + digits;
}

std::uint32_t EstimatedSizeKiB(const std::vector<formats::InstallItem>& items) {
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t kib = 0;
    for (const auto& item : items) {
        if (item.kind != formats::InstallItemKind::File) continue;
        kib += item.size / 1024 + (item.size % 1024 != 0 ? 1 : 0);
        if (kib >= kLimit) return static_cast<std::uint32_t>(kLimit);
    }
    return static_cast<std::uint32_t>(kib);
}

UninstallEntry MakeUninstallEntry(const formats::InstallRecord& record, const std::string& uninstaller,
                                  const ProductStrings& product) {
    UninstallEntry entry;
    entry.key = UninstallKeyName(record.program_folder);
    // Built by appending: GCC 12 mistakes "\"" + text for an overlapping copy (-Wrestrict).
    std::string program(1, '"');
    program += WindowsPathText(uninstaller);
    program += '"';
    auto& values = entry.values;
    // Windows lists no entry without a name: an untitled installation goes by its folder's.
    const std::string name =
        record.title.empty() ? record.program_folder.substr(record.program_folder.find_last_of('/') + 1) : record.title;
    values.push_back({"DisplayName", name});
    if (!product.version.empty()) values.push_back({"DisplayVersion", product.version});
    if (!product.publisher.empty()) values.push_back({"Publisher", product.publisher});
    values.push_back({"DisplayIcon", WindowsPathText(uninstaller)});
    values.push_back({"EstimatedSize", EstimatedSizeKiB(record.items)});
    values.push_back({"UninstallString", program});
    values.push_back({"QuietUninstallString", program + " --silent"});
    values.push_back({"InstallLocation", WindowsPathText(record.program_folder)});
    values.push_back({"NoModify", std::uint32_t{1}});
    values.push_back({"NoRepair", std::uint32_t{1}});
    return entry;
}

}  // namespace kitforge::setup
