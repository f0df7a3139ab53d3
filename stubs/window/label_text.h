#pragma once
// Text from outside (titles, prompts, file names) as a label of the toolkit.

#include <string>

namespace kitforge::window {

// `text` with every '@' doubled: FLTK reads "@name" in a label as a symbol to draw, and an
// installer's prompt or a file name must show as written.
std::string LabelText(const std::string& text);

}  // namespace kitforge::window
