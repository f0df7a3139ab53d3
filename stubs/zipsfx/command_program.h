#pragma once
// The program that the header's command line starts after extraction. Its first word may name
// a file in the target folder; only a file that this run wrote may be started from there, so
// that a file kept from before, or planted by someone else, is never run in the archive's name.

#include <string>
#include <vector>

#include "zipsfx/folder_writer.h"

namespace kitforge::zipsfx {

// What to hand to the shell, which runs it with `target` as its current folder:
// - a first word without "/" that names a file this run wrote gets "./" in front, as Windows
//   would find a program in the current folder;
// - a first word that names no file in the target (a bare name, or a relative path) is left
//   as it is, so the shell looks for a bare name on PATH;
// - a first word that names a file in the target which is not one of `written` (compared by
//   device and inode, so a file swapped in since is caught too) throws SfxError of kind
//   CommandFailed naming it.
// An absolute first word is left as it is. On Windows the command is given unchanged.
std::string CommandToRun(const std::string& command_line, const std::string& target,
                         const std::vector<FileIdentity>& written);

}  // namespace kitforge::zipsfx
