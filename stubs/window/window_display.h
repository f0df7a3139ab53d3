#pragma once
// Opening the display a stub's window goes to.

namespace kitforge::window {

// Opens the X display that DISPLAY names (also under Wayland, where XWayland sets it) for the
// window toolkit. False when there is none or it cannot be reached: the stub then stays on the
// terminal. Never ends the program.
bool OpenWindowDisplay();

}  // namespace kitforge::window
