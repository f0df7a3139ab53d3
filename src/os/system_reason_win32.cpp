#include <cstring>

#include "os/errors.h"
#include "os/win32_api.h"

namespace kitforge {

std::string SystemCodeText(unsigned long system_code) { return WindowsErrorText(system_code); }

std::string SystemReason(int code) {
    const unsigned long system_code = NotedSystemCode(code);
    if (system_code != 0) return WindowsErrorText(system_code);
    const DWORD last = GetLastError();
    if (last != ERROR_SUCCESS && ErrnoFromWindowsError(last) == code) return WindowsErrorText(last);
    return std::strerror(code);
}

}  // namespace kitforge
