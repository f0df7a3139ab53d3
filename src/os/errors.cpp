#include "os/errors.h"

#include <cstring>

namespace kitforge {

std::string SystemErrorText(int code) {
    return std::string(std::strerror(code)) + " (error " + std::to_string(code) + ")";
}

namespace {

std::string ReasonText(int code, std::string_view reason) {
    if (!reason.empty()) return std::string(reason);
    if (code != 0) return SystemErrorText(code);
    return "unknown error";
}

}  // namespace

FileError::FileError(std::string_view action, std::string path, int code, std::string_view reason)
    : FileError(Parts{std::string(action), std::move(path), code, ReasonText(code, reason)}) {}

FileError::FileError(Parts parts)
    : Error("Cannot " + parts.action + " " + parts.path + ": " + parts.reason),
      action_(std::move(parts.action)),
      path_(std::move(parts.path)),
      code_(parts.code),
      reason_(std::move(parts.reason)) {}

}  // namespace kitforge
