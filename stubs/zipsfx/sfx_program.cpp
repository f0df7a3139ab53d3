#include "zipsfx/sfx_program.h"

#include <memory>
#include <new>

#include "zipsfx/archive_completeness.h"
#include "zipsfx/archive_report.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/entry_passwords.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/sfx_extraction.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/signed_program.h"
#include "zipsfx/terminal_front_end.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

namespace {

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Run(const SfxOptions& options, SfxEnvironment& environment, SfxFrontEnd& front) {
    Console& console = *environment.console;
    FileSource file(environment.self_path);
    UnsignedPart source(file);
    const SfxParts parts = LocateSfxParts(source);
    source.RefuseOverlap(parts.image_end);
    const ZipArchive archive = ReadZipArchive(source, parts.archive_start);
    CheckArchiveComplete(source, parts, archive);
    const std::string target = TargetFolder(options, parts.header, environment.self_path, environment.home);
    std::optional<std::string> given;
    if (options.password_file && options.action != SfxAction::List) given = ReadPasswordFile(*options.password_file);
    PasswordQuestion ask;
    if (!options.silent) {
        ask = [&front](const std::string& path, bool again) { return front.AskPassword(path, again); };
    }
    EntryPasswords passwords(source, std::move(given), options.password_file.value_or(""), std::move(ask));
    switch (options.action) {
        case SfxAction::List:
            ListHeader(parts.header, target, console);
            ListArchive(archive, console);
            return 0;
        case SfxAction::Test:
            return TestArchive(source, archive, console, options.silent, passwords)
                       ? 0
                       : static_cast<int>(FailureKind::Damaged);
        case SfxAction::Extract:
        case SfxAction::Help: break;
    }
    ExtractArchive(source, parts.header, archive, options, target, environment, front, passwords);
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

namespace {

// The window when the person cannot answer on the terminal (started from a file manager) or
// asked for it, and a display can be opened; the terminal otherwise, as it always was.
std::unique_ptr<SfxFrontEnd> ChooseWindow(const SfxOptions& options, SfxEnvironment& environment,
                                          const std::string& program) {
    const bool quiet_work = options.silent || options.action != SfxAction::Extract;
    if (quiet_work || options.text) return nullptr;
    if (!options.gui && environment.input_is_terminal) return nullptr;
    if (environment.make_window) {
        if (auto window = environment.make_window(program)) return window;
    }
    if (options.gui) {
        environment.console->Complain(program + ": warning: no window can be shown (no display); using the terminal");
    }
    return nullptr;
}

template <typename Work>
int Guarded(SfxFrontEnd& front, const std::string& program, Work work) {
    try {
        return work();
    } catch (const SfxError& error) {
        front.Complain(program + ": " + error.what());
        return static_cast<int>(error.Kind());
    } catch (const std::bad_alloc&) {
        front.Complain(program + ": out of memory");
        return static_cast<int>(FailureKind::Damaged);
    } catch (const std::exception& error) {
        front.Complain(program + ": " + error.what());
        return static_cast<int>(FailureKind::Damaged);
    }
}

}  // namespace

int RunSfx(const std::vector<std::string>& arguments, SfxEnvironment& environment) {
    const std::string program = FileNameOf(environment.self_path);
    TerminalFrontEnd terminal(*environment.console);
    SfxOptions options;
    const int usage_status = Guarded(terminal, program, [&] {
        options = ParseSfxOptions(arguments);
        return 0;
    });
    if (usage_status != 0) return usage_status;
    if (options.action == SfxAction::Help) {
        environment.console->Say(SfxUsage(program, static_cast<bool>(environment.make_window)));
        return 0;
    }
    const std::unique_ptr<SfxFrontEnd> window = ChooseWindow(options, environment, Printable(program));
    SfxFrontEnd& front = window ? *window : terminal;
    const int status = Guarded(front, program, [&] { return Run(options, environment, front); });
    front.Finish(status);
    return status;
}

}  // namespace kitforge::zipsfx
