#include "installer/build_compressed_group.h"

#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/file_name_case.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

std::string Joined(const std::vector<std::string>& texts) {
    std::string result;
    for (const auto& text : texts) result += "\n" + text;
    return result;
}

}  // namespace

std::string ZipLibraryFolder(const std::string& program_folder) {
    return program_folder.empty() ? program_folder : program_folder.substr(0, program_folder.size() - 1);
}

std::string ProgramSelfExtractorStub(const std::string& program_folder) {
    const std::string stub = program_folder + kSelfExtractorStubName;
    return FindFileIgnoringCase(stub).value_or(stub);
}

std::string GroupSelfExtractorStub(const std::string& program_folder) {
    if (auto text_stub = FindFileIgnoringCase(program_folder + kTextSelfExtractorStubName)) return *text_stub;
    return ProgramSelfExtractorStub(program_folder);
}

void UseProgramSelfExtractor(TZipMaster& zip, const std::string& program_folder) {
    zip.SetSFXPath(ProgramSelfExtractorStub(program_folder));
    zip.SetSFXOptions({SFXAutoRun, SFXHideOverWriteBox});
    zip.SetSFXOverWriteMode(OvrAlways);
}

void DeleteIfPresent(const std::string& path) {
    if (!FileExists(path)) return;
    int error = 0;
    if (!DeleteFile(path, &error)) throw InOutError("delete", path, error);
}

void BuildCompressedGroup(UiHost& host, const std::string& base_name, const std::vector<std::string>& sources,
                          const std::string& program_folder) {
    const std::string zip_path = base_name + ".zip";
    const std::string executable = base_name + ".exe";
    // A zip left by an earlier failed build would be added to, and its files would reach the
    // new group. It goes before the component reads the name, so a half-written one is not
    // read (and reported as damaged) first.
    DeleteIfPresent(zip_path);

    TZipMaster zip(host);
    // The zip is this build's own intermediate file: erased after the conversion, not kept in
    // the trash once per group and build.
    zip.SetHowToDelete(htdFinal);
    for (const auto& source : sources) zip.FSpecArgs().push_back(source);
    zip.SetAddOptions({});
    zip.SetZipFilename(zip_path);
    zip.SetDLLDirectory(ZipLibraryFolder(program_folder));

    std::vector<std::string> library_reports;
    // The zip library's own reports (code not 0) reach nobody else; the component's messages
    // are shown by the host already.
    std::vector<std::string> unshown_reports;
    zip.OnMessage = [&](TZipMaster&, int code, const std::string& message) {
        library_reports.push_back(message);
        if (code != 0) unshown_reports.push_back(NativePath(message));
    };
    zip.Add();
    zip.OnMessage = nullptr;
    // A file the library could not read is reported only to OnMessage and left out; the
    // installer would then lack it without a word. Nothing added at all (a full disk, the only
    // file unreadable) is said with the library's reports too, which name the file and the
    // reason; without reports the conversion finds no zip and reports that.
    if (zip.AddedCount() <= 0 && !unshown_reports.empty()) {
        throw Error("Nothing could be packed into " + DisplayPath(zip_path) + "." + Joined(unshown_reports));
    }
    if (zip.AddedCount() > 0 && static_cast<std::size_t>(zip.AddedCount()) < sources.size()) {
        throw Error("Only " + std::to_string(zip.AddedCount()) + " of the " + std::to_string(sources.size()) +
                    " files of " + executable + " could be packed." + Joined(library_reports));
    }

    DeleteIfPresent(executable);
    UseProgramSelfExtractor(zip, program_folder);
    zip.SetSFXPath(GroupSelfExtractorStub(program_folder));
    if (zip.MakeSFX() != sfx_result::kDone) throw Error("SFX conversion failed.");
}

}  // namespace kitforge
