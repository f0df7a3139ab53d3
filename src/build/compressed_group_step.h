#pragma once
// The hook through which the installer writer hands a compressed build to the compressed-group
// step: the step takes every EXTRACT line out of the line list, packs the sources of each
// target folder into script folder + "!install<i>.exe", and puts the lines that put, run and
// clean up those executables at the top of the list.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kitforge {

// Rewrites `lines` in place for the script at `script_path` and gives the number of groups
// made (their executables are deleted by the writer once the installer is complete). Every
// failure is thrown as kitforge::Error with the text the user should read.
using CompressedGroupStep = std::function<std::size_t(std::vector<std::string>& lines, const std::string& script_path)>;

// The step the writer uses unless told otherwise.
std::size_t MakeCompressedGroups(std::vector<std::string>& lines, const std::string& script_path);

}  // namespace kitforge
