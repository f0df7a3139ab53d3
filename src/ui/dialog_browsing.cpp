#include "ui/dialog_browsing.h"

#include <cstdlib>
#include <vector>

#include "installer/expand_app_path.h"
#include "os/file.h"
#include "platform/paths.h"
#include "ui/app_path_source.h"
#include "ui/put_sources.h"

namespace kitforge {

namespace {

constexpr std::string_view kSourceDialogTitle = "Select Source File";
constexpr std::string_view kTargetPickerTitle = "Target Folder";

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr && IsAbsolutePath(home) ? std::string(home) : std::string("/");
}

}  // namespace

const std::array<std::string_view, 4>& FolderMacros() {
    static constexpr std::array<std::string_view, 4> macros = {"%wtemp%", "%program%", "%common%", "%system%"};
    return macros;
}

const std::array<std::string_view, 31>& SpecialFolderTokens() {
    static constexpr std::array<std::string_view, 31> tokens = {
        "<DESKTOP>",
        "<INTERNET>",
        "<PROGRAMS>",
        "<CONTROLS>",
        "<PRINTERS>",
        "<PERSONAL>",
        "<FAVORITES>",
        "<STARTUP>",
        "<RECENT>",
        "<SENDTO>",
        "<BITBUCKET>",
        "<STARTMENU>",
        "<DESKTOPDIRECTORY>",
        "<DRIVES>",
        "<NETWORK>",
        "<NETHOOD>",
        "<FONTS>",
        "<TEMPLATES>",
        "<COMMON_STARTMENU>",
        "<COMMON_PROGRAMS>",
        "<COMMON_STARTUP>",
        "<COMMON_DESKTOPDIRECTORY>",
        "<APPDATA>",
        "<PRINTHOOD>",
        "<ALTSTARTUP>",
        "<COMMON_ALTSTARTUP>",
        "<COMMON_FAVORITES>",
        "<INTERNET_CACHE>",
        "<COOKIES>",
        "<HISTORY>",
        "<QUICK_LAUNCH>",
    };
    return tokens;
}

std::optional<std::string> BrowsePutSources(UiHost& host, std::string_view source_files,
                                            std::string_view script_file_name) {
    const std::string script_folder = FolderPart(script_file_name);
    FileDialogOptions options;
    options.title = kSourceDialogTitle;
    options.allow_multiple = true;
    options.file_must_exist = true;
    options.folder_must_exist = true;
    options.file_name = source_files;
    // A quoted list has no folder part of its own; the dialog opens where its first file is,
    // found as the build finds it.
    options.initial_folder = FolderPart(ExpandAppPath(FirstPutSource(source_files), script_folder));
    if (source_files.empty()) options.initial_folder = script_folder;
    const auto chosen = host.OpenFiles(options);
    if (!chosen || chosen->empty()) return std::nullopt;
    std::vector<std::string> sources;
    for (const auto& path : *chosen) sources.push_back(AppPathSource(path, script_file_name));
    return QuotedFileList(sources);
}

std::optional<std::string> BrowseCopySource(UiHost& host, std::string_view source_file,
                                            const std::string& program_folder) {
    FileDialogOptions options;
    options.title = kSourceDialogTitle;
    options.file_must_exist = true;
    options.folder_must_exist = true;
    options.file_name = source_file;
    options.initial_folder = source_file.empty() ? program_folder : FolderPart(source_file);
    const auto chosen = host.OpenFiles(options);
    if (!chosen || chosen->empty()) return std::nullopt;
    return chosen->front();
}

std::string TargetPickerStart(std::string_view target_folder) {
    // A macro stands for a folder of the installing machine, and a relative text for one inside
    // %program% there: neither is a folder here.
    if (!IsAbsolutePath(target_folder)) return HomeFolder();
    std::string folder = WithoutTrailingSeparator(NativePath(target_folder));
    while (!folder.empty() && !FolderExists(folder)) folder = WithoutTrailingSeparator(FolderPart(folder));
    return folder.empty() ? std::string("/") : folder;
}

std::optional<std::string> BrowseTargetFolder(UiHost& host, std::string_view target_folder) {
    return host.PickFolder(kTargetPickerTitle, TargetPickerStart(target_folder));
}

}  // namespace kitforge
