#pragma once
// The self-extractor's window: the same questions as on the terminal, as pages of one window
// with buttons, for a person who started the file without a terminal.

#include <memory>
#include <string>

#include "zipsfx/sfx_front_end.h"

namespace kitforge::zipsfx {

// Opens the display and gives the window front-end (titled `program_name` until the caption
// is known), or nothing when no display can be opened.
std::unique_ptr<SfxFrontEnd> MakeSfxWindow(const std::string& program_name);

}  // namespace kitforge::zipsfx
