#pragma once
// Writing installed files so that a failure never leaves half a file under the real name: the
// bytes go to a temporary file in the target folder, which is flushed, given its permissions
// and renamed over the name only when complete.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "os/file.h"
#include "platform/file_stamp.h"
#include "setup/install_folder.h"

namespace kitforge::setup {

// Creates `folder` and every missing folder above it (mode 0777 less the umask). Throws
// InOutError naming the folder that could not be made, or a part that is not a folder. Each
// folder it made is added to `made`, when given, the highest first.
void MakeFolders(const std::string& folder, std::vector<std::string>* made = nullptr);

// Writes the file `folder` + "/" + `name`: `fill` writes the bytes into a temporary file in
// that folder; then the file is flushed to the disk, given `mode` less the umask, and renamed
// over `name`. On any failure the temporary file is removed and whatever stood at `name` stays
// as it was. A link standing at `name` is replaced, never followed. Throws InOutError naming
// the final path (or the error `fill` threw).
void WriteFileThroughTemporary(const std::string& folder, const std::string& name, unsigned mode,
                               const std::function<void(File&)>& fill);

// The same in an open folder (see OpenInstallFolder): the temporary file is created beside
// `name` with O_EXCL and O_NOFOLLOW and renamed relative to the folder's descriptor, so no
// link in or above the folder can redirect it. Gives the identity of the file written.
FileIdentity WriteFileThroughTemporary(const InstallFolder& folder, const std::string& name, unsigned mode,
                                       const std::function<void(File&)>& fill);

// True when the first bytes of a file show that it is meant to be run: "#!" (a script) or an
// ELF header, and on Windows "MZ" (a Windows program). The payload carries no permissions, so
// this decides the executable bit.
bool LooksLikeProgram(std::string_view head);

// The permission bits of an extracted file that starts with `head`: 0755 for programs, 0644
// for everything else (both less the umask when written).
unsigned ExtractedFileMode(std::string_view head);

// Removes `folder` and everything in it, without following links. Gives false when something
// could not be removed.
bool RemoveFolderTree(const std::string& folder);

}  // namespace kitforge::setup
