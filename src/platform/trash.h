#pragma once
// Deleting a file so that the user can get it back: the freedesktop.org Trash that desktop
// file managers show and restore from. The trash is $XDG_DATA_HOME/Trash (by default
// ~/.local/share/Trash): the file goes to files/<name> and a files' record to
// info/<name>.trashinfo with its original path and the time of deletion.

#include <string>

namespace kitforge {

// The user's trash folder, from XDG_DATA_HOME or HOME. Throws Error when neither is set.
std::string TrashFolder();

// Moves the file `path` into the trash and gives the name it got there (the file's own name,
// or "name.2", "name.3", ... when the trash holds one of that name already). A file on another
// file system is copied into the trash and then deleted. Throws FileError naming the file and
// the reason; on failure the file stays where it was and the trash is left as it was.
std::string MoveToTrash(const std::string& path);

// The delete of the zip component: one file, either moved to the trash (`allow_undo`) or
// deleted for good. A path without a folder part is taken in the current folder. Gives 0 on
// success, -1 when the file does not exist, and otherwise the errno value of the failure.
int ShellDeleteFile(const std::string& path, bool allow_undo);

// `path` with every byte other than letters, digits, "-", ".", "_", "~" and "/" written as
// %XX, as the Path key of a .trashinfo file wants it.
std::string PercentEncodePath(const std::string& path);

}  // namespace kitforge
