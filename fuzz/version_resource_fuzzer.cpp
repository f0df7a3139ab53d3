// Executables handed to version-info come from anywhere: finding the version block of a PE or
// ELF file, and reading texts out of a block, must take any bytes without reading out of
// bounds, and a block found must lie within the bytes given.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/version_resource.h"

namespace {

void Query(const kitforge::VersionBlock& block) {
    for (const auto& table : block.StringTableNames()) {
        for (const auto key : kitforge::kVersionInfoKeys) {
            (void)block.QueryText("StringFileInfo\\" + table + "\\" + std::string(key));
        }
    }
    (void)block.QueryText("StringFileInfo\\0C0904E4\\FileVersion");
    (void)block.QueryText("VarFileInfo\\Translation");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto block = kitforge::FindVersionBlock(bytes)) {
        if (block->Bytes().size() > size) std::abort();
        Query(*block);
    }
    // The same bytes read as a block on their own.
    Query(kitforge::VersionBlock(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
    return 0;
}
