#pragma once
// The install record at the end of an uninstaller: the installer program with a record in
// place of its payload (see formats/install_record.h).

#include <optional>

#include "formats/install_record.h"
#include "os/file.h"

namespace kitforge::setup {

// The name of the uninstaller in the install folder.
#ifdef _WIN32
inline constexpr const char* kUninstallerName = "uninstall.exe";
#else
inline constexpr const char* kUninstallerName = "uninstall";
#endif

// True when `file` ends with the uninstaller's mark instead of an installer's.
bool HasUninstallerMark(File& file);

// The record of the uninstaller `file`. Throws ReadError naming the file and the reason when
// it has no mark or its record is damaged.
formats::InstallRecord ReadUninstallerRecord(File& file);

}  // namespace kitforge::setup
