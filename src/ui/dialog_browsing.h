#pragma once
// What the command dialogs offer and what their browse buttons do, apart from the widgets:
// the folder macros and special-folder tokens of their combo boxes, and the file and folder
// choosers behind the "..." buttons, asked through UiHost.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui_host.h"

namespace kitforge {

// The items of every folder or command combo box. The installer resolves them on the
// installing machine; the editor writes them as typed.
const std::array<std::string_view, 4>& FolderMacros();

// The items of the shortcut location combo box.
const std::array<std::string_view, 31>& SpecialFolderTokens();

// The source button of "Put A File": several files may be chosen; gives the new source text
// (every chosen path in double quotes, one blank between them), or nothing when the user
// cancels or chooses no file. A file in the folder of `script_file_name` or below it is
// written from "%apppath%" (see AppPathSource); the dialog opens where the current first
// source is, else in the script's folder.
std::optional<std::string> BrowsePutSources(UiHost& host, std::string_view source_files,
                                            std::string_view script_file_name = {});

// The source button of "Copy File": one file; an empty field starts in the program folder.
std::optional<std::string> BrowseCopySource(UiHost& host, std::string_view source_file,
                                            const std::string& program_folder);

// The target button of "Put A File" and "Copy File": the folder picker "Target Folder", starting
// at the folder the field names (or, for a folder that does not exist, its nearest existing
// parent); a macro, a relative text or an empty field is no folder here, and it starts in the
// home folder. A chosen folder replaces any macro in the field.
std::optional<std::string> BrowseTargetFolder(UiHost& host, std::string_view target_folder);

// Where that picker starts for the field's text.
std::string TargetPickerStart(std::string_view target_folder);

}  // namespace kitforge
