#pragma once
// One compressed group of a build: its files packed into a zip through the zip component and
// the zip turned into a self-extracting executable with the program's own zipsfx.bin.

#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kitforge {

class TZipMaster;

inline constexpr const char* kSelfExtractorStubName = "zipsfx.bin";
// The same stub without a window, for the groups of a compressed build: the installer runs
// their self-extractors behind its own window, so they need none, and each group stays small.
inline constexpr const char* kTextSelfExtractorStubName = "zipsfx-text.bin";

// The folder of the zip library as the zip component wants it: the program folder without
// its trailing separator.
std::string ZipLibraryFolder(const std::string& program_folder);

// The stub zipsfx.bin of the program folder, in whatever letter case its name has there (the
// path as spelled when there is no such file, so that the search reports it missing).
std::string ProgramSelfExtractorStub(const std::string& program_folder);

// The stub for a compressed group: zipsfx-text.bin of the program folder when it is there
// (in any letter case), else zipsfx.bin as ProgramSelfExtractorStub gives it.
std::string GroupSelfExtractorStub(const std::string& program_folder);

// The settings with which the program makes every self-extracting zip: the stub zipsfx.bin
// from the program folder, extract and run without questions, always overwrite.
void UseProgramSelfExtractor(TZipMaster& zip, const std::string& program_folder);

// Deletes `path` when it exists; a file that stays is an error naming it.
void DeleteIfPresent(const std::string& path);

// Makes base_name + ".exe" from `sources` (expanded paths of existing files, in the group's
// order), with the stub GroupSelfExtractorStub gives, on a fresh zip component that is released on every path. A stale
// base_name + ".zip" or ".exe" is deleted first. Throws Error("SFX conversion failed.") when the conversion fails, and
// an Error that says how many files were packed when the zip library packed some but not all of them. What the
// component reports itself reaches the user through `host`.
void BuildCompressedGroup(UiHost& host, const std::string& base_name, const std::vector<std::string>& sources,
                          const std::string& program_folder);

}  // namespace kitforge
