#include "setup/uninstall_run.h"

#include "platform/file_stamp.h"
#include "setup/installed_item_remover.h"
#include "setup/running_uninstaller.h"
#include "setup/uninstall_entry.h"
#include "setup/setup_cancel.h"
#include "setup/setup_console.h"
#include "setup/setup_errors.h"
#include "setup/uninstaller_record.h"

namespace kitforge::setup {

namespace {

using formats::InstallItemKind;

const char* KindWord(InstallItemKind kind) {
    switch (kind) {
        case InstallItemKind::File: return "file";
        case InstallItemKind::Launcher: return "launcher";
        case InstallItemKind::Folder: return "folder";
        case InstallItemKind::Uninstaller: return "uninstaller";
    }
    return "item";
}

std::string Listing(const formats::InstallRecord& record) {
    std::string text = "Title: " + Printable(record.title) + "\nInstalled in: " + PrintablePath(record.program_folder) +
                       "\nItems: " + std::to_string(record.items.size()) + "\n";
    for (const auto& item : record.items) {
        text += std::string("  ") + KindWord(item.kind) + " " + PrintablePath(item.path);
        if (item.kind == InstallItemKind::File) text += " (" + std::to_string(item.size) + " bytes)";
        text += "\n";
    }
    return text;
}

#ifdef _WIN32
// The running uninstaller is moved out of the install folder when the record lists it (it is
// this very file), so that it and its folder can go.
std::optional<std::string> SetAsideIfRecorded(const formats::InstallRecord& record, const std::string& path,
                                              const SetupEnvironment& environment) {
    const auto running = StampOf(path);
    if (!running) return std::nullopt;
    for (const auto& item : record.items) {
        if (item.kind != InstallItemKind::Uninstaller) continue;
        const auto recorded = StampOf(item.path);
        if (recorded && recorded->identity == running->identity)
            return MoveRunningProgramAside(path, environment.temp_root);
    }
    return std::nullopt;
}
#endif

int Uninstall(const formats::InstallRecord& record, const std::string& path, const SetupEnvironment& environment,
              SetupFrontEnd& front) {
    // Ctrl+C at the question reads as EXIT. Once removing has begun it runs to the end: the
    // uninstaller is among what it removes, so stopping half-way would leave no way to finish.
    InstallCancelHandler();
    SetupIntroduction introduction;
    introduction.action = SetupAction::Uninstall;
    introduction.title = Printable(record.title);
    introduction.folder = record.program_folder;
    if (!front.Ask(introduction) || CancelRequested()) {
        front.Say("Nothing was removed.");
        return kCancelled;
    }
#ifdef _WIN32
    LeaveTheCurrentFolder(environment.temp_root);
    const std::optional<std::string> aside = SetAsideIfRecorded(record, path, environment);
#else
    (void)path;
#endif
    std::size_t number = 0;
    const RemovalOutcome outcome =
        RemoveRecordedItems(record.items, RemovalAnchors(environment, record.program_folder, record.items),
                            [&](const formats::InstallItem& item) {
                                front.Step(++number, record.items.size(), "Removing " + PrintablePath(item.path));
                            });
    for (const auto& path : outcome.kept) {
        front.Warning("kept because it was changed since it was installed: " + PrintablePath(path));
    }
#ifdef _WIN32
    if (outcome.Complete()) {
        // Settings > Apps lists an uninstaller only while there is one to run.
        for (const auto& failure : RemoveUninstallEntry(UninstallKeyName(record.program_folder)))
            front.Warning(failure);
    } else if (aside && !MoveProgramBack(*aside, path)) {
        front.Complain("the uninstaller could not be put back at " + Printable(path) + "; it is " + Printable(*aside));
    }
#endif
    if (!outcome.Complete()) {
        for (const auto& failure : outcome.failures) front.Complain(failure);
        front.Complain("the uninstallation is incomplete; what is named above is still there");
        return kFailed;
    }
    front.Say("Uninstallation complete.");
    return kInstalled;
}

}  // namespace

bool IsUninstallerFile(const std::string& path) {
    std::optional<File> file = File::TryOpenRead(path);
    return file && HasUninstallerMark(*file);
}

void RefuseInstallOnlyOptions(const SetupOptions& options) {
    if (!options.target.empty())
        throw UsageError("--target is for installing; an uninstaller removes what was installed where it was");
    if (options.per_user)
        throw UsageError("--user is for installing; an uninstaller removes what was installed where it was");
    if (options.force) throw UsageError("--force is for installing; an uninstaller never writes anything");
}

std::string UninstallHelpText(std::string_view program_name) {
    const std::string name(program_name);
    return "Usage: " + name +
           " [--silent] [--gui | --text]\n"
           "       " +
           name +
           " --list | --check | --help | --version\n"
           "\n"
           "Removes what an installation wrote, as the record this uninstaller carries lists it:\n"
#ifdef _WIN32
           "the files that are unchanged since they were installed, the shortcuts, this\n"
           "uninstaller and its entry in Settings > Apps, and the folders the installation made\n"
           "once they are empty. A file changed since it was installed is kept and named. Files that\n"
#else
           "the files that are unchanged since they were installed, the launchers, the\n"
           "\"Uninstall\" menu entry, this uninstaller, and the folders the installation made once\n"
           "they are empty. A file changed since it was installed is kept and named. Files that\n"
#endif
           "programs run by the installer wrote are not in the record and stay. Without --silent\n"
           "it shows the title and the install folder and asks whether to UNINSTALL or EXIT.\n"
           "Started without a terminal (from a file manager or the menu) it shows a window\n"
           "instead, when a display can be opened.\n"
           "\n"
           "Options:\n"
           "  --silent, /S    uninstall without asking (never shows a window)\n"
           "  --gui           show the window even when started from a terminal\n"
           "  --text          ask on the terminal (or standard input), never in a window\n"
           "  --list          print the title, the install folder and every recorded item\n"
           "  --check         only verify that the record is complete and sound\n"
           "  --help, -h      print this text\n"
           "  --version       print the version of the uninstaller program\n"
           "\n"
           "Exit status: 0 uninstalled (or listed, checked), 1 failed (the message names what\n"
           "could not be removed and why), 2 bad usage, 3 cancelled by the user.\n";
}

int RunUninstall(const SetupOptions& options, const std::string& path, const SetupEnvironment& environment,
                 SetupFrontEnd& front, std::FILE* out) {
    try {
        File file = File::OpenRead(path);
        const formats::InstallRecord record = ReadUninstallerRecord(file);
        if (options.list) {
            std::fputs(Listing(record).c_str(), out);
            return kInstalled;
        }
        if (options.check) {
            PrintLine(out, PrintablePath(path) + ": the uninstaller of " + Printable(record.title) +
                               " is sound; its record lists " + std::to_string(record.items.size()) + " items");
            return kInstalled;
        }
        return Uninstall(record, path, environment, front);
    } catch (const std::exception& e) {
        front.Complain(e.what());
        return kFailed;
    }
}

}  // namespace kitforge::setup
