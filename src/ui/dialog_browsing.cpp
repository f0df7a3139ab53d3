#include "ui/dialog_browsing.h"

#include "platform/paths.h"
#include "ui/put_sources.h"

namespace kitforge {

namespace {

constexpr std::string_view kSourceDialogTitle = "Select Source File";
constexpr std::string_view kTargetPickerCaption = "Select Target Folder";

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

std::optional<std::string> BrowsePutSources(UiHost& host, std::string_view source_files) {
    FileDialogOptions options;
    options.title = kSourceDialogTitle;
    options.allow_multiple = true;
    options.file_must_exist = true;
    options.folder_must_exist = true;
    options.file_name = source_files;
    // A quoted list has no folder part of its own; the dialog opens where its first file is.
    options.initial_folder = FolderPart(FirstPutSource(source_files));
    const auto chosen = host.OpenFiles(options);
    if (!chosen || chosen->empty()) return std::nullopt;
    return QuotedFileList(*chosen);
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

std::optional<std::string> BrowseTargetFolder(UiHost& host, std::string_view target_folder) {
    return host.PickFolder(kTargetPickerCaption, target_folder);
}

}  // namespace kitforge
