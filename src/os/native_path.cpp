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

}  // namespace kitforge
