#pragma once
// The hook through which the installer writer hands a compressed build to the compressed-group
// step: the step takes every EXTRACT line out of the line list, packs the sources of each
// target folder into script folder + "!install<i>.exe", and puts the lines that put, run and
// clean up those executables at the top of the list.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kitforge {

// Rewrites `lines` in place for the script at `script_path` and gives the number of groups
// made (their executables are deleted by the writer once the installer is complete). Every
// failure is thrown as kitforge::Error with the text the user should read.
using CompressedGroupStep = std::function<std::size_t(std::vector<std::string>& lines, const std::string& script_path)>;

// Makes base_name + ".exe" from the files of one group (expanded paths, none repeated).
using GroupMaker = std::function<void(const std::string& base_name, const std::vector<std::string>& sources)>;

// The whole step with the way each group is packed left open: groups the EXTRACT lines,
// checks every source (it must be an existing file, and no two files of a group may share a
// name) before anything is written, puts the group lines at the top of the list, then makes
// the groups from 0 upwards; the first failure ends it. Gives the number of groups.
std::size_t RewriteCompressedGroups(std::vector<std::string>& lines, const std::string& script_path,
                                    const GroupMaker& make_group);

// The step the writer uses unless told otherwise: each group is packed by
// BuildCompressedGroup with the zip library and zipsfx.bin of `program_folder` (which ends
// in a separator); the zip component talks to the user through `host`.
std::size_t MakeCompressedGroups(UiHost& host, std::vector<std::string>& lines, const std::string& script_path,
                                 const std::string& program_folder);

}  // namespace kitforge
