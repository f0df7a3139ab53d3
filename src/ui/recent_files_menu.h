#pragma once
// File > Open Recent: one item per recent file, numbered for the keyboard, or a disabled
// "(none)".

#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace kitforge {

// Fills `menu` anew. Choosing an item calls `open` with its path.
void FillRecentFilesMenu(QMenu& menu, const std::vector<std::string>& paths,
                         const std::function<void(const std::string&)>& open);

}  // namespace kitforge
