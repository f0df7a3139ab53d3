#pragma once
// A build script dragged onto the main window from a file manager.

#include <optional>
#include <string>

class QMimeData;

namespace kitforge {

// The first local file ending in ".inf" (any letter case) among the dropped ones, if any.
std::optional<std::string> DroppedScript(const QMimeData* data);

}  // namespace kitforge
