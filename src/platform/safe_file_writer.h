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

// Writes the file `path` anew without ever opening an existing file of that name: `write`
// fills a temporary file that is created in the same folder and must not exist yet (O_EXCL),
// with `mode` less the umask, and that file is then renamed over `path`. Whatever stands at
// `path` (a file, or a symbolic link another user planted) is replaced, never written through.
// The file is not flushed to the disk, as for any ordinary new file. When `write` throws, or
// the file cannot be finished, the temporary file is removed and `path` is left as it was.
// `write` may close the file itself. Its exceptions pass through; others are InOutError
// naming `path`.
void WriteNewFileSafely(const std::string& path, unsigned mode, const std::function<void(File&)>& write);

}  // namespace kitforge
