#pragma once
// A build deletes and then creates its output file. When the output path names a file that
// the build reads, that file would be destroyed: the build script, the installer stub, or a
// source file of the installer.

#include <string>
#include <vector>

namespace kitforge {

// Throws Error naming the clash when `output_path` is the same existing file (the same
// file-system object, whatever the spelling, links included) as the script, the stub or one
// of `sources`. An output that does not exist yet cannot clash.
void RefuseOutputThatIsAnInput(const std::string& output_path, const std::string& stub_path,
                               const std::string& script_path, const std::vector<std::string>& sources);

}  // namespace kitforge
