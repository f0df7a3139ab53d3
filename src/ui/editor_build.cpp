#include "ui/editor_build.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "installer/build_check.h"
#include "installer/build_command.h"
#include "os/file.h"
#include "ui/editor_project.h"

namespace kitforge {

namespace {

bool ConfirmBuild(UiHost& host, const BuildDialogs& dialogs, const std::vector<std::string>& problems) {
    if (dialogs.confirm_build) return dialogs.confirm_build(problems);
    std::string text(kBuildCheckIntro);
    for (const auto& problem : problems) text += "\n\n- " + problem;
    text += "\n\nBuild anyway?";
    // Enter keeps the author in the editor to mend the script.
    return host.ShowMessage(MessageKind::Warning, text, kApplicationTitle, Buttons::YesNo, Answer::No) == Answer::Yes;
}

std::string WithThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

}  // namespace

std::string ReadableSize(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string BuiltInstallerText(const BuiltInstaller& built) {
    return "The installer was built:\n" + built.path + "\n" + ReadableSize(built.size) + " (" +
           WithThousands(built.size) + " bytes)";
}

void RunEditorBuild(UiHost& host, const EditorProject& project, const std::string& program_folder,
                    const BuildDialogs& dialogs) {
    const std::string& script = project.ScriptFileName();
    // After No at the save question a project that never had a file has nothing on disk.
    if (script.empty()) {
        host.ShowMessage(MessageKind::Warning, kSaveScriptFirst);
        return;
    }
    const std::string& output_field = project.Field(ProjectField::Output);
    const std::string output = BuildOutputPath(output_field, script);
    const auto problems = CheckBuild(script, output, DefaultStubPath(program_folder));
    if (!problems.empty() && !ConfirmBuild(host, dialogs, problems)) return;

    BuildCommandOptions options;
    options.announce_success = false;
    if (!RunBuildCommand(host, output_field, script, program_folder, options)) return;
    const BuiltInstaller built{output, static_cast<std::uint64_t>(std::max<std::int64_t>(FileSize(output), 0))};
    if (dialogs.show_built) {
        dialogs.show_built(built);
    } else {
        host.ShowMessage(MessageKind::Information, BuiltInstallerText(built));
    }
}

}  // namespace kitforge
