#pragma once
// A file the installer has just put in place, as the install record keeps it.

#include <string>

#include "formats/install_record.h"
#include "platform/file_stamp.h"
#include "setup/install_folder.h"

namespace kitforge::setup {

// Reads back the file `name` of the open `folder`, which was written as `identity` (an empty
// identity is not compared): its path, size and checksum. Throws FileError when it cannot be
// read or another file stands there by now.
formats::InstallItem WrittenItem(const InstallFolder& folder, const std::string& name, const FileIdentity& identity,
                                 formats::InstallItemKind kind);

}  // namespace kitforge::setup
