#pragma once
// What kind of thing an open file is.

#include "os/file.h"

namespace kitforge {

// True when `file` is an ordinary file: no folder, device, pipe or socket.
bool IsRegular(File& file);

}  // namespace kitforge
