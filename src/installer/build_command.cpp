#include "installer/build_command.h"

#include <exception>

#include "installer/line_list.h"
#include "installer/output_clash.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/ini_profile.h"

namespace kitforge {

namespace {

constexpr std::string_view kStubName = "setup.ex_";

// Step 4 deletes whatever the output path names, so make sure first that it names nothing
// the build reads. The script is read here only for its source paths. When it is missing or
// cannot be read, it names no sources: the writer then fails on it with its own message, and
// by then the earlier installer must be gone, as after any failed build, rather than be left
// for the result of this one.
void RefuseDestructiveOutput(const std::string& output, const std::string& stub, const std::string& script) {
    std::vector<std::string> sources;
    if (FileExists(script)) {
        try {
            sources = SourcePaths(ReadLineList(IniProfile::Read(script)), FolderPart(script));
        } catch (const FileError&) {
            // No sources to compare with; the writer reports the script.
        }
    }
    RefuseOutputThatIsAnInput(output, stub, script, sources);
}

// An earlier installer must never remain under the output name after a failed build, so a
// file that cannot be deleted stops the build here.
void DeleteOldOutput(const std::string& output) {
    if (!FileExists(output)) return;
    int error = 0;
    if (!DeleteFile(output, &error)) throw InOutError("delete", output, error);
}

}  // namespace

std::string DefaultStubPath(const std::string& program_folder) { return program_folder + std::string(kStubName); }

std::string BuildOutputPath(std::string_view output_field, std::string_view script_file_name) {
    std::string output(output_field);
    if (output.empty()) {
        output = FileNamePart(script_file_name);
        const auto dot = output.find('.');
        if (dot != std::string::npos) output = output.substr(0, dot + 1) + "exe";
    }
    if (FileNamePart(output) == output) output = FolderPart(script_file_name) + output;
    return output;
}

bool RunBuildCommand(UiHost& host, std::string_view output_field, const std::string& script_file_name,
                     const std::string& program_folder, const BuildCommandOptions& options) {
    const std::string output = BuildOutputPath(output_field, script_file_name);
    const std::string stub = options.stub_path.empty() ? DefaultStubPath(program_folder) : options.stub_path;
    bool written = false;
    try {
        RefuseDestructiveOutput(output, stub, script_file_name);
        DeleteOldOutput(output);
        const BusyCursor busy(host);
        BuildOptions build = options.build;
        if (build.program_folder.empty()) build.program_folder = program_folder;
        written = BuildInstaller(host, output, stub, script_file_name, build);
    } catch (const std::exception& e) {
        // The busy cursor is already restored here: the guard ended with the try block.
        host.Fail(e.what());
        return false;
    }
    // A writer that gave false has already said why; a second box saying only that the build
    // failed would be one failure told twice.
    if (!written) return false;
    if (!FileExists(output)) {
        host.Warn("Build failed: " + DisplayPath(output) + " was not written");
        return false;
    }
    if (options.announce_success) host.Inform("Build complete");
    return true;
}

}  // namespace kitforge
