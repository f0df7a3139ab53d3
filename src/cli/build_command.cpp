// kitforge-cli build SCRIPT.inf [-o OUTPUT] [--stub PATH]: the editor's Build command without
// the window. Its messages ("Build complete" and every error, one line each) go to stderr.

#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "installer/build_command.h"
#include "model/script_file.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/paths.h"

namespace kitforge::cli {

namespace {

struct BuildCommandArguments {
    std::string script;
    std::string output;
    std::string stub;
    bool quiet = false;
};

// Paths typed on a command line are taken from the current folder. The script's own path is
// made absolute too, so that "%apppath%" always expands to a real folder.
std::string FromCurrentFolder(const std::string& path) {
    if (path.empty() || IsAbsolutePath(path)) return path;
    return std::filesystem::current_path().string() + "/" + path;
}

}  // namespace

void AddBuildCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<BuildCommandArguments>();
    auto* build = app.add_subcommand(
        "build",
        "Build the installer of a build script, as the editor's Build command does: a copy of the installer stub "
        "followed by the files, the script lines, the prompt and the title. Without -o the output is the script's "
        "output= value, or the script's name with the extension \"exe\", in the script's folder when it names no "
        "folder. An existing output file is replaced; an output that names the script, the stub or a source file "
        "is refused. On success the installer's path is printed on stdout; messages go to stderr.");
    build->add_option("SCRIPT", arguments->script, "the build script (.inf)")->required();
    build->add_option("-o,--output", arguments->output,
                      "the installer to write (taken from the current folder; overrides the script's output=)");
    build->add_option("--stub", arguments->stub, "the installer stub to copy (default: setup.ex_ beside kitforge-cli)");
    build->add_flag("-q,--quiet", arguments->quiet, "do not print a progress line per file");
    build->callback([arguments, &context] {
        const std::string script = FromCurrentFolder(arguments->script);
        std::string output_field;
        if (!arguments->output.empty()) {
            output_field = FromCurrentFolder(arguments->output);
        } else if (FileExists(script)) {
            output_field = ReadScriptFile(script).Output;
        }
        context.host.show_progress = !arguments->quiet;
        BuildCommandOptions options;
        options.stub_path = arguments->stub;
        const bool built = RunBuildCommand(context.host, output_field, script, ProgramFolder(), options);
        if (built) std::cout << DisplayPath(BuildOutputPath(output_field, script)) << '\n';
        context.status = built ? kSuccess : kFailure;
    });
}

}  // namespace kitforge::cli
