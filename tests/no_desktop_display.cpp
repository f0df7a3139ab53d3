// Every test program starts without the desktop's display. Tests run the installer and the
// self-extractor with piped answers; on a developer's desktop those programs would otherwise open
// their windows and wait for a click. The window tests start their own X server and name it.

#include <cstdlib>

namespace {

#ifndef _WIN32
[[maybe_unused]] const bool kDisplayCleared = [] {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    return true;
}();
#endif

}  // namespace
