#include "platform/errors.h"

#include <cstring>

namespace kitforge {

std::string SystemErrorText(int code) {
    return std::string(std::strerror(code)) + " (error " + std::to_string(code) + ")";
}

namespace {

std::string FileErrorMessage(std::string_view action, const std::string& path, int code,
                             std::string_view reason) {
    std::string text = "Cannot ";
    text += action;
    text += " ";
    text += path;
    text += ": ";
    if (!reason.empty()) {
        text += reason;
    } else if (code != 0) {
        text += SystemErrorText(code);
    } else {
        text += "unknown error";
    }
    return text;
}

}  // namespace

FileError::FileError(std::string_view action, std::string path, int code, std::string_view reason)
    : Error(FileErrorMessage(action, path, code, reason)), path_(std::move(path)), code_(code) {}

}  // namespace kitforge
