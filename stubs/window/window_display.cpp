#include "window/window_display.h"

#include <X11/Xlib.h>

#include <FL/Fl.H>
#include <FL/x.H>

#include <cstdlib>

namespace kitforge::window {

namespace {

// Xlib's default handler for a lost connection ends the program; a stub that lost its display
// has nowhere to show anything, so it ends quietly with the failure status instead.
int DisplayLost(Display*) { std::_Exit(1); }

}  // namespace

bool OpenWindowDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    Display* display = XOpenDisplay(name);
    if (display == nullptr) return false;
    XSetIOErrorHandler(DisplayLost);
    fl_open_display(display);
    return true;
}

}  // namespace kitforge::window
