#pragma once
// The failures that the editor, the builder and the command-line tool report to the user.
// Every one carries the text the user reads; file failures also name the file and carry the
// operating system's error code and its text.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kitforge {

// A failure reported to the user with its message text, and nothing more.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure of the file layer. `Code()` is the errno value (0 when the file simply ended
// early or held something it should not), `Path()` the file as the caller named it.
class FileError : public Error {
public:
    // The message reads "Cannot <action> <path>: <reason>", the reason being the system's
    // text for `code` followed by its number, or `reason` when given.
    FileError(std::string_view action, std::string path, int code, std::string_view reason = {});

    const std::string& Path() const noexcept { return path_; }
    int Code() const noexcept { return code_; }

private:
    std::string path_;
    int code_;
};

// Creating, writing, flushing or renaming a file failed.
class InOutError : public FileError {
public:
    using FileError::FileError;
};

// Opening or reading a file failed, or it yielded fewer bytes than it should.
class ReadError : public FileError {
public:
    using FileError::FileError;
};

// The system's text for an errno value followed by "(error N)".
std::string SystemErrorText(int code);

}  // namespace kitforge
