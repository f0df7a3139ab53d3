#include "setup/setup_run.h"

#include "payload/payload_reader.h"
#include "os/file.h"
#include "platform/paths.h"
#include "platform/version.h"
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

namespace kitforge::setup {

namespace {

class SetupRun {
public:
    SetupRun(std::string program_name, const std::string& installer_path, const SetupEnvironment& environment,
             const SetupStreams& streams)
        : name_(std::move(program_name)),
          installer_path_(installer_path),
          environment_(environment),
          streams_(streams) {}

    int Run(const std::vector<std::string>& option_words) {
        SetupOptions options;
        try {
            options = ParseSetupOptions(option_words);
        } catch (const UsageError& e) {
            PrintLine(streams_.err, name_ + ": " + e.what());
            PrintLine(streams_.err, "Try '" + name_ + " --help' for the options.");
            return kBadUsage;
        }
        if (options.help) {
            std::fputs(SetupHelpText(name_).c_str(), streams_.out);
            return kInstalled;
        }
        if (options.version) {
            PrintLine(streams_.out, name_ + " (Kitforge installer " + kVersionText + ")");
            return kInstalled;
        }
        try {
            return Carry(options);
        } catch (const SetupCancelled&) {
            PrintLine(streams_.err, name_ + ": the installation was cancelled; it may be incomplete");
            return kCancelled;
        } catch (const std::exception& e) {
            std::fflush(streams_.out);
            PrintLine(streams_.err, name_ + ": " + e.what());
            return kFailed;
        }
    }

private:
    int Carry(const SetupOptions& options) {
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
        if (environment_.is_root && !options.force) {
            const std::string unsafe = FolderOthersCanChange(settings.folders.program);
            if (!unsafe.empty()) {
                throw Error("refusing to install as root into " + Printable(settings.folders.program) + ": " + unsafe +
                            ", so another user could redirect what is written there; use "
                            "--force to install anyway");
            }
        }
        // From here on Ctrl+C cancels: at the question it reads as EXIT, later it stops the
        // installation between commands and cleans up.
        InstallCancelHandler();
        Introduce(payload, settings.folders.program);
        if (!options.silent && AskInstallOrExit(streams_) == Choice::Exit) {
            PrintLine(streams_.out, "Nothing was installed.");
            return kCancelled;
        }

        ThrowIfCancelled();
        TemporaryRunFolder wtemp(environment_.temp_root);
        settings.folders.wtemp = wtemp.Path();
        ConsoleProgress progress(streams_, name_);
        ScriptInterpreter interpreter(payload, installer, std::move(settings), progress);
        try {
            interpreter.Run(steps);
        } catch (const ScriptError& e) {
            std::fflush(streams_.out);
            PrintLine(streams_.err, name_ + ": " + e.what());
            PrintLine(streams_.err, name_ + ": the installation failed; the lines before it were carried out");
            return kFailed;
        }
        PrintLine(streams_.out, "Installation complete.");
        return kInstalled;
    }

    void Introduce(const payload::Payload& payload, const std::string& program_folder) {
        if (!payload.title.empty()) PrintLine(streams_.out, Printable(payload.title));
        if (!payload.prompt.empty()) PrintLine(streams_.out, Printable(payload.prompt));
        PrintLine(streams_.out, "Install folder: " + Printable(program_folder));
        std::fflush(streams_.out);
    }

    std::string name_;
    const std::string& installer_path_;
    const SetupEnvironment& environment_;
    SetupStreams streams_;
};

}  // namespace

int RunSetup(const std::vector<std::string>& arguments, const std::string& installer_path,
             const SetupEnvironment& environment, const SetupStreams& streams) {
    std::string name = arguments.empty() ? std::string() : FileNamePart(arguments.front());
    if (name.empty()) name = "setup";
    const std::vector<std::string> options(arguments.empty() ? arguments.end() : arguments.begin() + 1,
                                           arguments.end());
    return SetupRun(Printable(name), installer_path, environment, streams).Run(options);
}

}  // namespace kitforge::setup
