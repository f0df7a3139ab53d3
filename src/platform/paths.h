#pragma once
// Path helpers. Build scripts are written with Windows paths ("%apppath%\files\a.txt",
// "C:\proj\my.inf"), so the folder and file-name parts treat "\" and ":" as separators
// as well as this platform's "/".

#include <string>
#include <string_view>

#include "os/native_path.h"

namespace kitforge {

// True for "\", "/" and ":" — the characters after which a file name begins.
bool IsPathSeparator(char c) noexcept;

// The text up to and including the last separator; empty when there is none.
std::string FolderPart(std::string_view path);

// The text after the last separator; the whole text when there is none.
std::string FileNamePart(std::string_view path);

// True when `path` does not depend on the current folder: it starts with "/", and on Windows
// also with "\" or a drive letter and a colon ("C:\..." , "C:/...").
bool IsAbsolutePath(std::string_view path) noexcept;

// The folder of the running program's executable, ending in "/" ("\" on Windows), determined once.
const std::string& ProgramFolder();

// The folder part of `path` with its trailing separator removed ("" stays "").
std::string WithoutTrailingSeparator(std::string_view path);

}  // namespace kitforge
