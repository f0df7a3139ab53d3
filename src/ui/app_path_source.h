#pragma once
// How a source file picked with a browse button is written into the script: a file in the
// script's folder or below it is named from that folder with "%apppath%", which the builder
// expands, so the script and its files build together on any machine and in any folder.

#include <string>
#include <string_view>

namespace kitforge {

// "%apppath%" followed by the path of `path` below the folder of `script_file_name`, with "/"
// between its parts ("%apppath%payload/app.sh"), when `path` lies in that folder or below it,
// also when one of them reaches it through a symbolic link. Any other path, and every path of
// a project that has no file yet, is given back unchanged.
std::string AppPathSource(const std::string& path, std::string_view script_file_name);

}  // namespace kitforge
