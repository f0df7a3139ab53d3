#pragma once
// What an extraction will do, decided before anything is written: which entries, under which
// paths, and which existing files they meet. Everything that can make the archive unfit for
// extraction is found here, so a bad archive stops before the first byte lands on the disk.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

enum class TargetState { Missing, File, Folder };

struct PlannedItem {
    const ArchiveEntry* entry = nullptr;
    std::string path;  // relative to the target folder, "/"-separated
    bool is_directory = false;
    TargetState state = TargetState::Missing;
    bool write = true;                    // false: an existing file is kept
    std::optional<std::string> password;  // of an encrypted file, once settled
};

// One item per entry, in archive order. Throws SfxError naming the entry when a name is
// unsafe, an entry cannot be unpacked, or two entries would claim the same path (one as a file
// and one as a folder, or one file twice).
std::vector<PlannedItem> CheckEntries(const ZipArchive& archive);

// Reads an answer such as "1,3-5 8" (numbers as listed, from 1) into a choice per item;
// "" or "*" chooses all. Gives nothing when the answer is not understood.
std::optional<std::vector<bool>> ParseSelection(std::string_view answer, std::size_t count);

// Looks at what already stands at each item's path under `root` (which may not exist yet).
// Throws SfxError when a folder on the way is a file or a symbolic link, or when a folder
// entry meets a file or a file entry meets a folder.
void ProbeTargets(const std::string& root, std::vector<PlannedItem>& items);

// The bytes that the items to be written will take.
std::uint64_t BytesToWrite(const std::vector<PlannedItem>& items);

}  // namespace kitforge::zipsfx
