#pragma once
// Leaving an uninstaller beside a finished installation: the installer program without its
// payload (so it stays small), followed by the record of everything the installation wrote.
// Run, the same program finds the uninstaller's mark at its end and removes what the record
// lists (see uninstall_run.h).

#include <cstdint>
#include <string>
#include <vector>

#include "formats/install_record.h"
#include "os/file.h"
#include "payload/payload_reader.h"
#include "setup/script_interpreter.h"

namespace kitforge::setup {

// Where the installer program ends in `source`: the end of its ELF image when that lies before
// the payload (something may sit between them), else where the payload starts.
std::uint64_t InstallerImageSize(payload::ByteSource& source, const payload::Payload& payload);

// `earlier` with `later` laid over it: a file or launcher `later` lists replaces the one of the
// same path, every folder either made stays, and the title is `later`'s.
formats::InstallRecord MergeInstallRecords(const formats::InstallRecord& earlier, const formats::InstallRecord& later);

// Writes <%program%>/uninstall (mode 0755) through a temporary file: the first `image_size`
// bytes of `installer`, then the record of `items` merged over the record of an uninstaller
// already standing there (an earlier installation), with the "Uninstall <title>" menu entry
// added when the record holds launchers. Warns through `progress` when the earlier uninstaller
// cannot be read, and leaves a file of that name alone that is not an uninstaller. Gives the
// uninstaller's path, or nothing when none was written. Throws Error when it cannot be written
// (the menu entry it made is taken away again).
std::optional<std::string> LeaveUninstaller(File& installer, std::uint64_t image_size, const std::string& title,
                                            const InstallSettings& settings,
                                            const std::vector<formats::InstallItem>& items, ProgressSink& progress);

}  // namespace kitforge::setup
