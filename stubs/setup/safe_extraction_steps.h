#pragma once
// The per-system steps around putting a written file in place of its name (safe_extraction_*.cpp).

#include <string>

namespace kitforge::setup {

// What PrepareReplacement changed at the name, to be put back if the rename fails.
struct Replacement {
    unsigned long attributes_before = 0;
    bool changed = false;
};

// Readies `path` to be replaced by a rename: on Windows a read-only file standing there is made
// writable, as a rename on Linux would replace it anyway. Nothing on Linux.
Replacement PrepareReplacement(const std::string& path);
// Puts back what PrepareReplacement changed: the file that stays keeps its read-only mark.
void UndoReplacement(const std::string& path, const Replacement& replacement);
// After the rename: on Windows, which has no permission bits, a mode without any write bit makes
// the file read-only. Nothing on Linux, where the mode was given before the rename.
void FinishReplacement(const std::string& path, unsigned mode);

}  // namespace kitforge::setup
