// kitforge-cli sfx FILE... -o NAME: the editor's Create SFX Zip command for scripts. The files
// are packed into NAME.zip and the zip becomes the self-extracting NAME.exe, made with the
// zipsfx.bin beside kitforge-cli and the settings the editor uses. The component's messages
// go to stderr; the executable's path goes to stdout.

#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/commands.h"
#include "installer/sfx_zip_command.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge::cli {

namespace {

struct SfxArguments {
    std::vector<std::string> files;
    std::string name;
    std::string delete_mode = "trash";
};

std::string FromCurrentFolder(const std::string& path) {
    if (path.empty() || IsAbsolutePath(path)) return path;
    return std::filesystem::current_path().string() + "/" + path;
}

}  // namespace

void AddSfxCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<SfxArguments>();
    auto* command = app.add_subcommand(
        "sfx",
        "Pack files into a self-extracting executable, as the editor's File > Create SFX Zip does: the files go "
        "into NAME.zip under their bare names (an existing NAME.zip is added to), and the zip becomes NAME.exe, "
        "which extracts them into its own folder without questions. NAME is taken from the current folder and "
        "loses everything from the first \".\" of its file name (my.files.zip gives my). An existing NAME.exe is "
        "deleted first. On success the zip is deleted (to the trash unless --delete final) and the executable's "
        "path is printed on stdout.");
    command->add_option("FILE", arguments->files, "the files to pack, in this order")->required();
    command->add_option("-o,--output", arguments->name, "the name of the zip and the executable")->required();
    command
        ->add_option("--delete", arguments->delete_mode, "how the zip is deleted after the conversion: trash or final")
        ->transform(CLI::IsMember({"trash", "final"}, CLI::ignore_case))
        ->capture_default_str();

    command->callback([arguments, &context] {
        std::vector<std::string> files;
        for (const auto& file : arguments->files) {
            files.push_back(FromCurrentFolder(file));
            if (!FileExists(files.back())) throw Error("Cannot open " + DisplayPath(files.back()) + ": no such file");
        }
        const std::string zip_name = ZipNameFor(FromCurrentFolder(arguments->name), "");
        TZipMaster zip(context.host);
        zip.SetHowToDelete(arguments->delete_mode == "final" ? htdFinal : htdAllowUndo);
        const auto created = MakeSelfExtractingZip(zip, files, zip_name, ProgramFolder());
        if (!created) throw Error("Cannot make " + DisplayPath(zip_name) + ".exe: the conversion left no file");
        std::cout << *created << '\n';
        context.status = kSuccess;
    });
}

}  // namespace kitforge::cli
