#include "window/window_display.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>

namespace kitforge::window {

namespace {

// Xlib's default handler for a lost connection ends the program; a stub that lost its display
// has nowhere to show anything, so it ends quietly with the failure status instead.
int DisplayLost(Display*) { std::_Exit(1); }

// Xlib reads the person's resources from ~/.Xdefaults and, without HOME, looks the home folder
// up in the user database: in a static program that lookup may need the C library's shared
// modules of the very version linked in, and fail badly with another. Without HOME only the
// resources the server holds are used, so that the lookup never happens.
void UseServerResourcesWithoutHome(Display* display) {
    if (std::getenv("HOME") != nullptr) return;
    XrmInitialize();
    const char* resources = XResourceManagerString(display);
    XrmSetDatabase(display, XrmGetStringDatabase(resources != nullptr ? resources : ""));
}

bool IsOnScreen(Fl_Window& window) {
    XWindowAttributes attributes{};
    return window.shown() && XGetWindowAttributes(fl_display, fl_xid(&window), &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

// The toolkit's own warnings (an input method that cannot be opened on a system without X
// locale files, say) tell the person running a stub nothing they could act on.
void IgnoreToolkitWarning(const char*, ...) {}

}  // namespace

bool OpenWindowDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    Display* display = XOpenDisplay(name);
    if (display == nullptr) return false;
    XSetIOErrorHandler(DisplayLost);
    Fl::warning = IgnoreToolkitWarning;
    UseServerResourcesWithoutHome(display);
    fl_open_display(display);
    return true;
}

void CenterOnScreen(Fl_Window& window) { window.position((Fl::w() - window.w()) / 2, (Fl::h() - window.h()) / 2); }

void ShowWindow(Fl_Window& window) {
    window.show();
    static bool noted = false;
    if (noted || std::getenv("KITFORGE_NOTE_MAPPED") == nullptr) return;
    while (!IsOnScreen(window)) Fl::wait(0.005);
    Fl::flush();
    std::fputs("window mapped\n", stderr);
    std::fflush(stderr);
    noted = true;
}

}  // namespace kitforge::window
