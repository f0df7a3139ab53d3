#pragma once
// Finding a file by a name whose letter case may differ from the name on the disk. The program
// was made for a file system that ignores letter case, so the names it looks for ("ZipSFX.bin")
// need not match the installed files ("zipsfx.bin") letter for letter.

#include <optional>
#include <string>

namespace kitforge {

// The path of the existing regular file that `path` names, ignoring the ASCII letter case of
// its file-name part: `path` itself when it names one, else the folder's entry whose name
// differs only in letter case (the first in byte order when there are several). Nothing when
// there is none. The folder part must match as it is written.
std::optional<std::string> FindFileIgnoringCase(const std::string& path);

}  // namespace kitforge
