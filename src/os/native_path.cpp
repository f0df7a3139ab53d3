#include "os/native_path.h"

namespace kitforge {

std::string NativePath(std::string_view path) {
    std::string native(path);
#ifndef _WIN32
    // Windows takes "\" and "/" alike, so its paths stay as they were written.
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
#endif
    return native;
}

std::string WindowsDisplayPath(std::string_view path) {
    std::string shown(path);
    for (char& c : shown) {
        if (c == '/') c = '\\';
    }
    return shown;
}

std::string DisplayPath(std::string_view path) {
#ifdef _WIN32
    return WindowsDisplayPath(path);
#else
    return std::string(path);
#endif
}

}  // namespace kitforge
