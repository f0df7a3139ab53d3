#include <cstring>

#include "os/errors.h"
#include "os/win32_api.h"

namespace kitforge {

std::string SystemReason(int code) {
    const DWORD last = GetLastError();
    if (last != ERROR_SUCCESS && ErrnoFromWindowsError(last) == code) return WindowsErrorText(last);
    return std::strerror(code);
}

}  // namespace kitforge
