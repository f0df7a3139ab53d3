#pragma once
// Text when the machine has no fonts of its own.

namespace kitforge::window {

// The toolkit draws text with the fonts fontconfig knows; a bare system (a container, a minimal
// install) has none, and every label would be empty. When fontconfig lists no font, text is
// drawn with the X server's core fonts instead (its built-in "fixed" at the least; characters
// the font lacks show as '?'). Call after the display is open and before any window is shown.
// True when the server's fonts are used.
bool UseServerFontsWhenNoneInstalled();

}  // namespace kitforge::window
