#pragma once
// The folders an installer writes into, reached so that a symbolic link cannot carry a write
// elsewhere. A folder is entered from a folder the installer trusts (the install folder, the
// other macro folders, the home folder, else "/"), one part at a time, without following a link:
// a link that another user plants in the install folder, or swaps in while the script runs, is
// refused instead of written through. The trusted folder itself is opened by its path, since the
// user or the system named it.

#include <string>
#include <vector>

#include "os/file.h"
#include "os/folder.h"
#include "platform/file_stamp.h"

namespace kitforge::setup {

// A folder opened for writing (on Windows only its path is used) and its path, for messages.
struct InstallFolder {
    Folder folder;
    std::string path;
};

// Opens `folder` (absolute, tidy). The longest of `anchors` that holds it (or "/") is opened by
// its path, made first with any missing parents when `create`; each part below it is entered
// with O_NOFOLLOW, made first when `create`. Throws InOutError naming the part that is a link
// or a file, or that could not be made or opened. Each folder it made is added to `made`, when
// given, the highest first.
InstallFolder OpenInstallFolder(const std::string& folder, const std::vector<std::string>& anchors, bool create,
                                std::vector<std::string>* made = nullptr);

// Removes the file `name` from `folder`, reached as OpenInstallFolder does. Gives 0, or the
// errno of the failure (ENOENT when the file or the folder is gone).
int RemoveInstalledFile(const std::string& folder, const std::string& name, const std::vector<std::string>& anchors);

// Checks that the program at `path` (absolute, tidy) is still the file `identity` that this
// installer wrote: its folder is reached as OpenInstallFolder does and the file itself is not a
// link. Throws Error saying that the file was replaced otherwise. Gives the file opened for
// running from its descriptor, so that it cannot be swapped between the check and the start;
// for a "#!" script, which its interpreter must find by its path, and on Windows, gives none.
File OpenWrittenProgram(const std::string& path, const FileIdentity& identity, const std::vector<std::string>& anchors);

}  // namespace kitforge::setup
