#pragma once
// Replaces a file so that a failure never destroys its previous contents: the new bytes go
// to a temporary file in the same folder, which is flushed to the disk and then renamed over
// the target. On any failure the temporary file is removed and the target is left exactly
// as it was.

#include <functional>
#include <string>

#include "platform/file.h"

namespace kitforge {

// Calls `write` with a file opened for writing, then puts that file in place of `path`.
// An existing target keeps its permission bits; a link is followed, so the file it points
// to is the one replaced. Throws InOutError naming `path`.
void WriteFileSafely(const std::string& path, const std::function<void(File&)>& write);

}  // namespace kitforge
