#pragma once
// Opening the display a stub's window goes to, and showing the window there.

class Fl_Window;

namespace kitforge::window {

// Opens the X display that DISPLAY names (also under Wayland, where XWayland sets it) for the
// window toolkit. False when there is none or it cannot be reached: the stub then stays on the
// terminal. Never ends the program.
bool OpenWindowDisplay();

// Places `window` in the middle of the screen.
void CenterOnScreen(Fl_Window& window);

// Shows `window` (again). With KITFORGE_NOTE_MAPPED set in the environment (the start-time
// benchmark sets it), the program's first window is also waited for until it is on the screen,
// and then "window mapped" is written on standard error.
void ShowWindow(Fl_Window& window);

}  // namespace kitforge::window
