#pragma once
// A build script in a fresh folder, with a stub and source files beside it, for the tests of
// the installer writer and the Build command.

#include <string>
#include <vector>

#include "formats/installer_integrity.h"
#include "formats/installer_payload.h"
#include "installer/build_installer.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"

namespace kitforge::testing {

inline constexpr std::string_view kStub = "#!stub\n";

struct BuildFixture {
    TempFolder folder;
    ScriptedUiHost host;
    std::string script = folder / "my.setup.inf";
    std::string stub = folder / "setup.ex_";
    std::string output = folder / "my.exe";

    BuildFixture() { WriteBytes(stub, kStub); }

    // Writes the script as the editor saves it: [info] with the fields, [script] with the
    // given entries ("1=extract ..."), every line ended by CR LF.
    void WriteScript(const std::vector<std::string>& entries, std::string_view title = "T",
                     std::string_view prompt = "P", std::string_view compressed = "0") const {
        std::string text = "[info]\r\ntitle=" + std::string(title) + "\r\nprompt=" + std::string(prompt) +
                           "\r\nnotes=\r\ncompressed=" + std::string(compressed) + "\r\noutput=\r\n\r\n[script]\r\n";
        for (const auto& entry : entries) text += entry + "\r\n";
        WriteBytes(script, text);
    }

    bool Build(const BuildOptions& options = NoProgress()) {
        return BuildInstaller(host, output, stub, script, options);
    }

    // The output without the stub and the integrity block in front.
    std::string Payload() const {
        const std::string bytes = ReadBytes(output);
        return bytes.substr(std::min(bytes.size(), kStub.size() + formats::kIntegrityBlockSize));
    }

    static BuildOptions NoProgress() {
        BuildOptions options;
        options.report_progress = false;
        return options;
    }
};

inline std::string U32(std::uint32_t value) {
    const auto bytes = formats::PayloadNumber(value);
    return std::string(bytes.begin(), bytes.end());
}

inline std::string Counted(std::string_view text) {
    return std::string(text) + U32(static_cast<std::uint32_t>(text.size()));
}

inline const std::string kMarkBytes = "\x2E\x22\x6B\x3D";

}  // namespace kitforge::testing
