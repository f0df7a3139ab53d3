#pragma once
// Replaces a file so that a failure never destroys its previous contents: the new bytes go
// to a temporary file in the same folder, which is flushed to the disk and then renamed over
// the target. On any failure the temporary file is removed and the target is left exactly
// as it was.

#include <functional>
#include <string>

#include "os/file.h"
#include "os/temporary_file.h"

namespace kitforge {

// A new file that takes the place of `path` only once it is complete, for outputs such as an
// installer. It is written under a temporary name in the same folder, created new (O_EXCL), so
// nothing already at `path` is ever opened for writing, and a link found there (planted by
// someone else in a shared folder, say) is never followed: Commit() renames the new file over
// the name itself. Until then `path` is left as it was; dropped uncommitted, the temporary
// file is removed. A device named as such (/dev/null, not a link to it) cannot be replaced by
// a file and is written in place instead.
class ReplacementFile {
public:
    // Creates the temporary file with `mode` less the umask. Throws InOutError naming `path`.
    explicit ReplacementFile(std::string path, unsigned mode = 0666);
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Runs `write` on the new file. A failure to write it is thrown as InOutError naming
    // `path`, since the temporary name means nothing to the user; other errors pass as they are.
    void Write(const std::function<void(File&)>& write);
    // Flushes the new file to the disk and puts it in place of `path`. Throws InOutError
    // naming `path`; the temporary file is then removed.
    void Commit();

private:
    std::string path_;
    TemporaryFile temporary_;  // none when a device is written in place
    File device_;
};

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
