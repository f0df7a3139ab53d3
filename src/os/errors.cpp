#include "os/errors.h"

#include <cstring>

#include "os/native_path.h"

namespace kitforge {

namespace {

struct NotedCode {
    int code = 0;
    unsigned long system_code = 0;
};
thread_local NotedCode noted;

}  // namespace

void NoteSystemCode(int code, unsigned long system_code) { noted = {code, system_code}; }

unsigned long NotedSystemCode(int code) { return code != 0 && noted.code == code ? noted.system_code : 0; }

std::string SystemErrorText(int code) {
    const unsigned long system_code = NotedSystemCode(code);
    if (system_code != 0) return SystemCodeText(system_code) + " (error " + std::to_string(system_code) + ")";
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
    : FileError(Parts{std::string(action), std::move(path), code, NotedSystemCode(code), ReasonText(code, reason)}) {}

FileError::FileError(Parts parts)
    : Error("Cannot " + parts.action + " " + DisplayPath(parts.path) + ": " + parts.reason),
      action_(std::move(parts.action)),
      path_(std::move(parts.path)),
      code_(parts.code),
      system_code_(parts.system_code),
      reason_(std::move(parts.reason)) {}

}  // namespace kitforge
