// The installer stub trusts nothing in its own payload. From any bytes, reading and planning
// the script must either refuse the installer with one of its own errors, or give steps whose
// every write lands in the folder the script names, under a plain file name (no control
// character either), after the installer program's own image, and whose texts
// reach the terminal and the launcher files without control characters. The checksum check
// either passes or refuses the installer as damaged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/installer_payload.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "setup/command_line_split.h"
#include "setup/desktop_launcher.h"
#include "setup/folder_macros.h"
#include "setup/installer_listing.h"
#include "setup/launcher_location.h"
#include "setup/program_image.h"
#include "setup/script_plan.h"
#include "setup/setup_errors.h"

namespace {

using namespace kitforge::setup;

void Check(bool condition) {
    if (!condition) std::abort();
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

const MacroFolders kFolders{"/fuzz/program", "/fuzz/wtemp", "/fuzz/common", "/fuzz/system"};

SetupEnvironment FuzzEnvironment() {
    SetupEnvironment environment;
    environment.home = "/fuzz/home";
    ApplyXdgDefaults(environment, "", "");
    return environment;
}

void CheckExtract(const kitforge::payload::Payload& payload, const ScriptStep& step) {
    const std::string& name = payload.files.at(step.file_index).name;
    Check(kitforge::formats::IsSafeFileName(name));
    Check(!HasControlCharacter(name));
    const std::string folder = ResolveScriptPath(step.folder, kFolders);
    Check(!folder.empty() && folder.front() == '/');
    const std::string path = folder + "/" + name;
    Check(path.rfind('/') == folder.size());
}

void CheckLauncher(const ScriptStep& step, const SetupEnvironment& environment) {
    LauncherLocation location;
    try {
        location = ResolveLauncherLocation(step.location, kFolders, environment, InstallScope::PerUser);
    } catch (const kitforge::Error&) {
        return;
    }
    if (location.kind != LauncherLocation::Kind::Place) return;
    Check(!location.name.empty() && location.name.find('/') == std::string::npos);
    Check(location.name != "." && location.name != "..");
    Check(location.name.find('\\') == std::string::npos);
    if (step.location.front() == '<') {
        Check(StartsWith(location.folder, environment.home + "/"));
        Check(location.folder.find("/../") == std::string::npos);
    }
    Launcher launcher;
    launcher.name = LauncherDisplayName(location.name);
    launcher.words = step.words;
    for (auto& word : launcher.words) word = ExpandFolderMacros(word, kFolders);
    const std::string text = DesktopEntryText(launcher);
    // Every value stays on its own line: four fixed lines, Name, Exec and Terminal.
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    Check(lines == 6);
    for (char c : text) Check(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kitforge::payload::MemoryByteSource source(data, size, "fuzz.exe");
    kitforge::payload::PayloadLimits limits;
    limits.max_text_bytes = 1 << 20;
    kitforge::payload::Payload payload;
    std::vector<ScriptStep> steps;
    try {
        payload = kitforge::payload::ReadPayload(source, limits);
        CheckPayloadFollowsImage(source, payload);
        steps = PlanScript(payload);
        kitforge::payload::VerifyPayloadChecksum(source, payload);
    } catch (const kitforge::payload::PayloadError&) {
        return 0;
    } catch (const kitforge::payload::DamagedInstallerError& e) {
        Check(!HasControlCharacter(e.what()));
        return 0;
    } catch (const ScriptError& e) {
        Check(!HasControlCharacter(e.what()));
        return 0;
    }
    const SetupEnvironment environment = FuzzEnvironment();
    Check(steps.size() == payload.lines.size());
    for (const auto& step : steps) {
        switch (step.word) {
            case CommandWord::Extract: CheckExtract(payload, step); break;
            case CommandWord::Execute:
            case CommandWord::Run: Check(!step.words.empty() && !step.words.front().empty()); break;
            case CommandWord::Link: CheckLauncher(step, environment); break;
            case CommandWord::Copy:
                Check(!step.source.empty());
                Check(ResolveScriptPath(step.source, kFolders).front() == '/');
                break;
            case CommandWord::Cleanup:
            case CommandWord::Quit:
            case CommandWord::Unknown: break;
        }
    }
    const std::string listing = InstallerListing("fuzz.exe", payload, steps);
    for (char c : listing) Check(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    return 0;
}
