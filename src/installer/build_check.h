#pragma once
// What the editor checks before it builds: the saved script is read as the writer reads it,
// and every line whose installer would fail, skip something or write outside the install
// folder is named, together with an output name the installer's system would not run. The
// build itself refuses none of these; the author decides.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_profile.h"

namespace kitforge {

// The system an installer stub runs on, told by the first bytes of its file.
enum class InstallerPlatform { Unknown, Linux, Windows };

// "\x7F" "ELF" gives Linux, "MZ" Windows; anything else, or a file that cannot be read, Unknown.
InstallerPlatform StubPlatform(const std::string& stub_path);

// One sentence per problem of the [script] lines, in line order. A line is named by its row
// ("Row 3: ...") when its key is a number, as the editor writes them, else by its key. Checked:
// - a Put source that is not an existing file once %apppath% is expanded with `script_folder`
//   (the writer would stop with "File not found");
// - a Put source written as an absolute path: the script then builds only on this machine;
// - a Put, Copy or Shortcut target that is an absolute path ("/home/me/out", "C:\Out") instead
//   of a folder macro: the installer would write there on every machine, whatever install
//   folder the user chooses;
// - a Shortcut whose folder token has no launcher folder on Linux, or is not a token at all
//   (the installer skips the line with a warning), unless the installer is for Windows.
std::vector<std::string> CheckScriptLines(const IniProfile& profile, const std::string& script_folder,
                                          InstallerPlatform platform);

// The output name, when the installer's system would not run a file of that name: on Windows
// one that does not end in ".exe"; on Linux one whose ending makes desktops open the file with
// another program (".sh", ".zip", ".txt" ...). ".exe" is fine on Linux: it is the name the
// builder gives by default and the installer runs by any name.
std::optional<std::string> CheckOutputName(std::string_view output_path, InstallerPlatform platform);

// Everything above for the script at `script_path`, building `output_path` from `stub_path`.
// A script that cannot be read gives no problems: the build reports it.
std::vector<std::string> CheckBuild(const std::string& script_path, const std::string& output_path,
                                    const std::string& stub_path);

}  // namespace kitforge
