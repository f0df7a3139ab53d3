#include <cstring>

#include "os/errors.h"

namespace kitforge {

std::string SystemCodeText(unsigned long system_code) { return std::strerror(static_cast<int>(system_code)); }

std::string SystemReason(int code) {
    const unsigned long system_code = NotedSystemCode(code);
    return system_code != 0 ? SystemCodeText(system_code) : std::string(std::strerror(code));
}

}  // namespace kitforge
