#include "installer/sfx_zip_command.h"

#include <exception>
#include <memory>

#include "installer/build_compressed_group.h"
#include "installer/compressed_groups.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/dialog_start_folder.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

std::string CutAtFirstDot(std::string_view name) { return std::string(name.substr(0, name.find('.'))); }

}  // namespace

FileDialogOptions SfxZipFileDialog(const std::string& script_file_name) {
    FileDialogOptions options;
    options.title = std::string(kSfxZipDialogTitle);
    options.initial_folder = DialogStartFolder(script_file_name);
    options.allow_multiple = true;
    options.file_must_exist = true;
    options.folder_must_exist = true;
    return options;
}

std::string DefaultZipName(std::string_view script_file_name) { return CutAtFirstDot(FileNamePart(script_file_name)); }

std::string ZipNameFor(std::string_view typed, std::string_view script_file_name) {
    std::string name(typed);
    // On this system "/" separates folders as well as "\".
    if (name.find_first_of("\\/") == std::string::npos) name = FolderPart(script_file_name) + name;
    const std::string folder = FolderPart(name);
    const std::string file_name = CutAtFirstDot(FileNamePart(name));
    if (file_name.empty()) {
        throw Error("\"" + std::string(typed) + "\" gives no file name for the zip once its extension is taken off.");
    }
    return folder + file_name;
}

std::optional<std::string> MakeSelfExtractingZip(TZipMaster& zip, const std::vector<std::string>& files,
                                                 const std::string& zip_name, const std::string& program_folder) {
    RefuseSharedFileNames(WithoutRepeats(files), zip_name + ".exe");
    for (const auto& file : files) zip.FSpecArgs().push_back(file);
    zip.SetAddOptions({});
    zip.SetZipFilename(zip_name + ".zip");
    zip.SetDLLDirectory(ZipLibraryFolder(program_folder));
    zip.Add();

    const std::string executable = zip_name + ".exe";
    DeleteIfPresent(executable);
    UseProgramSelfExtractor(zip, program_folder);
    if (zip.MakeSFX() != sfx_result::kDone) throw Error(std::string(kSfxConversionFailed));
    if (!FileExists(executable)) return std::nullopt;
    return zip.ZipFilename();
}

std::optional<std::string> RunCreateSfxZip(UiHost& host, const std::string& script_file_name,
                                           const std::string& program_folder) {
    std::optional<std::string> created;
    std::string failure;
    {
        auto zip = std::make_unique<TZipMaster>(host);
        try {
            const auto chosen = host.OpenFiles(SfxZipFileDialog(script_file_name));
            if (!chosen) return std::nullopt;
            std::vector<std::string> files;
            for (const auto& file : *chosen) {
                if (!file.empty()) files.push_back(file);
            }
            if (files.empty()) return std::nullopt;

            const auto typed = host.InputBox(kSfxZipNameCaption, kSfxZipNamePrompt, DefaultZipName(script_file_name));
            if (!typed || typed->empty()) return std::nullopt;

            const BusyCursor busy(host);
            created = MakeSelfExtractingZip(*zip, files, ZipNameFor(*typed, script_file_name), program_folder);
            if (created) host.Inform(*created + std::string(kSfxZipCreated));
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    // Shown after the component is released and the normal cursor is back.
    if (!failure.empty()) host.ShowMessage(MessageKind::Plain, failure);
    return created;
}

}  // namespace kitforge
