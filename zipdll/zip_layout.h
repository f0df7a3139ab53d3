#pragma once
// The zip records this library reads and writes. They are the program's own format header,
// which is header-only and free of the rest of the program, so the library shares it rather
// than keeping a copy that could drift.

#include "zip/zip_format.h"

namespace zipdll {
namespace layout = kitforge::zip_format;
}  // namespace zipdll
