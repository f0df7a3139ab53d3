#include "zipsfx/sfx_program.h"

#include <new>

#include "zipsfx/archive_completeness.h"
#include "zipsfx/archive_report.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/sfx_extraction.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

namespace {

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Run(const SfxOptions& options, SfxEnvironment& environment) {
    Console& console = *environment.console;
    FileSource source(environment.self_path);
    const SfxParts parts = LocateSfxParts(source);
    const ZipArchive archive = ReadZipArchive(source, parts.archive_start);
    CheckArchiveComplete(source, parts, archive);
    const std::string target = TargetFolder(options, parts.header, environment.self_path, environment.home);
    switch (options.action) {
        case SfxAction::List:
            ListHeader(parts.header, target, console);
            ListArchive(archive, console);
            return 0;
        case SfxAction::Test:
            return TestArchive(source, archive, console, options.silent) ? 0 : static_cast<int>(FailureKind::Damaged);
        case SfxAction::Extract:
        case SfxAction::Help: break;
    }
    ExtractArchive(source, parts.header, archive, options, target, environment);
    return 0;
}

}  // namespace

std::string TargetFolder(const SfxOptions& options, const StubHeader& header, const std::string& self_path,
                         const std::string& home) {
    if (options.folder) return *options.folder;
    const std::string own_folder = ParentFolder(self_path);
    if (header.default_folder.empty()) return own_folder;
    std::string folder = header.default_folder;
    for (char& c : folder) {
        if (c == '\\') c = '/';
    }
    if (!home.empty() && (folder == "~" || folder.rfind("~/", 0) == 0)) return home + folder.substr(1);
    if (folder.front() == '/') return folder;
#ifdef _WIN32
    if (folder.size() >= 2 && folder[1] == ':') return folder;  // a drive: "C:/Program Files/..."
#endif
    return (own_folder == "/" ? "" : own_folder) + "/" + folder;
}

int RunSfx(const std::vector<std::string>& arguments, SfxEnvironment& environment) {
    Console& console = *environment.console;
    const std::string program = FileNameOf(environment.self_path);
    try {
        const SfxOptions options = ParseSfxOptions(arguments);
        if (options.action == SfxAction::Help) {
            console.Say(SfxUsage(program));
            return 0;
        }
        return Run(options, environment);
    } catch (const SfxError& error) {
        console.Complain(program + ": " + error.what());
        return static_cast<int>(error.Kind());
    } catch (const std::bad_alloc&) {
        console.Complain(program + ": out of memory");
        return static_cast<int>(FailureKind::Damaged);
    } catch (const std::exception& error) {
        console.Complain(program + ": " + error.what());
        return static_cast<int>(FailureKind::Damaged);
    }
}

}  // namespace kitforge::zipsfx
