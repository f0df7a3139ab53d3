#include "setup/setup_run.h"

#include <memory>

#include "os/file.h"
#include "payload/payload_reader.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "setup/cancelled_run.h"
#include "setup/folder_ownership.h"
#include "setup/installer_checksum.h"
#include "setup/installer_listing.h"
#include "setup/program_image.h"
#include "setup/script_interpreter.h"
#include "setup/script_plan.h"
#include "setup/setup_cancel.h"
#include "setup/setup_errors.h"
#include "setup/setup_options.h"
#include "setup/temporary_run_folder.h"
#include "setup/uninstall_entry.h"
#include "setup/uninstall_run.h"
#include "setup/uninstaller_record.h"
#include "setup/uninstaller_writer.h"

namespace kitforge::setup {

namespace {

class SetupRun {
public:
    SetupRun(std::string program_name, const std::string& installer_path, const SetupEnvironment& environment,
             const SetupStreams& streams, const WindowFrontEndMaker& make_window)
        : name_(std::move(program_name)),
          installer_path_(installer_path),
          environment_(environment),
          streams_(streams),
          make_window_(make_window) {}

    int Run(const std::vector<std::string>& option_words) {
        // The same program is the uninstaller when a record stands at its end instead of a payload.
        const bool uninstaller = IsUninstallerFile(installer_path_);
        SetupOptions options;
        try {
            options = ParseSetupOptions(option_words);
            if (uninstaller) RefuseInstallOnlyOptions(options);
        } catch (const UsageError& e) {
            PrintLine(streams_.err, name_ + ": " + e.what());
            PrintLine(streams_.err, "Try '" + name_ + " --help' for the options.");
            return kBadUsage;
        }
        if (options.help) {
            std::fputs((uninstaller ? UninstallHelpText(name_) : SetupHelpText(name_, static_cast<bool>(make_window_)))
                           .c_str(),
                       streams_.out);
            return kInstalled;
        }
        if (options.version) {
            PrintLine(streams_.out, name_ + " (Kitforge installer " + kVersionText + ")");
            return kInstalled;
        }
        const std::unique_ptr<SetupFrontEnd> front = ChooseFrontEnd(options);
        const int status = uninstaller ? RunUninstall(options, installer_path_, environment_, *front, streams_.out)
                                       : Guarded(*front, [&] { return Carry(options, *front); });
        front->Finish(static_cast<SetupStatus>(status));
        return status;
    }

private:
    // The window when the person cannot answer on the terminal (started from a file manager)
    // or asked for it, and a display can be opened; the terminal otherwise, as it always was.
    std::unique_ptr<SetupFrontEnd> ChooseFrontEnd(const SetupOptions& options) {
        const bool quiet_work = options.silent || options.list || options.check;
        const bool want_window = options.gui || (!options.text && !IsTerminal(streams_.in));
        if (!quiet_work && want_window && make_window_) {
            if (auto window = make_window_(name_)) return window;
        }
        if (options.gui && !quiet_work) {
            PrintLine(streams_.err, name_ + ": warning: no window can be shown (no display); using the terminal");
        }
        return std::make_unique<TerminalFrontEnd>(streams_, name_, options.silent);
    }

    template <typename Work>
    int Guarded(SetupFrontEnd& front, Work work) {
        try {
            return work();
        } catch (const SetupCancelled&) {
            front.Complain("the installation was cancelled; it may be incomplete");
            return kCancelled;
        } catch (const std::exception& e) {
            front.Complain(e.what());
            return kFailed;
        }
    }

    int Carry(const SetupOptions& options, SetupFrontEnd& front) {
        File installer = File::OpenRead(installer_path_);
        payload::FileByteSource source(installer);
        const payload::Payload payload = payload::ReadPayload(source);
        CheckPayloadFollowsImage(source, payload);
        const std::vector<ScriptStep> steps = PlanScript(payload);
        if (options.list) {
            std::fputs(InstallerListing(installer_path_, payload, steps).c_str(), streams_.out);
            return kInstalled;
        }
        // Before anything is written, and after the script is known to be well formed, so that
        // its own faults keep their precise messages; --list shows the payload without reading it
        // through.
        const payload::ChecksumCheck checksum = VerifyInstallerChecksum(source, payload, streams_, name_);
        if (options.check) {
            PrintLine(streams_.out, InstallerCheckSummary(installer_path_, payload, checksum));
            return kInstalled;
        }

        InstallSettings settings;
        settings.environment = environment_;
        settings.scope = environment_.is_root && !options.per_user ? InstallScope::SystemWide : InstallScope::PerUser;
        settings.folders = DefaultMacroFolders(environment_, payload.title, options.target, settings.scope);
        RefuseUnsafeFolder(options, settings.folders.program);
        // From here on Ctrl+C cancels: at the question it reads as EXIT, later it stops the
        // installation between commands and cleans up.
        InstallCancelHandler();
        SetupIntroduction introduction;
        introduction.title = Printable(payload.title);
        introduction.prompt = Printable(payload.prompt);
        introduction.folder = settings.folders.program;
        introduction.folder_choosable = options.target.empty();
        const std::optional<std::string> folder = front.Ask(introduction);
        if (!folder) {
            front.Say("Nothing was installed.");
            return kCancelled;
        }
        if (*folder != settings.folders.program) {
            // Another folder was chosen in the window: it stands for %program% as --target would.
            settings.folders = DefaultMacroFolders(environment_, payload.title, *folder, settings.scope);
            RefuseUnsafeFolder(options, settings.folders.program);
        }

        ThrowIfCancelled();
        TemporaryRunFolder wtemp(environment_.temp_root);
        settings.folders.wtemp = wtemp.Path();
        ScriptInterpreter interpreter(payload, installer, settings, front);
        try {
            interpreter.Run(steps);
        } catch (const ScriptError& e) {
            front.Complain(e.what());
            front.Complain("the installation failed; the lines before it were carried out");
            return kFailed;
        } catch (const SetupCancelled&) {
            return TakeBackCancelledRun(interpreter.RecordedItems(), settings, front);
        }
        std::optional<std::string> uninstaller;
        try {
            uninstaller = LeaveUninstaller(installer, InstallerImageSize(source, payload), payload.title, settings,
                                           interpreter.RecordedItems(), front);
        } catch (const std::exception& e) {
            front.Complain(e.what());
            front.Complain("the files are installed, but no uninstaller could be written for them");
            return kFailed;
        }
#ifdef _WIN32
        if (uninstaller) ListInSettings(*uninstaller, settings.scope, front);
#endif
        front.Say("Installation complete.");
        return kInstalled;
    }

#ifdef _WIN32
    // Lists the installation in Settings > Apps with the record the uninstaller now carries,
    // earlier installations into the same folder included. The files are in place and the
    // uninstaller works without it: a failure is a warning.
    void ListInSettings(const std::string& uninstaller, InstallScope scope, SetupFrontEnd& front) const {
        try {
            File file = File::OpenRead(uninstaller);
            const formats::InstallRecord record = ReadUninstallerRecord(file);
            WriteUninstallEntry(MakeUninstallEntry(record, uninstaller, ReadProductStrings(installer_path_)), scope);
        } catch (const std::exception& e) {
            front.Warning(std::string(e.what()) + "; the installation is not listed in Settings > Apps");
        }
    }
#endif

    void RefuseUnsafeFolder(const SetupOptions& options, const std::string& program_folder) const {
        if (!environment_.is_root || options.force) return;
        const std::string unsafe = FolderOthersCanChange(program_folder);
        if (!unsafe.empty()) {
            throw Error("refusing to install as root into " + PrintablePath(program_folder) + ": " + unsafe +
                        ", so another user could redirect what is written there; use "
                        "--force to install anyway");
        }
    }

    std::string name_;
    const std::string& installer_path_;
    const SetupEnvironment& environment_;
    SetupStreams streams_;
    const WindowFrontEndMaker& make_window_;
};

}  // namespace

int RunSetup(const std::vector<std::string>& arguments, const std::string& installer_path,
             const SetupEnvironment& environment, const SetupStreams& streams, const WindowFrontEndMaker& make_window) {
    std::string name = arguments.empty() ? std::string() : FileNamePart(arguments.front());
    if (name.empty()) name = "setup";
    const std::vector<std::string> options(arguments.empty() ? arguments.end() : arguments.begin() + 1,
                                           arguments.end());
    return SetupRun(Printable(name), installer_path, environment, streams, make_window).Run(options);
}

}  // namespace kitforge::setup
