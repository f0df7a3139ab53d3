#pragma once
// What the system does with a file by its name: rename it over another in one step, remove
// it, and the permissions a replacement gets. Paths are the system's own (see NativePath).
// Each gives 0 or the errno value of the failure (on Windows while GetLastError() still
// holds the Windows error behind it).

#include <optional>
#include <string>

#include "os/file.h"

namespace kitforge {

// Puts `from` in place of `to` in one step; a file or a link at `to` is replaced, never
// followed. EXDEV when the two are on different file systems.
int RenameOver(const std::string& from, const std::string& to);
// Removes the file `path` (a link itself, not what it points to).
int RemoveFile(const std::string& path);
// The permission bits for a file that replaces `path`: those of the file there, without
// set-user-ID, set-group-ID and sticky (the replacement belongs to whoever writes it, and must
// not become a program that runs with their rights); 0666 less the umask when there is none.
// Windows has no such bits: 0666.
unsigned ReplacementMode(const std::string& path);
// Gives the open `file` the permission bits `mode` exactly. Nothing to do on Windows.
int SetPermissions(File& file, unsigned mode);
// Flushes the names in `folder` to the disk, so that a rename survives a crash. Best effort;
// Windows writes names through by itself.
void SyncFolder(const std::string& folder);
// Opens for writing in place the device that `path` names itself (/dev/null, not a link to
// one): no file may take a device's place, and only root can make one, so it is no trap laid
// by another user. It is opened without being created or emptied, and given only when it is
// still the device that was looked at. Nothing when `path` names no device (always on
// Windows). Throws InOutError naming `shown`.
std::optional<File> OpenNamedDevice(const std::string& path, const std::string& shown);
// Removes the folder `path` when it is empty.
int RemoveEmptyFolder(const std::string& path);
// The number of this process, for names that must differ between processes.
unsigned long CurrentProcessId();
// The umask of the process; 0 on Windows.
unsigned CurrentUmask();

}  // namespace kitforge
