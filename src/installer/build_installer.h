#pragma once
// The installer writer: a copy of the installer stub, the integrity block with the payload's
// checksum, and the payload that the stub reads from the end of its own file backwards (see
// formats/installer_payload.h and formats/installer_integrity.h for the layouts).

#include <string>
#include <string_view>

#include "installer/compressed_group_step.h"
#include "installer/expand_app_path.h"
#include "platform/file_copy.h"
#include "platform/ui_host.h"

namespace kitforge {

struct BuildOptions {
    // Runs when the script's [info] compressed reads as a non-zero integer. Empty means
    // MakeCompressedGroups with the writer's host and `program_folder`.
    CompressedGroupStep compressed_groups;
    // Where a compressed build finds the zip library and zipsfx.bin (ends in a separator);
    // empty means the running program's folder.
    std::string program_folder;
    // How the stub and the sources are streamed into the output.
    CopyOptions copy;
    // Report one progress step per source file through UiHost::ShowProgress.
    bool report_progress = true;
};

// Writes the installer for the build script at `script_path` to `output_path`, starting with a
// copy of `stub_path`. Gives true when the installer was written completely. Gives false after
// a failure it has reported itself through `host`: a missing script (error box), or any error
// while the file records and the rest of the payload are written (warning box). Failures
// before the records (the compressed-group step, an output that would overwrite the stub, the
// script or a source, creating the output, opening or copying the stub) are thrown as
// kitforge::Error for the caller to show. The installer is written under a temporary name
// beside `output_path` and renamed into place once complete, so after a failure nothing of it
// is left, and nothing found at the output name is ever written through.
bool BuildInstaller(UiHost& host, const std::string& output_path, const std::string& stub_path,
                    const std::string& script_path, const BuildOptions& options = {});

}  // namespace kitforge
