#include <cstring>

#include "os/errors.h"

namespace kitforge {

std::string SystemReason(int code) { return std::strerror(code); }

}  // namespace kitforge
