// kitforge-cli make-sfx ZIP [--stub PATH] [--caption T] [--dir D] [--command C] [--auto-run]
// [--overwrite always|never|confirm] ...: the zip component's self-extracting conversion run
// unattended. Its messages go to stderr; the new executable's path goes to stdout.

#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/commands.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/paths.h"
#include "zip/sfx_entry_check.h"
#include "zip/zip_master.h"

namespace kitforge::cli {

namespace {

struct MakeSfxArguments {
    std::string zip;
    std::string stub;
    std::string caption = "Self-extracting Archive";
    std::string folder;
    std::string command;
    bool auto_run = false;
    bool ask_files = false;
    bool ask_command = false;
    bool hide_overwrite_question = false;
    bool no_size_check = false;
    std::string overwrite = "confirm";
    std::string delete_mode = "trash";
    bool force = false;
};

std::string FromCurrentFolder(const std::string& path) {
    if (path.empty() || IsAbsolutePath(path)) return path;
    return std::filesystem::current_path().string() + "/" + path;
}

// What a failed conversion's result means, for the one line on stderr.
std::string ResultText(int result, const std::string& output) {
    switch (result) {
        case sfx_result::kCannotCreateOutput: return "the executable " + output + " cannot be created";
        case sfx_result::kWriteFailed:
            return "writing " + output + " failed, or the archive's offsets cannot be moved (it is too large)";
        case sfx_result::kCannotRead: return "the stub or the archive cannot be read, or the archive has no end record";
        default: break;
    }
    return "the size of " + output + " does not add up to the stub, the header and the archive";
}

// The name MakeSFX gives its output: the archive's name with ".exe" for its extension.
std::string OutputName(const std::string& source) {
    const std::size_t dot = source.rfind('.');
    const std::size_t slash = source.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return source + ".exe";
    return source.substr(0, dot) + ".exe";
}

OvrOpts OverwriteModeOf(const std::string& name) {
    if (name == "always") return OvrAlways;
    if (name == "never") return OvrNever;
    return OvrConfirm;
}

// Prints the component's reports that did not end the command, one line each.
void PrintReports(const std::vector<std::string>& reports, std::size_t count) {
    for (std::size_t i = 0; i < count && i < reports.size(); ++i) std::cerr << "kitforge-cli: " << reports[i] << '\n';
}

SFXOpts OptionsOf(const MakeSfxArguments& arguments) {
    SFXOpts options;
    if (arguments.ask_command) options.Include(SFXAskCmdLine);
    if (arguments.ask_files) options.Include(SFXAskFiles);
    if (arguments.auto_run) options.Include(SFXAutoRun);
    if (arguments.hide_overwrite_question) options.Include(SFXHideOverWriteBox);
    if (!arguments.no_size_check) options.Include(SFXCheckSize);
    return options;
}

}  // namespace

void AddMakeSfxCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<MakeSfxArguments>();
    auto* command = app.add_subcommand(
        "make-sfx",
        "Turn a zip archive into a self-extracting executable: the stub zipsfx.bin, a 256-byte header with the "
        "options below, and the archive with its offsets moved. ZIP must end in .zip (any letter case); the "
        "executable gets its name with .exe and replaces a file of that name, which goes to the trash first. On "
        "success the zip archive is deleted (to the trash unless --delete final) and the executable's path is "
        "printed on stdout. A volume of a multi-volume set is refused, and so is an archive holding an entry the "
        "self-extractor cannot extract (unless --force); nothing is changed then.");
    command->add_option("ZIP", arguments->zip, "the zip archive to convert")->required();
    command->add_option("--stub", arguments->stub,
                        "the stub to put in front (default: zipsfx.bin beside kitforge-cli)");
    command->add_option("--caption", arguments->caption, "the title the self-extractor shows")->capture_default_str();
    command->add_option("--dir", arguments->folder,
                        "the folder it extracts into (default: the folder the executable lies in)");
    command->add_option("--command", arguments->command, "a command line to run in that folder after extracting");
    command->add_flag("--auto-run", arguments->auto_run, "run the command line after extracting without asking");
    command->add_flag("--ask-command", arguments->ask_command, "ask before running the command line");
    command->add_flag("--ask-files", arguments->ask_files, "let the user choose the files to extract");
    command->add_flag("--hide-overwrite-question", arguments->hide_overwrite_question,
                      "do not let the user change the overwrite mode");
    command->add_flag("--no-size-check", arguments->no_size_check, "do not check the free space before extracting");
    command->add_option("--overwrite", arguments->overwrite, "what to do with existing files: confirm, always, never")
        ->transform(CLI::IsMember({"confirm", "always", "never"}, CLI::ignore_case))
        ->capture_default_str();
    command
        ->add_option("--delete", arguments->delete_mode,
                     "how the zip archive and a replaced executable are deleted: trash or final")
        ->transform(CLI::IsMember({"trash", "final"}, CLI::ignore_case))
        ->capture_default_str();
    command->add_flag("--force", arguments->force,
                      "convert even when the self-extractor cannot extract some entry (encrypted with AES or "
                      "strong encryption, compressed with a method other than Stored or Deflate, or a "
                      "symbolic link); without it such an archive is refused, naming the first such entry");

    command->callback([arguments, &context] {
        TZipMaster zip(context.host);
        zip.SetUnattended(true);
        auto reports = std::make_shared<std::vector<std::string>>();
        zip.OnMessage = [reports](TZipMaster&, int, const std::string& text) { reports->push_back(text); };
        // The stub is found by this path first; on a case-sensitive file system the search's
        // own default name "ZipSFX.bin" would miss the stub as built.
        zip.SetSFXPath(arguments->stub.empty() ? ProgramFolder() + "zipsfx.bin" : FromCurrentFolder(arguments->stub));
        zip.SetSFXOptions(OptionsOf(*arguments));
        zip.SetSFXOverWriteMode(OverwriteModeOf(arguments->overwrite));
        zip.SetSFXCaption(arguments->caption);
        zip.SetSFXDefaultDir(arguments->folder);
        zip.SetSFXCommandLine(arguments->command);
        zip.SetHowToDelete(arguments->delete_mode == "final" ? htdFinal : htdAllowUndo);

        const std::string source = FromCurrentFolder(arguments->zip);
        if (!FileExists(source)) throw Error("Cannot open " + DisplayPath(source) + ": no such file");
        File::OpenRead(source).Close();  // an unreadable archive fails here, with the reason
        zip.SetZipFilename(source);
        if (zip.ZipFilename().empty()) {
            PrintReports(*reports, reports->size() - 1);
            throw Error(reports->empty() ? "Cannot read " + DisplayPath(source) + ": it is not a zip archive"
                                         : reports->back());
        }
        PrintReports(*reports, reports->size());
        reports->clear();

        // What the executable could never extract is refused before anything changes: the
        // archive stays where it is and no executable is written.
        const std::string refused = "Cannot make a self-extracting executable of " + source + ": ";
        if (zip.TotalDisks() > 0) {
            throw Error(refused +
                        "it is one volume of a multi-volume set, which the self-extractor cannot extract. "
                        "Nothing was changed");
        }
        const std::string unextractable = FirstEntryTheSfxStubRefuses(zip.Entries());
        if (!unextractable.empty() && !arguments->force) {
            throw Error(refused + unextractable + ". Nothing was changed; --force converts it anyway");
        }

        const int result = zip.MakeSFX();
        if (result != sfx_result::kDone) {
            // A precondition that failed has reported why: that report is the command's one line.
            const bool reported = result == sfx_result::kRefused && !reports->empty();
            PrintReports(*reports, reported ? reports->size() - 1 : reports->size());
            throw Error(reported ? reports->back()
                                 : "Cannot make a self-extracting executable of " + source + ": " +
                                       (zip.LastFileFailure().empty() ? ResultText(result, OutputName(source))
                                                                      : zip.LastFileFailure()));
        }
        PrintReports(*reports, reports->size());
        if (!unextractable.empty()) {
            std::cerr << "kitforge-cli: warning: converted as --force asks, but the self-extractor cannot extract "
                      << unextractable << '\n';
        }
        std::cout << DisplayPath(zip.ZipFilename()) << '\n';
        context.status = kSuccess;
    });
}

}  // namespace kitforge::cli
