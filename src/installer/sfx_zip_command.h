#pragma once
// The Create SFX Zip command without its window: any files the user picks are packed into a
// zip and the zip is turned into a self-extracting executable with the program's own
// zipsfx.bin. The only tie to the project is the default name and folder, taken from the
// build-script file. Every dialog and box goes through UiHost, so tests can script them;
// kitforge-cli sfx runs the same packing without the dialogs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"
#include "platform/ui_host.h"

namespace kitforge {

class TZipMaster;

inline constexpr std::string_view kSfxZipDialogTitle = "Create Self Extracting Zip";
inline constexpr std::string_view kSfxZipNameCaption = "Create SFX Zip File";
inline constexpr std::string_view kSfxZipNamePrompt = "Zip File Name";
inline constexpr std::string_view kSfxZipCreated = " successfully created.";
inline constexpr std::string_view kSfxConversionFailed = "SFX conversion failed.";

// The file-open dialog: several files, each must exist, starting in the script's folder (the
// home folder for a project without a file).
FileDialogOptions SfxZipFileDialog(const std::string& script_file_name);

// The name the input box offers: the script file's name cut at its first "." (empty for a
// project without a file).
std::string DefaultZipName(std::string_view script_file_name);

// The zip name (a path without extension) for what the user typed: a name without a folder
// goes into the script's folder; the file-name part is cut at its first ".", so archive.zip
// gives archive and D:\out\my.files.zip gives D:\out\my, while a "." in a folder name stays.
// Throws Error when nothing of the file name is left.
std::string ZipNameFor(std::string_view typed, std::string_view script_file_name);

// Packs `files` (full paths) into zip_name + ".zip" with `zip` (an existing zip of that name is
// added to, not replaced), deletes an old zip_name + ".exe", and converts the zip with the
// program's zipsfx.bin. Gives the executable's path when one exists afterwards, nothing when
// the conversion succeeded without leaving one. Throws Error("SFX conversion failed.") when
// the conversion fails, and an Error naming both files when two of them share a file name
// (the zip keeps names without folders). What the component reports itself goes to its host.
std::optional<std::string> MakeSelfExtractingZip(TZipMaster& zip, const std::vector<std::string>& files,
                                                 const std::string& zip_name, const std::string& program_folder);

// The whole command: the file dialog, the name box, the busy cursor, the packing, and
// "<executable> successfully created." or the failure's text in a plain box. Cancelling
// either dialog or giving an empty name ends it without a word. Gives the executable's path
// when one was made.
std::optional<std::string> RunCreateSfxZip(UiHost& host, const std::string& script_file_name,
                                           const std::string& program_folder = ProgramFolder());

}  // namespace kitforge
