#pragma once
// The line-list half of a compressed build: every EXTRACT line is taken out of the list and
// its source joins the group of its target folder; each group later becomes one
// self-extracting zip "!install<i>.exe" in the script folder, which the installer puts into
// the target folder, runs there and cleans up again.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

struct CompressedGroup {
    // As written in the EXTRACT line that made the group (the last such line of the script).
    std::string target;
    // The sources as written in their lines, in reverse script order; never empty.
    std::vector<std::string> sources;
};

// Takes every EXTRACT line out of `lines`, from the last to the first, and gives the groups:
// targets match when equal in ASCII capitals, a new target opens a new group at the end. So
// group 0 belongs to the last EXTRACT line, and of targets that differ only in letter case the
// group keeps the spelling that comes last in the script.
std::vector<CompressedGroup> TakeCompressedGroups(std::vector<std::string>& lines);

// script_folder + "!install" + number (no leading zeros); the group's zip and executable are
// this with ".zip" and ".exe".
std::string GroupBaseName(std::string_view script_folder, std::size_t number);

// The three lines of group `number`: put the executable into the target, run it there (the
// path in double quotes when the target holds a blank, so that it stays one word), clean the
// target up.
std::vector<std::string> GroupLines(std::string_view script_folder, std::size_t number, std::string_view target);

// Puts the three lines of every group at the top of `lines`, group by group from 0 upwards,
// each group's lines in front of the previous ones: the list then starts with the lines of the
// highest group and ends the group lines with those of group 0.
void InsertGroupLines(std::vector<std::string>& lines, const std::vector<CompressedGroup>& groups,
                      std::string_view script_folder);

// A zip of a group holds its files under their bare names, so two different files of one name
// would keep only one of them. Throws Error naming both paths and the target. The same path
// given twice is no clash (it is one file). `paths` are expanded paths.
void RefuseSharedFileNames(const std::vector<std::string>& paths, std::string_view target);

// `paths` without the repeats of a path given more than once, first occurrences kept in order.
std::vector<std::string> WithoutRepeats(const std::vector<std::string>& paths);

}  // namespace kitforge
