#pragma once
// Takes away what an install record lists, and nothing else: a file only while it is still the
// one that was installed (same size and checksum), a launcher or the uninstaller while it is a
// plain file, a folder only when it is empty. Every folder is reached as the installer reached
// it (see OpenInstallFolder), so a link standing where a recorded folder or file was is never
// followed and never removed. The uninstaller and a cancelled installation both use it.

#include <functional>
#include <string>
#include <vector>

#include "formats/install_record.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

struct RemovalOutcome {
    std::vector<std::string> removed;   // paths taken away
    std::vector<std::string> kept;      // files changed since they were installed, left in place
    std::vector<std::string> failures;  // "<path> ...: <reason>" for what could not be removed

    bool Complete() const { return failures.empty(); }
};

// The folders that removal enters by their paths (the user or the system named them): the
// install folder when the installation did not make it, the home folder, the XDG folders, the
// launcher folders of both scopes, and the folder above each folder it made. Any of them that a recorded folder holds
// is left out, so that everything the installation made is entered without following links.
std::vector<std::string> RemovalAnchors(const SetupEnvironment& environment, const std::string& program_folder,
                                        const std::vector<formats::InstallItem>& items);

// Removes `items`: files, launchers and the uninstaller first, the last written first, then
// the folders, the deepest first. A missing item is not a failure. `announce` is told of each
// item before it is looked at.
RemovalOutcome RemoveRecordedItems(const std::vector<formats::InstallItem>& items,
                                   const std::vector<std::string>& anchors,
                                   const std::function<void(const formats::InstallItem&)>& announce = {});

}  // namespace kitforge::setup
